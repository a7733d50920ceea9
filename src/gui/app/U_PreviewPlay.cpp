#include "app/U_PreviewPlay.h"

#include <QAction>
#include <QAudioOutput>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "app/U_MainDlg.h"
#include "app/U_RunSettings.h"
#include "app/U_StyleInputs.h"
#include "platform/U_Controls.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"
#include "video/U_ImageFile.h"

namespace {

// Polls well inside a frame's time at every frame rate the window offers (60 fps: 16 ms).
constexpr int TickMs = 4;
// The sound is moved back in step only beyond this: small seeks would stutter.
constexpr long long SoundSlackMs = 150;

} // namespace

TPreviewPlay::TPreviewPlay(TMainDlg& window) : QObject(&window), w_(window) {
    setObjectName("PreviewPlay");
    // Sound through FFmpeg, which the program uses anyway, unless the user chose otherwise:
    // Qt's GStreamer backend crashes when GStreamer's base plugins are not installed. Set
    // before any media object exists, while no other thread reads the environment.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // Under the panel, in the output group's last rows.
    QWidget* group = w_.out_grp;
    const QRect panel = w_.preview_grp->geometry();
    const int half = (panel.width() - 4) / 2;
    play_btn = new QPushButton("Play", group);
    play_btn->setObjectName("play_btn");
    play_btn->setGeometry(panel.left(), panel.bottom() + 2, half, 20);
    stop_btn = new QPushButton("Stop", group);
    stop_btn->setObjectName("stop_btn");
    stop_btn->setGeometry(panel.right() + 1 - half, panel.bottom() + 2, half, 20);
    stop_btn->setEnabled(false);
    connect(play_btn, &QPushButton::clicked, this, &TPreviewPlay::play_btnClick);
    connect(stop_btn, &QPushButton::clicked, this, &TPreviewPlay::stop_btnClick);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(TickMs);
    connect(timer_, &QTimer::timeout, this, &TPreviewPlay::Tick);

    // Any change of what the frames are made from shows on the next frame.
    const auto changed = [this] { OptionsChanged(); };
    for (QCheckBox* box : {w_.dynamics_chk, w_.xfade_chk, w_.osd_chk})
        connect(box, &QCheckBox::toggled, this, changed);
    for (QSpinBox* spin : {static_cast<QSpinBox*>(w_.time_txt), static_cast<QSpinBox*>(w_.FPS_txt)})
        connect(spin, &QSpinBox::valueChanged, this, changed);
    connect(w_.res_cmb, &QComboBox::currentIndexChanged, this, changed);
    for (QAction* effect : {w_.Greyscale1, w_.Sepia1})
        connect(effect, &QAction::changed, this, changed);
    connect(w_.sound_txt, &QLineEdit::textChanged, this, changed);
    pathsWatch_ = w_.PicturePaths.Subscribe(changed);
    captionsWatch_ = w_.PictureCaptions.Subscribe(changed);
    stylesWatch_ = w_.PictureStyles.Subscribe(changed);
    for (TImageControl* slot : w_.ThumbSlots)
        if (slot)
            connect(slot, &TImageControl::clicked, this,
                    [this, slot] { SelectPicture(slot->Tag); });
}

TPreviewPlay::~TPreviewPlay() {
    pathsWatch_.Reset();
    captionsWatch_.Reset();
    stylesWatch_.Reset();
    if (player_) player_->Stop();
    for (auto& old : retired_) old->Stop();
    if (sound_) sound_->stop();
    // The players' destructors wait for their workers.
}

void TPreviewPlay::SelectPicture(int index) {
    selected_ = index;
    StripChanged();
}

void TPreviewPlay::StripChanged() {
    for (TImageControl* slot : w_.ThumbSlots)
        if (slot) slot->SetSelected(selected_ >= 0 && slot->Tag == selected_ && slot->isVisible());
}

void TPreviewPlay::play_btnClick() {
    if (!w_.Started() || w_.Running()) return;
    if (w_.PicturePaths.Empty()) {
        ShowMessageBox(&w_, w_.Translate("Empty picture list"), false, mkMessage);
        return;
    }
    const int count = static_cast<int>(w_.PicturePaths.Count());
    const int start = selected_ >= 0 && selected_ < count ? selected_ : w_.FirstThumb;
    Start(start, -1);
}

void TPreviewPlay::stop_btnClick() {
    timer_->stop();
    Retire();
    restart_ = false;
    if (sound_) sound_->stop();
    soundStarted_ = false;
    pendingSeekMs_ = -1;
    play_btn->setEnabled(!w_.Running());
    stop_btn->setEnabled(false);
}

void TPreviewPlay::EnableControls(bool enable) {
    if (!enable && Playing()) stop_btnClick();
    play_btn->setEnabled(enable);
}

