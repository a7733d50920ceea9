// The main window's life: construction, the one-time start-up, the caption, the log, enabling
// the editing controls, and closing (also during a run).
#include "app/U_MainDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "app/U_Application.h"
#include "app/U_Log.h"
#include "app/U_PreviewPlay.h"
#include "app/U_RunSettings.h"
#include "app/U_StyleSettings.h"
#include "lang/U_LangList.h"
#include "lang/U_MainLanguages.h"
#include "lang/U_TextStorage.h"
#include "lang/U_VersionInfo.h"
#include "pictures/U_LoaderDlg.h"
#include "platform/U_AppPaths.h"
#include "platform/U_Controls.h"
#include "platform/U_FitCaptions.h"
#include "platform/U_QtDispatcher.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"
#include "platform/codec/U_Codecs.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"
#include "platform/os/U_Thread.h"
#include "video/U_BmpToAvi.h"
#include "video/U_FrameServer.h"
#include "video/U_ImageFile.h"

namespace {

constexpr const char* AppTitle = "Morvanta";
constexpr int LogMaxLines = 10000;

// The window's message texts, in the order a language file translates them.
std::vector<std::string> MainTextLines() {
    return {
        MinimalPictureDurationText,
        "Empty picture list",
        "File not found :",
        "Invalid output file",
        VisualOptionsDisabledText,
        "Processing Video",
        "An error has occured. Please reset the application.",
        "Aborted by user.",
        "Processing Audio",
        "unused",
        "pictures",
        "An error occured while processing video. Please choose another codec or different "
        "settings and retry.",
        "Convertion to DVD requires a third party product from Dalvex Software. Do you want to "
        "download it now ?",
        "BurnDeck DVD is required to burn CDs or DVDs. Do you want to download it now ?",
        "The %1 container cannot hold %2: %3 selected.",
        "The size must be WxH, each side within %1..%2.",
        "songs",
    };
}

} // namespace

TMainDlg::TMainDlg(TMainDlgOptions options, QWidget* parent)
    : QMainWindow(parent), main_ts(std::make_unique<TTextStorage>(MainTextLines())),
      exePath_(options.ExecutablePath.empty() ? ExecutablePath() : options.ExecutablePath),
      stateFolder_(options.StateFolder.empty() ? StateFolder() : options.StateFolder),
      codecLines_(std::move(options.CodecLines)) {
    if (!codecLines_)
        codecLines_ = [] {
            std::vector<std::string> lines;
            for (const TCodecInfo& codec : ListCodecInfos()) lines.push_back(codec.Line());
            return lines;
        };
    setObjectName("MainDlg");
    Dispatcher = new TQtDispatcher(this);
    CreateControls();
    ConnectHandlers();
    Preview = new TPreviewPlay(*this);
}

