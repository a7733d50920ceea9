#include "app/U_AboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "lang/U_VersionInfo.h"
#include "platform/U_Controls.h"

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutDlg");
    setWindowTitle("About ");
    setFont(QFont("DejaVu Sans", 8));

    appname_lbl = new QLabel(this);
    appname_lbl->setObjectName("appname_lbl");
    version_lbl = new QLabel(this);
    version_lbl->setObjectName("version_lbl");
    for (QLabel* label : {appname_lbl, version_lbl})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ok_btn = MakeOkButton(this);

    QHBoxLayout* buttons = CentredRow({ok_btn});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(appname_lbl);
    layout->addWidget(version_lbl);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addSpacerItem(new QSpacerItem(228, 0)); // a width the version lines fit in
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutDlg::Text(const QString& english) const {
    return QString::fromStdString(about_ts.TranslateText(english.toStdString()));
}

void TAboutDlg::Execute() {
    setWindowTitle(Text("About") + " " + AppTitle);
    appname_lbl->setText(Text("Application Name :") + " " + AppTitle);
    const QString version =
        !VersionText.isEmpty()
            ? VersionText
            : QString::fromStdString(GetFileVersionText(RunningExecutablePath()));
    version_lbl->setText(Text("Version :") + " " + version);
    ok_btn->setFocus();
    exec();
}
