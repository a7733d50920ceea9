#pragma once
// The codec's about box: the encoder's name, the library's version and its licence.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class TCodecAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit TCodecAboutDlg(QWidget* parent = nullptr);

    // The codec to describe; set by the caller before Execute.
    QString FourCC;

    // Nothing opens for an empty FourCC; a codec that is not listed shows its error instead.
    // True when the box was shown.
    bool Execute();

    QLabel* name_lbl = nullptr;
    QLabel* encoder_lbl = nullptr;
    QLabel* version_lbl = nullptr;
    QLabel* licence_lbl = nullptr;
    QPushButton* ok_btn = nullptr;
};