TMainDlg::~TMainDlg() {
    // A run's end handler completes the close, so no worker is normally left here. One that is
    // (the loop ended under a run) is stopped as by Cancel and waited for while its
    // synchronised calls are served: joining it without them would wait forever.
    closeRequested_ = true;
    if (Worker) Worker->Terminate();
    const auto busy = [this] {
        if (Worker && !Worker->Finished()) return true;
        return std::any_of(retired_.begin(), retired_.end(),
                           [](const std::unique_ptr<TThread>& t) { return !t->Finished(); });
    };
    while (busy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Worker.reset();
    retired_.clear();
    // Before the lists and controls it watches.
    delete Preview;
    Preview = nullptr;
    if (codecThread_.joinable()) codecThread_.join();
    if (started_) Log("Closing...", 1);
    ThumbServer.reset();
    AviWriter.reset();
    setAcceptDrops(false);
    AppLog.reset();
}

void TMainDlg::AppEvtActivate() {
    if (started_) return;
    started_ = true;
    hide();
    // Errors that leave a handler are logged here and shown over this window; a request to end
    // the program closes it.
    if (TMorvantaApp* app = MorvantaApp()) {
        app->SetErrorOwner(this, [this](const std::string& message) { Log(message, 2); });
        app->SetMainWindow(this);
    }
    // The language goes first, so that the window starts in it; "-co" writes the reference
    // file with the English texts before that.
    if (!langue) langue = SetUpLanguages(*this);
    langue->FirstActivation(QCoreApplication::arguments().mid(1));
    RecordInstallPath();
    SetCaption();
    DropList.clear();
    setAcceptDrops(true);
    OpenLog();
    AviWriter = std::make_unique<TBmpToAvi>();
    std::string lastFcc = ReadSetting("LastFCC");
    if (lastFcc.empty()) lastFcc = "xvid";
    StartCodecList(lastFcc);
    Log("Starting", 1);
    Log(exePath_, 1);
    Log(windowTitle().toStdString(), 1);
    CreateThumbSlots();
    SoundDurationSec = 0;
    MoreSongs.clear();
    PicturePaths.Clear();
    PictureCaptions.Clear();
    PictureStyles.Clear();
    ShowStyle = ReadShowStyleSetting();
    // Thumbnails decode at a reduced scale and follow the EXIF setting as the frames do. The
    // server watches PicturePaths, so every change of the list reaches it.
    ThumbServer = std::make_unique<TFrameServer>(PicturePaths, &PictureCaptions, 1, 75, 100,
                                                 TShowStyle{}, DefaultMaxPicturePixels,
                                                 TPictureOptions{ReadAutoRotateSetting(), true});
    FillResolutions();
    EnableControls(true);
    RefreshThumbStrip();
    UpdatePictureCount();
    FitCaptions(this);
    show();
    if (logFailed_) QTimer::singleShot(0, this, &TMainDlg::ReportLogFailure);
}

void TMainDlg::RecordInstallPath() {
    // A store that cannot be written is skipped silently.
    WriteStringValue(TSettingsHive::Machine, "SOFTWARE\\Tavrell", AppTitle, exePath_);
}

void TMainDlg::SetCaption() {
    setWindowTitle(
        QString("%1 v%2").arg(AppTitle, QString::fromStdString(GetFileVersionText(exePath_))));
}

void TMainDlg::langueAfterLanguageSwitch() {
    SetCaption();
    // Captions in another language may be longer than the English ones.
    FitCaptions(this);
}

void TMainDlg::OpenLog() {
    const std::string fileName =
        ChooseLogFileName(FolderOf(exePath_), stateFolder_, std::string(AppTitle) + ".log");
    AppLog = std::make_unique<TKLog>(fileName, LogMaxLines, ReadSetting("LogMode") == "1");
}

void TMainDlg::Log(const std::string& message, int level) {
    if (!AppLog) return;
    try {
        AppLog->Add(message, level);
    } catch (const std::exception& e) {
        // The line stays in memory; the user hears of it once.
        if (!logFailed_) logError_ = e.what();
        logFailed_ = true;
        if (isVisible() && !logFailureShown_)
            QTimer::singleShot(0, this, &TMainDlg::ReportLogFailure);
    }
}

void TMainDlg::ReportLogFailure() {
    if (logFailureShown_ || !logFailed_) return;
    logFailureShown_ = true;
    ShowMessageBox(this, QString::fromStdString(logError_), false, mkWarning);
}

QString TMainDlg::Translate(const QString& english) const {
    return QString::fromStdString(main_ts->TranslateText(english.toStdString()));
}

void TMainDlg::ShowError(const std::exception_ptr& error) {
    ShowMessageBox(this, QString::fromStdString(ExceptionMessage(error)), false, mkError);
}

void TMainDlg::StartCodecList(const std::string& lastFcc) {
    codecsReady_ = false;
    // The list comes from the core's cache in a few milliseconds; a probe after a library
    // update takes seconds and must not hold up the first paint.
    codecThread_ = std::thread([this, lastFcc, list = codecLines_] {
        std::vector<std::string> lines;
        std::string error;
        try {
            lines = list();
        } catch (...) {
            // No codec: the list stays empty, as on a machine without any; the log says why.
            lines.clear();
            error = ExceptionMessage(std::current_exception());
        }
        QMetaObject::invokeMethod(
            this,
            [this, lines, lastFcc, error] {
                if (!error.empty()) Log("Cannot list the codecs: " + error, 2);
                FillCodecList(lines, lastFcc);
            },
            Qt::QueuedConnection);
    });
}

void TMainDlg::FillCodecList(const std::vector<std::string>& lines, const std::string& lastFcc) {
    if (codecThread_.joinable()) codecThread_.join();
    allCodecLines_ = lines;
    lastFcc_ = lastFcc;
    codecs_cmb->clear();
    for (const std::string& line : lines) codecs_cmb->addItem(QString::fromStdString(line));
    codecs_cmb->setCurrentIndex(ChooseCodecIndex(lines, lastFcc));
    codecsReady_ = true;
    if (StatusPanels[1]->property("codecWait").toBool()) {
        StatusPanels[1]->setProperty("codecWait", false);
        SetStatusText(1, "");
    }
    FitCodecsToOutput();
}

bool TMainDlg::WaitForCodecList() {
    if (codecsReady_) return true;
    if (!started_) return false;
    SetStatusText(1, "Looking for the installed codecs...");
    StatusPanels[1]->setProperty("codecWait", true);
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (codecsReady_) loop.quit();
    });
    poll.start(20);
    if (!codecsReady_) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return codecsReady_;
}

