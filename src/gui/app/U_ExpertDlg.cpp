#include "app/U_ExpertDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "platform/U_Controls.h"
#include "platform/U_Shell.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

TExpertDlg::TExpertDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ExpertDlg");
    setWindowTitle("Expert Options");
    setFont(QFont("DejaVu Sans", 8));

    sng_chk = new QCheckBox("Single Frame mode", this);
    sng_chk->setObjectName("sng_chk");
    autorotate_chk = new QCheckBox("Turn photos upright (EXIF)", this);
    autorotate_chk->setObjectName("autorotate_chk");
    ok_btn = MakeOkButton(this);

    QHBoxLayout* buttons = CentredRow({ok_btn});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sng_chk);
    layout->addWidget(autorotate_chk);
    layout->addLayout(buttons);
    // Fixed size, at least 207 wide; taller than 67 by the EXIF box's line, and wider when a
    // caption needs it.
    const QMargins margins = layout->contentsMargins();
    layout->addSpacerItem(new QSpacerItem(207 - margins.left() - margins.right(), 0));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(sng_chk, autorotate_chk);
    setTabOrder(autorotate_chk, ok_btn);
}

bool TExpertDlg::Execute() {
    autorotate_chk->setChecked(ReadAutoRotateSetting());
    sng_chk->setFocus();
    if (exec() != QDialog::Accepted) return false;
    if (!WriteSetting(AutoRotateSettingName, autorotate_chk->isChecked() ? "1" : "0"))
        ShowMessageBox(this, "Unable to save the settings", false, mkError);
    return true;
}
