#include "app/U_CodecAboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "platform/U_Controls.h"
#include "platform/U_Shell.h"
#include "platform/codec/U_Codecs.h"

TCodecAboutDlg::TCodecAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("CodecAboutDlg");
    setWindowTitle("About");
    setFont(QFont("DejaVu Sans", 8));

    name_lbl = new QLabel(this);
    name_lbl->setObjectName("name_lbl");
    QFont bold = font();
    bold.setBold(true);
    name_lbl->setFont(bold);
    encoder_lbl = new QLabel(this);
    encoder_lbl->setObjectName("encoder_lbl");
    version_lbl = new QLabel(this);
    version_lbl->setObjectName("version_lbl");
    licence_lbl = new QLabel(this);
    licence_lbl->setObjectName("licence_lbl");
    for (QLabel* label : {name_lbl, encoder_lbl, version_lbl, licence_lbl}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    ok_btn = MakeOkButton(this);

    QHBoxLayout* buttons = CentredRow({ok_btn});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    for (QLabel* label : {name_lbl, encoder_lbl, version_lbl, licence_lbl})
        layout->addWidget(label);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(300);
}

bool TCodecAboutDlg::Execute() {
    if (FourCC.isEmpty()) return false;
    TCodecAbout about;
    try {
        about = CodecAbout(FourCC.toStdString());
    } catch (const std::exception& error) {
        ShowMessageBox(parentWidget(), QString::fromStdString(error.what()), false, mkError);
        return false;
    }
    setWindowTitle("About " + QString::fromStdString(about.Name));
    name_lbl->setText(QString::fromStdString(about.Name));
    encoder_lbl->setText("Encoder : " + QString::fromStdString(about.Encoder));
    encoder_lbl->setVisible(!about.Encoder.empty());
    version_lbl->setText(QString::fromStdString(about.Version));
    licence_lbl->setText("Licence : " + QString::fromStdString(about.Licence));
    adjustSize();
    ok_btn->setFocus();
    exec();
    return true;
}
