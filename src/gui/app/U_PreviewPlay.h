#pragma once
// The live preview under the main window's Preview panel: "Play" shows the show from the
// selected thumbnail at the output's frame rate with the soundtrack, without writing a file;
// "Stop" ends it at once. The frames come from the core's preview player (a frame server on a
// worker); this side only polls it on a timer, shows what it gives and plays the sound.
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_PreviewPlayer.h"

class QAudioOutput;
class QMediaPlayer;
class QPushButton;
class QTimer;
class TMainDlg;

class TPreviewPlay : public QObject {
    Q_OBJECT

public:
    // Makes play_btn and stop_btn under the window's preview panel and watches the options.
    explicit TPreviewPlay(TMainDlg& window);
    // Waits for the workers of stopped plays (each ends after the frame or picture in hand).
    ~TPreviewPlay() override;

    void play_btnClick();
    void stop_btnClick();
    bool Playing() const { return player_ != nullptr; }
    // Called by the window's EnableControls: a run stops the preview and Play waits for its end.
    void EnableControls(bool enable);
    // The thumbnail the preview starts from; -1 for none (the strip's first picture).
    int SelectedPicture() const { return selected_; }
    void SelectPicture(int index);
    // Marks the selected thumbnail after the strip moved or was drawn again.
    void StripChanged();
    // Something the frames are made from changed: a play goes on with it from its next frame.
    void OptionsChanged();

    // What the current or last play measured.
    TPreviewStats Stats() const { return stats_; }
    // The index of the frame on screen, -1 before the first.
    int ShownFrame() const { return shownFrame_; }
    // The soundtrack's player once a play with a soundtrack made it (null before).
    QMediaPlayer* Sound() const { return sound_; }

    QPushButton* play_btn = nullptr;
    QPushButton* stop_btn = nullptr;

private:
    void Start(int startPicture, long long startMs);
    void Tick();
    void ShowFrame();
    void StartSound(long long ms);
    void ResyncSound(long long ms);
    void Retire();
    void Reap();

    TMainDlg& w_;
    QTimer* timer_ = nullptr;
    std::unique_ptr<TPreviewPlayer> player_;
    std::vector<std::unique_ptr<TPreviewPlayer>> retired_;
    TBitmap32 frame_;
    TPreviewStats stats_;
    int frameDuration_ = 66;
    int shownFrame_ = -1;
    int selected_ = -1;
    bool restart_ = false;
    bool soundStarted_ = false;
    QString soundFile_;
    QMediaPlayer* sound_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    long long pendingSeekMs_ = -1;
    TStringList::TSubscription pathsWatch_;
    TStringList::TSubscription captionsWatch_;
    TStringList::TSubscription stylesWatch_;
};
