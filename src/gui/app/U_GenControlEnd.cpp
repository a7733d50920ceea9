// The end of a run: the controls back, then the Done dialog, "Aborted by user." or the failure,
// each with what became of the files.
#include <QLineEdit>
#include <QProgressBar>
#include <QStringList>
#include <string>
#include <vector>

#include "after/U_ProcessSuccessDlg.h"
#include "app/U_GenControl.h"
#include "app/U_MainDlg.h"
#include "app/U_RenderThd.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"

namespace {

void ShowOutcome(TMainDlg& w, TThread& thread) {
    TRenderOutcome outcome;
    if (thread.FatalException()) {
        // RunRender keeps its errors in its outcome; one that escaped it ended the thread.
        outcome.Message = thread.FatalMessage();
        outcome.FrameLoopFailed = true;
    } else {
        outcome = static_cast<TRenderThd&>(thread).Outcome();
    }
    // A failed video leaves its bar where it stopped; the audio phase's bar is cleared unless
    // a cancel stopped it.
    if (outcome.Phase == TRenderPhase::Video && outcome.Status == TRenderStatus::Failed)
        w.pb->setValue(0);
    if (outcome.Phase == TRenderPhase::Audio && outcome.Status != TRenderStatus::Aborted)
        w.ShowProgress(0, 0, QString());
    FinishRun(w, outcome);
}

} // namespace

void RenderThreadDone(TMainDlg& w, TThread& thread) {
    try {
        ShowOutcome(w, thread);
    } catch (const std::exception& e) {
        // Thrown back to the worker, the error would be lost and the window left in its run.
        if (w.Running()) {
            w.RetireWorker(std::move(w.Worker));
            w.EndRun();
        }
        w.Log(e.what(), 2);
        if (!w.CloseRequested())
            ShowMessageBox(&w, QString::fromStdString(e.what()), false, mkError);
    }
}

void FinishRun(TMainDlg& w, const TRenderOutcome& outcome) {
    // Joined once its end handler, which is running now, has returned.
    w.RetireWorker(std::move(w.Worker));
    w.EndRun();

    if (outcome.Status == TRenderStatus::Done) {
        w.Log("Done : " + outcome.KeptFile, 1);
        if (w.CloseRequested()) return;
        w.Forms.ProcessSuccessDlg->VideoFile = QString::fromStdString(outcome.KeptFile);
        w.Forms.ProcessSuccessDlg->Execute();
        return;
    }
    // The log keeps the English lines; the box shows them in the user's language.
    std::vector<std::string> lines;
    if (outcome.Status == TRenderStatus::Aborted) {
        lines.push_back("Aborted by user.");
    } else {
        if (outcome.FrameLoopFailed)
            lines.push_back("An error has occured. Please reset the application.");
        if (!outcome.Message.empty()) lines.push_back(outcome.Message);
    }
    if (!outcome.FilesNote.empty()) lines.push_back(outcome.FilesNote);
    const bool failed = outcome.Status == TRenderStatus::Failed;
    QStringList shown;
    for (const std::string& line : lines) {
        w.Log(line, failed ? 2 : 1);
        shown << w.Translate(QString::fromStdString(line));
    }
    if (w.CloseRequested() || shown.isEmpty()) return;
    ShowMessageBox(&w, shown.join('\n'), false, failed ? mkError : mkMessage);
}
