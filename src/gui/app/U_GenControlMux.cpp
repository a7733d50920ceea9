// Generation control's second half: the audio phase, and the end of every run with what the
// user is told about it.
#include <QLineEdit>
#include <QProgressBar>
#include <QStringList>
#include <string>
#include <vector>

#include "after/U_ProcessSuccessDlg.h"
#include "app/U_GenControl.h"
#include "app/U_MainDlg.h"
#include "platform/U_Controls.h"
#include "platform/U_QtDispatcher.h"
#include "platform/U_Shell.h"

void StartAudioPhase(TMainDlg& w, const TWindowRun& finished) {
    auto thread = std::make_unique<TWindowMuxThd>(w.Dispatcher);
    thread->Run = finished;
    TRunFiles& files = thread->Run.Files;
    try {
        // Never over an existing "temp.avi": the core picks a free name.
        BeginAudioPhase(files);
    } catch (const std::exception& e) {
        return FinishRun(w, EndAudioPhase(files, TRenderStatus::Failed), e.what(), false);
    }
    w.img->hide();
    thread->VideoFile = files.IntermediateFile;
    thread->SoundFile = thread->Run.SoundFile;
    thread->OutputFile = files.MuxFile;
    thread->OnProgress = [&w](std::int32_t position, std::int32_t max, const std::string& text) {
        w.ShowProgress(position, max, QString::fromStdString(text));
    };
    thread->OnTerminate = [&w](TThread& ended) {
        RunEndHandler(w, [&] { w.MuxThreadDone(ended); });
    };
    TWindowMuxThd& mux = *thread;
    w.RetireWorker(std::move(w.Worker));
    w.Worker = std::move(thread);
    try {
        mux.Start();
    } catch (const std::exception& e) {
        TRunFiles left = files;
        w.Worker.reset();
        return FinishRun(w, EndAudioPhase(left, TRenderStatus::Failed), e.what(), false);
    }
    w.CurrentWorker = &mux;
    w.SetStatusText(1, w.Translate("Processing Audio"));
}

void TMainDlg::MuxThreadDone(TThread& thread) {
    auto& mux = dynamic_cast<TWindowMuxThd&>(thread);
    // A run that ended with an error is not complete, whatever it wrote.
    TRenderStatus status = TRenderStatus::Done;
    if (thread.FatalException())
        status = TRenderStatus::Failed;
    else if (mux.Aborted())
        status = TRenderStatus::Aborted;
    const TPhaseEnd end = EndAudioPhase(mux.Run.Files, status);
    if (status != TRenderStatus::Aborted) ShowProgress(0, 0, QString());
    FinishRun(*this, end, thread.FatalException() ? thread.FatalMessage() : std::string(), false);
}

void FinishRun(TMainDlg& w, const TPhaseEnd& end, const std::string& failure, bool threadFailed) {
    // Joined once its end handler, which is running now, has returned.
    w.RetireWorker(std::move(w.Worker));
    w.EndRun();

    if (end.Status == TRenderStatus::Done) {
        w.Log("Done : " + end.KeptFile, 1);
        if (w.CloseRequested()) return;
        w.Forms.ProcessSuccessDlg->VideoFile = QString::fromStdString(end.KeptFile);
        w.Forms.ProcessSuccessDlg->Execute();
        return;
    }
    // The log keeps the English lines; the box shows them in the user's language.
    std::vector<std::string> lines;
    if (end.Status == TRenderStatus::Aborted) {
        lines.push_back("Aborted by user.");
    } else {
        if (threadFailed) lines.push_back("An error has occured. Please reset the application.");
        if (!failure.empty()) lines.push_back(failure);
    }
    if (!end.Note.empty()) lines.push_back(end.Note);
    const bool failed = end.Status == TRenderStatus::Failed;
    QStringList shown;
    for (const std::string& line : lines) {
        w.Log(line, failed ? 2 : 1);
        shown << w.Translate(QString::fromStdString(line));
    }
    if (w.CloseRequested() || shown.isEmpty()) return;
    ShowMessageBox(&w, shown.join('\n'), false, failed ? mkError : mkMessage);
}

void RunEndHandler(TMainDlg& w, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        if (w.Running())
            FinishRun(w, {TRenderStatus::Failed, {}, {}}, e.what(), true);
        else
            w.Log(e.what(), 2);
    }
}
