#pragma once
// TMainDlg: the main window and the owner of the project state (the picture list, soundtrack,
// output file, options and effect) and of the program's long-lived objects (the AVI writer,
// the log, the thumbnail frame server). Its code is split by role:
//   U_MainDlg.cpp          start-up, caption, log, enabling, closing
//   U_MainDlgLayout.cpp    the controls, their placement and the menu
//   U_MainDlgPictures.cpp  picture list, thumbnail strip, Organize, Jump, drops
//   U_MainDlgProject.cpp   project files, output file, settings folders
//   U_MainDlgOptions.cpp   soundtrack, codecs, options, effects, the small dialogs
//   U_GenControl.cpp       "Go !", Cancel, Match audio and the run's reports
//   U_GenControlEnd.cpp    the end of a run: the Done dialog or the message
#include <QMainWindow>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/U_StringList.h"
#include "video/U_ShowStyle.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;
class QToolButton;
class TAboutDlg;
class TBmpToAvi;
class TBurnDlg;
class TExpertDlg;
class TFrameServer;
class TImageControl;
class TJumpDlg;
class TKLog;
class TLangList;
class TLinkLabel;
class TLoaderDlg;
class TProcessSuccessDlg;
class TPreviewPlay;
class TQtDispatcher;
class TReorderDlg;
class TSettingsDlg;
class TSpinEdit;
class TTextStorage;
class TThread;

// The dialogs created once at start-up after the main window, in this order; they are the
// window's children and live as long as it does.
struct TMainForms {
    TAboutDlg* AboutDlg = nullptr;
    TJumpDlg* JumpDlg = nullptr;
    TReorderDlg* ReorderDlg = nullptr;
    TLoaderDlg* LoaderDlg = nullptr;
    TSettingsDlg* SettingsDlg = nullptr;
    TExpertDlg* ExpertDlg = nullptr;
    TProcessSuccessDlg* ProcessSuccessDlg = nullptr;
    TBurnDlg* BurnDlg = nullptr;
};

// What differs between the installed program and a test of it.
struct TMainDlgOptions {
    std::string ExecutablePath; // empty: the running program
    std::string StateFolder;    // where the log goes when the executable's folder is read-only;
                                // empty: $XDG_STATE_HOME/Morvanta/
    // The codec list's lines ("FCC description"); empty: the installed codecs, from the core's
    // cache. Runs on another thread.
    std::function<std::vector<std::string>()> CodecLines;
};

