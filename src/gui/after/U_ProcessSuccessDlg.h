#pragma once
// The "Done !" dialog: what to do with a finished video (play it, open its folder, convert it
// to DVD or burn it with the outside party's programs).
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QToolButton;
class TBurnDlg;

class TProcessSuccessDlg : public QDialog {
    Q_OBJECT
public:
    explicit TProcessSuccessDlg(QWidget* parent = nullptr);

    // Full path of the finished video; set before Execute.
    QString VideoFile;
    // The Burn dialog that Burn hands its job to; one of our own is made when none is set.
    TBurnDlg* BurnDlg = nullptr;
    // Where the burner's job list file is written; empty means DefaultJobFolder().
    QString JobFolder;
    // Message texts pass through it before they are shown.
    std::function<QString(const QString&)> Translate = [](const QString& text) { return text; };

    // Shows the dialog modally; true when it closed after one of the four actions.
    bool Execute();

    // The job list file's name prefix and number handed to the Burn dialog.
    static constexpr const char* JobPrefix = "mrv";

private:
    void play_btnClick();
    void folder_btnClick();
    void dvd_btnClick();
    void burncd_btnClick();
    // Asks whether to download a missing program; on Yes opens `url`. False on No.
    bool OfferDownload(const QString& question, const char* url);
    QToolButton* MakeButton(const char* name, const QString& caption, int style, QRect geometry);

    QLabel* icon_img;
    QLabel* msg_lbl;
    QToolButton* play_btn;
    QToolButton* burncd_btn;
    QToolButton* dvd_btn;
    QToolButton* folder_btn;
};
