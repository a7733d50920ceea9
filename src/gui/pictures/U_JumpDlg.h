#pragma once
// "Jump To...": a slider over the positions of the thumbnail strip's first slot.
#include <QDialog>

class QLabel;
class QPushButton;
class QSlider;

class TJumpDlg : public QDialog {
    Q_OBJECT

public:
    explicit TJumpDlg(QWidget* parent = nullptr);

    // Number of pictures in the list; set by the caller before Execute.
    int PictureCount = 0;

    // Opens on `start` (clamped into 0 .. PictureCount - 5); true when closed with Ok.
    bool Execute(int start);
    // The slider's position: the strip's new first picture after a confirmed Execute.
    int Position() const;

    QSlider* trk = nullptr;
    QLabel* thumbstats_lbl = nullptr;
    QPushButton* ok_btn = nullptr;
    QPushButton* cancel_btn = nullptr;

    void trkChange();
};
