#pragma once
// "Settings": the language choice. The list is filled and acted on by the language packs,
// which plug in through FillLanguages and LanguageChosen; until then it stays empty.
#include <QDialog>
#include <functional>

class QListWidget;

class TSettingsDlg : public QDialog {
    Q_OBJECT

public:
    explicit TSettingsDlg(QWidget* parent = nullptr);

    // Called at every Execute before the dialog shows, to (re)fill `lng`.
    std::function<void(QListWidget& lng)> FillLanguages;
    // Called when the user picks an entry of `lng` (by click, or Enter on it).
    std::function<void(int row, const QString& text)> LanguageChosen;

    // Shows the dialog modally; its result is not used.
    void Execute();

    QListWidget* lng = nullptr;

private:
    int lastChosen_ = -1;
};
