#pragma once
// A started main window ready for real runs: small BMP pictures, the output "out.avi" in the
// test folder, 320x240, Motion JPEG, no visual options. Runs are waited for by spinning the
// event loop, never by blocking it.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "MainDlgFixture.h"
#include "after/U_ProcessSuccessDlg.h"
#include "platform/U_Controls.h"

namespace guitest {

class TGenControlTest : public TMainDlgTest {
protected:
    TGenControlTest() {
        // A real encoder, and one the writer does not know.
        CodecLines = {"MJPG Motion JPEG", "ZZZZ Not installed"};
    }

    // Starts the window with `pictures` pictures, 320x240, MJPG, `timeMs` per picture at
    // `fps`, every visual option off.
    void Prepare(int pictures, int timeMs = 500, int fps = 10) {
        Start();
        if (pictures > 0) Pictures = AddPictures(pictures);
        W().out_txt->setText(QString::fromStdString(Out()));
        W().res_cmb->setCurrentText("320x240");
        W().codecs_cmb->setCurrentIndex(0);
        W().dynamics_chk->setChecked(false);
        W().xfade_chk->setChecked(false);
        W().osd_chk->setChecked(false);
        W().time_txt->setValue(timeMs);
        W().FPS_txt->setValue(fps);
    }

    std::string Out() const { return Dir.File("out.avi"); }

    // Spins the event loop until `done` holds; false after `timeoutMs`.
    static bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    // Waits until the run has ended and its threads are gone. The run's thread also sets the
    // writer up, whose first use lists the codecs (seconds on a busy machine).
    bool WaitForRunEnd(int timeoutMs = 120000) {
        return SpinUntil([this] { return !W().Running() && !W().Worker; }, timeoutMs);
    }

    // Presses "Go !" and waits for the end of the run. The Done dialog is closed when it
    // opens; the file it was given is noted, and whether the run had ended before it opened.
    bool Go() {
        QTimer doneWatch;
        QObject::connect(&doneWatch, &QTimer::timeout, [this] {
            auto* done = qobject_cast<TProcessSuccessDlg*>(QApplication::activeModalWidget());
            if (!done || !done->isVisible()) return;
            DoneShown.push_back(done->VideoFile.toStdString());
            RunEndedBeforeDone = Idle();
            done->reject();
        });
        doneWatch.start(5);
        W().go_btn->click();
        return WaitForRunEnd();
    }

    // Calls `act` once, on the main thread, when the bar first reaches `position` (the worker
    // waits meanwhile, so the frame after it has not been started).
    void AtPosition(int position, std::function<void()> act) {
        QObject::connect(W().pb, &QProgressBar::valueChanged, W().pb,
                         [position, act, fired = false](int value) mutable {
                             if (fired || value < position) return;
                             fired = true;
                             act();
                         });
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : Shell.Boxes) texts.push_back(box.Text.toStdString());
        return texts;
    }

    bool Idle() {
        return !W().Running() && W().go_btn->isEnabled() && !W().cancel_btn->isEnabled() &&
               W().StatusPanels[1]->text().isEmpty() && W().prog_lbl->text().isEmpty();
    }

    std::vector<std::string> Pictures;
    std::vector<std::string> DoneShown;
    bool RunEndedBeforeDone = false;
};

} // namespace guitest