class TMainDlg : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainDlg(TMainDlgOptions options = {}, QWidget* parent = nullptr);
    // FormDestroy: "Closing..." to the log, then everything the window owns, the log last.
    ~TMainDlg() override;

    TMainForms Forms;

    // ---- Window state ----
    std::unique_ptr<TBmpToAvi> AviWriter;
    int SoundDurationSec = 0;
    // The songs played after sound_txt's one, cross-faded (the whole list's playing time is
    // SoundDurationSec).
    std::vector<std::string> MoreSongs;
    std::vector<std::string> DropList;
    int FirstThumb = 0;
    // The thread of the run in progress (the target of Cancel); null when idle.
    TThread* CurrentWorker = nullptr;
    std::unique_ptr<TKLog> AppLog;
    TStringList PicturePaths;
    TStringList PictureCaptions;
    // Beside the two lists: what each picture changes of the show (PictureStyleText's form, ""
    // for nothing), and the show's own look beyond the option boxes (Expert Options).
    TStringList PictureStyles;
    TShowStyle ShowStyle;
    std::unique_ptr<TFrameServer> ThumbServer;
    std::array<TImageControl*, 5> ThumbSlots{};
    std::unique_ptr<TTextStorage> main_ts;
    // Runs the workers' synchronised calls on this thread.
    TQtDispatcher* Dispatcher = nullptr;
    // The language packs; made at the first activation, when every form exists.
    TLangList* langue = nullptr;
    // Play and Stop under the preview panel (U_PreviewPlay).
    TPreviewPlay* Preview = nullptr;

    // ---- Controls, named as in the design ----
    QFrame* modes_pnl = nullptr;
    QToolButton* settings_btn = nullptr;
    QToolButton* help_btn = nullptr;
    QToolButton* about_btn = nullptr;

    QGroupBox* photo_grp = nullptr;
    QFrame* thumb_rct = nullptr;
    QLabel* thumbstats_lbl = nullptr;
    QPushButton* prev_btn = nullptr;
    QPushButton* next_btn = nullptr;
    QPushButton* addphotos_btn = nullptr;
    QPushButton* imgreset_btn = nullptr;
    QPushButton* save_btn = nullptr;
    QPushButton* load_btn = nullptr;
    QPushButton* jump_btn = nullptr;
    QPushButton* organize_btn = nullptr;

    QGroupBox* sound_grp = nullptr;
    QLineEdit* sound_txt = nullptr;
    QPushButton* sound_btn = nullptr;
    QPushButton* resetaudio_btn = nullptr;
    QLabel* audioduration_lbl = nullptr;

    QGroupBox* video_grp = nullptr;
    QGroupBox* codecs_grp = nullptr;
    QComboBox* codecs_cmb = nullptr;
    QPushButton* codecconfig_btn = nullptr;
    QPushButton* codecabout_btn = nullptr;
    TLinkLabel* dlcodecs_lbl = nullptr;
    QGroupBox* res_grp = nullptr;
    QComboBox* res_cmb = nullptr;

    QGroupBox* options_grp = nullptr;
    QCheckBox* dynamics_chk = nullptr;
    QCheckBox* xfade_chk = nullptr;
    QCheckBox* osd_chk = nullptr;
    QLabel* time_lbl = nullptr;
    TSpinEdit* time_txt = nullptr;
    QPushButton* matchaudio_btn = nullptr;
    QLabel* fps_lbl = nullptr;
    TSpinEdit* FPS_txt = nullptr;
    QPushButton* exp_btn = nullptr;

    QGroupBox* out_grp = nullptr;
    QLineEdit* out_txt = nullptr;
    QPushButton* out_btn = nullptr;
    QLabel* prog_lbl = nullptr;
    QProgressBar* pb = nullptr;
    QPushButton* go_btn = nullptr;
    QPushButton* cancel_btn = nullptr;
    QGroupBox* preview_grp = nullptr;
    TImageControl* img = nullptr;

    // Panel 0: the picture count; panel 1: the run state.
    std::array<QLabel*, 2> StatusPanels{};

    // ---- Menu ----
    QMenu* File1 = nullptr;
    QAction* Load1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Quit1 = nullptr;
    QMenu* Pictures1 = nullptr;
    QAction* Add1 = nullptr;
    QAction* Reset1 = nullptr;
    QAction* Organize1 = nullptr;
    QMenu* Sound1 = nullptr;
    QAction* Add2 = nullptr;
    QAction* Remove1 = nullptr;
    QMenu* Effects1 = nullptr;
    QAction* Greyscale1 = nullptr;
    QAction* Sepia1 = nullptr;
    QMenu* N2 = nullptr; // "?"
    QAction* Help1 = nullptr;
    QAction* About1 = nullptr;

    // ---- Start-up, caption, log ----
    // The one-time start-up; runs once, later calls do nothing. Shows the window at its end.
    void AppEvtActivate();
    bool Started() const { return started_; }
    void SetCaption();
    // Adds a line to the log. A log that cannot be written is reported once, after the window
    // is shown, and the program goes on without it.
    void Log(const std::string& message, int level);
    // The message text in the current language.
    QString Translate(const QString& english) const;
    const std::string& ExecutableFile() const { return exePath_; }

    // ---- Operations used by other parts ----
    void SetSoundtrack(const QString& path);
    // The soundtrack as a list of songs, each checked by its content before anything changes.
    void SetSongs(const std::vector<std::string>& paths);
    // The codec list shows the codecs the output's container holds; when the selected one does
    // not fit, the container's usual codec is selected and the status bar says so.
    void FitCodecsToOutput();
    // A size typed into the Resolution box is checked when the editing ends: one outside the
    // range is refused with the status bar's message and the previous size comes back. False
    // for a refused size.
    bool CheckTypedResolution();
    void EnableControls(bool enable);
    void ShowProgress(int position, int maximum, const QString& text);
    void AddPictureEntry(const std::string& entry);
    // `styles`, index-parallel to `entries` (may be shorter), go with the pictures taken.
    void AddPictureEntries(const std::vector<std::string>& entries,
                           const std::vector<TPictureStyle>& styles = {});
    void ClearPictures();
    void CreateThumbSlots();
    void RefreshThumbStrip();
    void UpdatePictureCount();
    void SetStatusText(int panel, const QString& text);

    // The codec list is probed on another thread so that the window shows at once. True once
    // the list is in codecs_cmb; waits for it (with a status text) when it is not yet.
    bool CodecListReady() const { return codecsReady_; }
    bool WaitForCodecList();

    // ---- Run state, shared with generation control ----
    bool Running() const { return CurrentWorker != nullptr; }
    // Owns the current phase's thread. A thread's end handler runs while the thread waits for
    // it, so an ended thread is handed to RetireWorker and joined after its handler returned.
    std::unique_ptr<TThread> Worker;
    void RetireWorker(std::unique_ptr<TThread> thread);
    // Ending a run: clears CurrentWorker, enables the controls, clears panel 1 and prog_lbl,
    // then completes a close that was asked for during the run.
    void EndRun();
    // The window is closing, or the program was asked to end and will close it.
    bool CloseRequested() const;

    // ---- Event handlers ----
    void sound_btnClick();
    void resetaudio_btnClick();
    void out_btnClick();
    void codecconfig_btnClick();
    void codecabout_btnClick();
    void dlcodecs_btnClick();
    void help_btnClick();
    void about_btnClick();
    void settings_btnClick();
    void exp_btnClick();
    void dynamics_chkClick();
    void Greyscale1Click();
    void Sepia1Click();
    void langueAfterLanguageSwitch();
    void Quit1Click();
    void save_btnClick();
    void load_btnClick();
    void addphotos_btnClick();
    void imgreset_btnClick();
    void prev_btnClick();
    void next_btnClick();
    void jump_btnClick();
    void organize_btnClick();
    void ThumbDblClick(int slot);
    void FilesDropped();
    // Generation control (U_GenControl.cpp).
    void go_btnClick();
    void cancel_btnClick();
    void matchaudio_btnClick();

    // Addresses opened by Help and "Download More Codecs".
    static constexpr const char* CodecsPageUrl = "https://ffmpeg.org/download.html";
    static constexpr const char* ManualFile = "manual.html";

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void CreatePhotoGroup();
    void CreateSoundGroup();
    void CreateVideoGroup();
    void CreateOptionsGroup();
    void CreateOutputGroup();
    void CreateModesPanel();
    void CreateMenu();
    void CreateStatusBar();
    void ConnectHandlers();

    void RecordInstallPath();
    void OpenLog();
    void StartCodecList(const std::string& lastFcc);
    void FillCodecList(const std::vector<std::string>& lines, const std::string& lastFcc);
    void FillResolutions();
    void ReportLogFailure();
    void ShowError(const std::exception_ptr& error);
    // The FourCC of the selected codec entry (empty when none), set on AviWriter.
    bool SelectCodecOnWriter(std::string& fourcc);
    bool AcceptsDrop(const QMimeData* data, Qt::DropActions actions) const;

    std::string exePath_;
    std::string stateFolder_;
    std::function<std::vector<std::string>()> codecLines_;
    bool started_ = false;
    bool logFailed_ = false;
    bool logFailureShown_ = false;
    std::string logError_;
    bool closeRequested_ = false;
    bool codecsReady_ = false;
    std::thread codecThread_;
    std::vector<std::unique_ptr<TThread>> retired_;
    // Every listed codec line; codecs_cmb shows those of the output's container.
    std::vector<std::string> allCodecLines_;
    std::string lastFcc_;
    QString lastResolution_ = "640x480";
};

// The names the Sound dialog and a drop take as songs: .mp3, .m4a, .aac, .ogg, .oga, .opus,
// .flac and .wav, in lower case as the window always compared ".mp3".
bool IsSongName(const std::string& path);