void TPreviewPlay::Start(int startPicture, long long startMs) {
    const TRunSettings settings = DeriveRunSettings(ReadRunInputs(w_));
    TPreviewRequest request;
    request.Paths = w_.PicturePaths.Items();
    request.Captions = w_.PictureCaptions.Items();
    request.Captions.resize(request.Paths.size());
    request.Frames = FrameInputsFor(settings, nullptr, nullptr, ReadAutoRotateSetting());
    // Frames at the panel's size, their captions shrunk with them as the video will show them.
    FitPreviewSize(settings.Width, settings.Height, w_.img->width(), w_.img->height(),
                   request.Width, request.Height);
    request.OutputWidth = settings.Width;
    request.FrameDuration = settings.FrameDuration;
    request.StartPicture = startPicture;
    request.StartMs = startMs;
    Retire();
    try {
        player_ = std::make_unique<TPreviewPlayer>(std::move(request));
    } catch (const std::exception& e) {
        stop_btnClick();
        ShowMessageBox(&w_, QString::fromStdString(e.what()), false, mkError);
        return;
    }
    frameDuration_ = settings.FrameDuration;
    restart_ = false;
    if (startMs < 0) {
        // A new play: the sound starts with its first frame.
        if (sound_) sound_->stop();
        soundStarted_ = false;
        shownFrame_ = -1;
    }
    stop_btn->setEnabled(true);
    timer_->start();
}

void TPreviewPlay::Tick() {
    Reap();
    if (restart_ && player_) {
        // The show's time on screen stays; the frames after it are made the new way.
        const long long ms =
            shownFrame_ >= 0 ? static_cast<long long>(shownFrame_) * frameDuration_ : 0;
        if (w_.PicturePaths.Empty()) return stop_btnClick();
        Start(0, ms);
    }
    if (!player_) return;
    TPreviewPoll poll;
    try {
        poll = player_->Poll(TPreviewClock::now(), frame_);
    } catch (const std::exception& e) {
        poll.Ended = true;
        poll.Error = std::current_exception();
    }
    if (poll.NewFrame) {
        shownFrame_ = poll.Index;
        ShowFrame();
        const long long ms = static_cast<long long>(poll.Index) * frameDuration_;
        if (!soundStarted_)
            StartSound(ms);
        else if (player_->Stats().Shown == 1)
            ResyncSound(ms);
    }
    stats_ = player_->Stats();
    if (poll.Ended) {
        stop_btnClick();
        if (poll.Error)
            ShowMessageBox(&w_, QString::fromStdString(ExceptionMessage(poll.Error)), false,
                           mkError);
    }
}

void TPreviewPlay::ShowFrame() {
    TImageControl* img = w_.img;
    QImage panel(img->size(), QImage::Format_RGB32);
    panel.fill(Qt::black);
    {
        // A frame of another shape than the panel sits in its middle.
        const QImage frame =
            ToQImage(frame_).scaled(panel.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&panel);
        painter.drawImage((panel.width() - frame.width()) / 2,
                          (panel.height() - frame.height()) / 2, frame);
    }
    img->SetPicture(panel);
    img->show();
}

void TPreviewPlay::StartSound(long long ms) {
    soundStarted_ = true;
    const QString file = w_.sound_txt->text();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        if (sound_) sound_->stop();
        return;
    }
    if (!sound_) {
        sound_ = new QMediaPlayer(this);
        sound_->setObjectName("preview_sound");
        audio_ = new QAudioOutput(this);
        sound_->setAudioOutput(audio_);
        // Seeking before the file is loaded may be lost: it is done again once it is.
        connect(sound_, &QMediaPlayer::mediaStatusChanged, this, [this](auto status) {
            if (pendingSeekMs_ >= 0 &&
                (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)) {
                sound_->setPosition(pendingSeekMs_);
                pendingSeekMs_ = -1;
            }
        });
        // No sound device, or a file the player cannot read: the pictures play on without it.
        connect(sound_, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error, const QString& text) {
                    w_.Log("Preview sound: " + text.toStdString(), 2);
                });
    }
    if (soundFile_ != file) {
        soundFile_ = file;
        sound_->setSource(QUrl::fromLocalFile(file));
    }
    pendingSeekMs_ = ms;
    sound_->setPosition(ms);
    sound_->play();
}

void TPreviewPlay::ResyncSound(long long ms) {
    if (!sound_ || sound_->playbackState() != QMediaPlayer::PlayingState) return;
    if (std::llabs(sound_->position() - ms) > SoundSlackMs) sound_->setPosition(ms);
}

void TPreviewPlay::OptionsChanged() {
    if (Playing()) restart_ = true;
}

void TPreviewPlay::Retire() {
    if (!player_) return;
    player_->Stop();
    retired_.push_back(std::move(player_));
}

void TPreviewPlay::Reap() {
    std::erase_if(retired_, [](const auto& old) { return old->Finished(); });
}
