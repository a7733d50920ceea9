#pragma once
// TLanguageChoice: the list of available languages, each with its icon and display name,
// under a header that names the applied language. A click switches the language at once.
#include <QListWidget>
#include <QPointer>

class QFrame;
class QLabel;
#include "lang/U_LangList.h"

class TLanguageChoice : public QListWidget {
    Q_OBJECT

public:
    explicit TLanguageChoice(QWidget* parent = nullptr);

    // Scans the list's languages, shows them and follows its switches; null empties the list.
    void SetLanguageList(TLangList* list);
    TLangList* LanguageList() const { return list_; }
    // Shows the languages found by the last scan again, the applied one selected.
    void Refill();
    // What a click on entry `row` does: switch, then name the language in the header.
    void Choose(int row);

    QLabel* Header() const { return header_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* header_ = nullptr;
    QFrame* bevel_ = nullptr;
    QPointer<TLangList> list_;
};

// The icon of a language file (record 5, a BMP); a null pixmap when there is none.
class QPixmap;
QPixmap LanguageIcon(const std::string& path);
