// Generation control: "Go !", Cancel, "Match audio" and the reports of a run. The run is the
// core's RunRender on a TRenderThd, the same that morvanta-render runs: its checks before the
// first frame, the files it keeps and its messages are the core's. The window reads its
// controls into the request, shows the progress and the preview, and tells the user the end.
#include "app/U_GenControl.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <exception>

#include "app/U_MainDlg.h"
#include "app/U_PictureTimes.h"
#include "app/U_RenderThd.h"
#include "app/U_RunSettings.h"
#include "app/U_StyleInputs.h"
#include "app/U_WindowRunChoices.h"
#include "platform/U_Controls.h"
#include "platform/U_QtDispatcher.h"
#include "platform/U_Shell.h"
#include "video/U_ImageFile.h"

namespace {

TRenderRequest MakeRequest(TMainDlg& w, const TRunSettings& settings) {
    TRenderRequest request;
    request.OutputFile = w.out_txt->text().toStdString();
    request.SoundFile = w.sound_txt->text().toStdString();
    if (!request.SoundFile.empty()) request.MoreSongs = w.MoreSongs;
    const TSoundChoices sound = ReadSoundChoices();
    request.SoundMode = sound.Mode;
    request.FadeOutMs = sound.FadeOutMs;
    request.FrameRate = settings.FrameRate;
    request.Width = settings.Width;
    request.Height = settings.Height;
    request.FrameDuration = settings.FrameDuration;
    request.FourCC = settings.FourCC;
    // The window's own lists, not copies: the editing controls stay disabled during the run.
    request.Frames =
        FrameInputsFor(settings, &w.PicturePaths, &w.PictureCaptions, ReadAutoRotateSetting());
    return request;
}

void Say(TMainDlg& w, const char* english) {
    ShowMessageBox(&w, w.Translate(QString::fromUtf8(english)), false, mkMessage);
}

// The video phase has ended and the soundtrack is being added.
void ShowAudioPhase(TMainDlg& w) {
    w.img->hide();
    w.SetStatusText(1, w.Translate("Processing Audio"));
}

} // namespace

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

void TMainDlg::go_btnClick() {
    if (!started_ || Running()) return;
    if (PicturePaths.Empty()) return Say(*this, "Empty picture list");
    if (out_txt->text().isEmpty()) return Say(*this, "Invalid output file");
    if (!WaitForCodecList()) return;
    if (!CheckTypedResolution()) return;

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

    auto thread = std::make_unique<TRenderThd>(Dispatcher, *AviWriter);
    thread->Request = MakeRequest(*this, settings);
    thread->BeatCuts = ReadSoundChoices().BeatCuts && !sound_txt->text().isEmpty();
    thread->OnNote = [this](const std::string& text) { Log(text, 1); };
    thread->OnProgress = [this](TRenderPhase phase, std::int32_t position, std::int32_t max,
                                const std::string& text, const TBitmap32* preview) {
        if (phase == TRenderPhase::Audio) {
            ShowAudioPhase(*this);
            ShowProgress(position, max, QString::fromStdString(text));
            return;
        }
        // The maximum first: a bar drops a position beyond its range.
        pb->setMaximum(max);
        pb->setValue(position);
        if (preview) {
            img->SetPicture(ToQImage(*preview));
            img->show();
        }
    };
    // The multiplexing's log lines name its steps; the bar shows them with its progress.
    thread->OnLog = [this](const std::string&) { ShowAudioPhase(*this); };
    thread->OnTerminate = [this](TThread& ended) { RenderThreadDone(*this, ended); };
    RetireWorker(std::move(Worker));
    Worker = std::move(thread);
    try {
        Worker->Start();
    } catch (const std::exception& e) {
        Worker.reset();
        TRenderOutcome outcome;
        outcome.Message = e.what();
        return FinishRun(*this, outcome);
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
