// Generation control: "Go !", Cancel, "Match audio" and the end of the video phase. The steps
// of a run and their rules are the core's (run settings, the writer set-up, the files a run
// leaves), the same that morvanta-render drives; the window only runs them on its threads.
#include "app/U_GenControl.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <exception>
#include <filesystem>

#include "app/U_MainDlg.h"
#include "app/U_PictureTimes.h"
#include "app/U_RenderJob.h"
#include "app/U_RunSettings.h"
#include "app/U_StyleInputs.h"
#include "app/U_WriterSetup.h"
#include "platform/U_Controls.h"
#include "platform/U_QtDispatcher.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"
#include "video/U_BmpToAvi.h"
#include "video/U_ImageFile.h"

namespace {

// What the window shows when "Go !" is pressed. The spin edits take over a value still being
// typed.
TRunInputs ReadRunInputs(TMainDlg& w) {
    TRunInputs inputs;
    inputs.TimePerPicture = w.time_txt->Value();
    inputs.FramesPerSecond = w.FPS_txt->Value();
    inputs.Resolution = w.res_cmb->currentText().toStdString();
    if (w.codecs_cmb->currentIndex() >= 0)
        inputs.CodecEntry = w.codecs_cmb->currentText().toStdString();
    inputs.DynamicsEnabled = w.dynamics_chk->isEnabled();
    inputs.DynamicsChecked = w.dynamics_chk->isChecked();
    inputs.CrossFadeChecked = w.xfade_chk->isChecked();
    inputs.CaptionTextChecked = w.osd_chk->isChecked();
    inputs.Greyscale = w.Greyscale1->isChecked();
    inputs.Sepia = w.Sepia1->isChecked();
    AddStyleInputs(w, inputs);
    return inputs;
}

TVideoMakerInputs FrameInputs(TMainDlg& w, const TRunSettings& settings) {
    // The window's own lists, not copies: the editing controls stay disabled during the run.
    return FrameInputsFor(settings, &w.PicturePaths, &w.PictureCaptions, ReadAutoRotateSetting());
}

void Say(TMainDlg& w, const char* english) {
    ShowMessageBox(&w, w.Translate(QString::fromUtf8(english)), false, mkMessage);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A run that could not start: nothing was started, so nothing but the reservation is left.
void RefuseRun(TMainDlg& w, TRunFiles& files, const std::string& message) {
    const TPhaseEnd end = EndVideoPhase(files, TRenderStatus::Failed, false);
    w.EnableControls(true);
    w.Log(message, 2);
    QString text = QString::fromStdString(message);
    if (!end.Note.empty()) text += "\n" + QString::fromStdString(end.Note);
    ShowMessageBox(&w, text, false, mkError);
}

} // namespace

void TMainDlg::go_btnClick() {
    if (!started_ || Running()) return;
    if (PicturePaths.Empty()) return Say(*this, "Empty picture list");
    if (out_txt->text().isEmpty()) return Say(*this, "Invalid output file");
    if (!WaitForCodecList()) return;

    const TRunSettings settings = DeriveRunSettings(ReadRunInputs(*this));
    if (settings.VisualOptionsDisabled) {
        // dynamics_chk's handler runs as for a click and shows 15 fps; the run keeps its rate.
        dynamics_chk->setChecked(false);
        xfade_chk->setChecked(false);
        osd_chk->setChecked(false);
        Say(*this, VisualOptionsDisabledText);
    }
    EnableControls(false);
    for (const std::string& line : RunLogLines(settings)) Log(line, 1);

    auto thread = std::make_unique<TWindowVideoThd>(Dispatcher);
    TWindowRun& run = thread->Run;
    run.SoundFile = sound_txt->text().toStdString();
    try {
        run.Files = BeginRunFiles(out_txt->text().toStdString());
    } catch (const std::exception& e) {
        return RefuseRun(*this, run.Files, e.what());
    }
    try {
        SetUpWriter(*AviWriter, {settings.Width, settings.Height, settings.FrameDuration,
                                 settings.FourCC, run.Files.VideoFile});
    } catch (...) {
        std::string message;
        VideoPhaseStatus(*AviWriter, run.Files, std::current_exception(), false, message);
        return RefuseRun(*this, run.Files, message);
    }

    thread->AviWriter = AviWriter.get();
    thread->Inputs = FrameInputs(*this, settings);
    thread->OnProgress = [this](const TVideoMakerState& state, const TBitmap32* preview) {
        // The maximum first: a bar drops a position beyond its range.
        pb->setMaximum(state.Total);
        pb->setValue(state.Position);
        if (preview) {
            img->SetPicture(ToQImage(*preview));
            img->show();
        }
    };
    thread->OnTerminate = [this](TThread& ended) {
        RunEndHandler(*this, [&] { VideoThreadDone(ended); });
    };
    RetireWorker(std::move(Worker));
    Worker = std::move(thread);
    try {
        Worker->Start();
    } catch (const std::exception& e) {
        AviWriter->Abandon();
        auto* failed = static_cast<TWindowVideoThd*>(Worker.get());
        TRunFiles files = failed->Run.Files;
        Worker.reset();
        return RefuseRun(*this, files, e.what());
    }
    CurrentWorker = Worker.get();
    SetStatusText(1, Translate("Processing Video"));
}

void TMainDlg::cancel_btnClick() {
    if (!CurrentWorker) return;
    CurrentWorker->Terminate();
    cancel_btn->setEnabled(false);
}

void TMainDlg::matchaudio_btnClick() {
    // Pictures with times of their own keep their share: every time is scaled alike.
    const auto match =
        MatchAudioTimes(time_txt->Value(), PictureStylesOf(PictureStyles), PicturePaths.Count(),
                        SoundDurationSec, xfade_chk->isChecked());
    if (!match) return;
    time_txt->setValue(match->ShowMs);
    for (std::size_t i = 0; i < match->Pictures.size() && i < PictureStyles.Count(); ++i) {
        const std::string text = PictureStyleText(match->Pictures[i]);
        if (PictureStyles.At(static_cast<long long>(i)) != text)
            PictureStyles.Set(static_cast<long long>(i), text);
    }
    if (time_txt->value() == time_txt->minimum() || match->AtMinimum)
        Say(*this, MinimalPictureDurationText);
}

void TMainDlg::VideoThreadDone(TThread& thread) {
    auto& video = dynamic_cast<TWindowVideoThd&>(thread);
    TWindowRun& run = video.Run;
    std::string message;
    // The error the thread kept tells a failure, whatever the bar or the file's size say; a
    // bar left short of its end is one too.
    TRenderStatus status =
        VideoPhaseStatus(*AviWriter, run.Files, thread.FatalException(), video.Aborted(), message);
    const bool threadFailed = thread.FatalException() || pb->value() != 0;
    if (threadFailed) {
        status = TRenderStatus::Failed;
        pb->setValue(0);
    }
    const bool soundFollows =
        status == TRenderStatus::Done && IsFile(run.SoundFile) && !CloseRequested();
    const TPhaseEnd end = EndVideoPhase(run.Files, status, soundFollows);
    if (soundFollows)
        StartAudioPhase(*this, run);
    else
        FinishRun(*this, end, message, threadFailed);
}
