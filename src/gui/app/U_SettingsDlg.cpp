#include "app/U_SettingsDlg.h"

#include "lang/U_LanguageChoice.h"

#include <QListWidget>
#include <QVBoxLayout>

TSettingsDlg::TSettingsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("SettingsDlg");
    setWindowTitle("Settings");
    setFont(QFont("DejaVu Sans", 8));
    setFixedSize(394, 355);

    lng = new TLanguageChoice(this);
    lng->setObjectName("lng");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lng);

    // A click chooses, and so does Enter; a double-click reports the same row only once.
    const auto chosen = [this](QListWidgetItem* item) {
        if (!item || lng->row(item) == lastChosen_) return;
        lastChosen_ = lng->row(item);
        if (LanguageChosen) LanguageChosen(lastChosen_, item->text());
    };
    connect(lng, &QListWidget::itemClicked, this, chosen);
    connect(lng, &QListWidget::itemActivated, this, chosen);
}

void TSettingsDlg::Execute() {
    if (FillLanguages) FillLanguages(*lng);
    lastChosen_ = lng->currentRow();
    lng->setFocus();
    exec();
}
