#pragma once
// What one picture changes of the show, as Organize edits it: its own time (empty: the show's
// time per picture), the transition to the next picture, its motion and its fill. Each choice
// list starts with "As the show".
#include <QWidget>

#include "video/U_ShowStyle.h"

class QComboBox;
class QLabel;
class QLineEdit;

class TPictureStyleBox : public QWidget {
    Q_OBJECT

public:
    explicit TPictureStyleBox(QWidget* parent = nullptr);

    // Shows `style`; the empty time field shows the show's time in grey. Emits nothing.
    void Load(const TPictureStyle& style, int showTimeMs);
    // What the controls say now; a time typed outside 100 .. 60000 ms is taken clamped.
    TPictureStyle Style() const;
    // The time field shows the time taken (clamped, or empty).
    void TidyTime();

    QLabel* ptime_lbl = nullptr;
    QLineEdit* ptime_txt = nullptr;
    QLabel* ptrans_lbl = nullptr;
    QComboBox* ptrans_cmb = nullptr;
    QLabel* pmotion_lbl = nullptr;
    QComboBox* pmotion_cmb = nullptr;
    QLabel* pfill_lbl = nullptr;
    QComboBox* pfill_cmb = nullptr;

signals:
    // The user changed a value (every keystroke in the time field).
    void Changed();

private:
    bool loading_ = false;
};

// "4000 ms": the picture's own time, else the show's.
QString PictureTimeText(const TPictureStyle& style, int showTimeMs);