void TMainDlg::EnableControls(bool enable) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             sound_btn, resetaudio_btn, sound_txt,    organize_btn,    addphotos_btn,  imgreset_btn,
             load_btn,  save_btn,       dynamics_chk, FPS_txt,         matchaudio_btn, osd_chk,
             time_txt,  xfade_chk,      exp_btn,      codecconfig_btn, codecs_cmb,     res_cmb,
             go_btn,    out_btn,        out_txt})
        w->setEnabled(enable);
    cancel_btn->setEnabled(!enable);
    // Beyond the original list: the menu commands that change the picture list or the
    // soundtrack, and the codec's about box, which uses the writer a run is writing with.
    for (QAction* a : {Load1, Add1, Reset1, Organize1, Add2, Remove1}) a->setEnabled(enable);
    codecabout_btn->setEnabled(enable);
    if (Preview) Preview->EnableControls(enable);
}

void TMainDlg::ShowProgress(int position, int maximum, const QString& text) {
    pb->setMaximum(maximum);
    pb->setValue(position);
    prog_lbl->setText(text);
}

void TMainDlg::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(StatusPanels.size()))
        StatusPanels[panel]->setText(text);
}

void TMainDlg::RetireWorker(std::unique_ptr<TThread> thread) {
    if (thread) retired_.push_back(std::move(thread));
    // Joined only once ended: the handler that handed it over may still run a modal box.
    std::erase_if(retired_, [](const std::unique_ptr<TThread>& t) { return t->Finished(); });
    if (!retired_.empty()) QTimer::singleShot(10, this, [this] { RetireWorker(nullptr); });
}

void TMainDlg::EndRun() {
    CurrentWorker = nullptr;
    EnableControls(true);
    SetStatusText(1, "");
    prog_lbl->clear();
    if (closeRequested_) QTimer::singleShot(0, this, &QWidget::close);
}

bool TMainDlg::CloseRequested() const {
    // From the request on, not only once the queued closing reaches this window: a run that
    // ends in between must not greet a leaving user with its Done dialog or a message.
    const TMorvantaApp* app = MorvantaApp();
    return closeRequested_ || (app && app->QuitRequested());
}

void TMainDlg::Quit1Click() {
    close();
}

void TMainDlg::closeEvent(QCloseEvent* event) {
    // The thumbnail loader draws into the strip until it ends.
    if (Forms.LoaderDlg && Forms.LoaderDlg->Running()) {
        event->ignore();
        return;
    }
    // During a run the worker is asked to stop; its end handler ends the run and closes.
    if (Running()) {
        closeRequested_ = true;
        CurrentWorker->Terminate();
        cancel_btn->setEnabled(false);
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
