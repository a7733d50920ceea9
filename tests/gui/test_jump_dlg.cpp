// The Jump dialog: slider range, label, result, and its keys.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "pictures/U_JumpDlg.h"

namespace {

void Key(QWidget* target, Qt::Key key) {
    QTest::keyClick(target, key);
}

// Runs Execute(start) with `inside` called while the dialog is open; the dialog is cancelled
// afterwards if `inside` left it open.
template <class F> bool ExecuteWith(TJumpDlg& dlg, int start, F inside) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        inside();
        if (dlg.isVisible()) dlg.reject();
    });
    timer.start(0);
    const bool result = dlg.Execute(start);
    timer.stop();
    return result;
}

TEST(JumpDlg, SixPicturesGiveTwoPositions) {
    TJumpDlg dlg;
    EXPECT_EQ(dlg.objectName(), "JumpDlg");
    EXPECT_EQ(dlg.windowTitle(), "Jump To...");
    dlg.PictureCount = 6;
    EXPECT_TRUE(ExecuteWith(dlg, 0, [&] {
        EXPECT_EQ(dlg.trk->minimum(), 0);
        EXPECT_EQ(dlg.trk->maximum(), 1);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "1 - 5 / 6");
        dlg.trk->setValue(1);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "2 - 6 / 6");
        dlg.ok_btn->click();
    }));
    EXPECT_EQ(dlg.Position(), 1);
}

TEST(JumpDlg, ThirtyPicturesOpenOnTheStripAndCancelKeepsIt) {
    TJumpDlg dlg;
    dlg.PictureCount = 30;
    EXPECT_FALSE(ExecuteWith(dlg, 20, [&] {
        EXPECT_EQ(dlg.trk->maximum(), 25);
        EXPECT_EQ(dlg.trk->value(), 20);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "21 - 25 / 30");
        dlg.trk->setValue(25);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "26 - 30 / 30");
        dlg.cancel_btn->click();
    }));
    // A start past the end is held to the last position.
    EXPECT_FALSE(ExecuteWith(dlg, 99, [&] { EXPECT_EQ(dlg.trk->value(), 25); }));
    EXPECT_FALSE(ExecuteWith(dlg, -4, [&] { EXPECT_EQ(dlg.trk->value(), 0); }));
}

TEST(JumpDlg, EachShowingTakesTheNewCount) {
    TJumpDlg dlg;
    dlg.PictureCount = 30;
    ExecuteWith(dlg, 25, [] {});
    dlg.PictureCount = 8;
    ExecuteWith(dlg, 25, [&] {
        EXPECT_EQ(dlg.trk->maximum(), 3);
        EXPECT_EQ(dlg.trk->value(), 3);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "4 - 8 / 8");
    });
}

TEST(JumpDlg, ArrowsMoveEnterConfirmsEscapeCancels) {
    TJumpDlg dlg;
    dlg.PictureCount = 30;
    EXPECT_TRUE(ExecuteWith(dlg, 10, [&] {
        Key(dlg.trk, Qt::Key_Right);
        Key(dlg.trk, Qt::Key_Right);
        Key(dlg.trk, Qt::Key_Left);
        EXPECT_EQ(dlg.thumbstats_lbl->text(), "12 - 16 / 30");
        Key(dlg.trk, Qt::Key_Return);
        EXPECT_FALSE(dlg.isVisible());
    }));
    EXPECT_EQ(dlg.Position(), 11);
    EXPECT_FALSE(ExecuteWith(dlg, 3, [&] {
        Key(dlg.trk, Qt::Key_Right);
        Key(dlg.trk, Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
    }));
}

// The next control that Tab reaches after `from`.
QWidget* NextTabStop(QWidget* from) {
    QWidget* w = from->nextInFocusChain();
    while (w != from && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    return w;
}

TEST(JumpDlg, TabGoesSliderOkCancel) {
    TJumpDlg dlg;
    EXPECT_EQ(NextTabStop(dlg.trk), dlg.ok_btn);
    EXPECT_EQ(NextTabStop(dlg.ok_btn), dlg.cancel_btn);
    EXPECT_EQ(NextTabStop(dlg.cancel_btn), dlg.trk);
    EXPECT_TRUE(dlg.ok_btn->isDefault());
}

} // namespace
