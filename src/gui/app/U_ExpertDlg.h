#pragma once
// "Expert Options": single-frame mode, and whether photos are turned upright from their EXIF
// orientation (the setting "AutoRotate", read by the core's picture loading).
#include <QDialog>

class QCheckBox;
class QPushButton;

class TExpertDlg : public QDialog {
    Q_OBJECT

public:
    explicit TExpertDlg(QWidget* parent = nullptr);

    // Shows the dialog modally; true when closed with Ok. Ok also stores autorotate_chk.
    bool Execute();

    QCheckBox* sng_chk = nullptr;
    QCheckBox* autorotate_chk = nullptr;
    QPushButton* ok_btn = nullptr;
};
