#include "app/U_Application.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDialog>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <exception>

#include "platform/U_Shell.h"

namespace {

// The write end of the pipe the signal handler writes to. A handler can reach nothing else, so
// this one descriptor is the program's only state shared with it.
std::atomic<int> signalWriteEnd{-1};

void OnQuitSignal(int signal) {
    TMorvantaApp::NotifySignal(signal);
}

} // namespace

TMorvantaApp* MorvantaApp() {
    return qobject_cast<TMorvantaApp*>(QCoreApplication::instance());
}

TMorvantaApp::TMorvantaApp(int& argc, char** argv) : QApplication(argc, argv) {
    WatchSignals();
    // The session is ending: leave as a quit from the menu does.
    connect(this, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { RequestQuit(); });
    // A request ends the loop it was made in. Left set, it would swallow the quit of a later
    // loop (notify takes its Quit event and RequestQuit would do nothing), which then never
    // ends.
    connect(this, &QCoreApplication::aboutToQuit, this, [this] { quitRequested_ = false; });
}

TMorvantaApp::~TMorvantaApp() {
    if (signalWriteEnd.load() == signalPipe_[1]) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
        signalWriteEnd.store(-1);
    }
    for (int fd : signalPipe_)
        if (fd >= 0) close(fd);
}

bool TMorvantaApp::notify(QObject* receiver, QEvent* event) {
    // A quit asked through Qt (QCoreApplication::quit, the platform's termination) closes the
    // dialogs and the window first; the loop ends once the window has closed.
    if (receiver == this && event->type() == QEvent::Quit && main_ && main_->isVisible()) {
        RequestQuit();
        return true;
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(e.what());
    } catch (...) {
        Report("Unknown error");
    }
    return false;
}

void TMorvantaApp::SetErrorOwner(QWidget* owner, std::function<void(const std::string&)> log) {
    owner_ = owner;
    log_ = std::move(log);
}

void TMorvantaApp::Report(const std::string& message) {
    ++caught_;
    if (owner_ && log_) {
        try {
            log_(message);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "morvanta: %s (log: %s)\n", message.c_str(), e.what());
        }
    } else {
        std::fprintf(stderr, "morvanta: %s\n", message.c_str());
    }
    // One box at a time: a handler that fails again while the box is open (a paint, a timer)
    // is logged only.
    if (reporting_ || quitRequested_) return;
    reporting_ = true;
    ++shown_;
    try {
        ShowMessageBox(owner_, QString::fromStdString(message), false, mkError);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvanta: cannot show the error: %s\n", e.what());
    }
    reporting_ = false;
}

void TMorvantaApp::NotifySignal(int signal) {
    const int fd = signalWriteEnd.load();
    if (fd < 0) return;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
    errno = saved;
}

void TMorvantaApp::WatchSignals() {
    // One application installs the handlers; a second one (tests) leaves them to the first.
    if (signalWriteEnd.load() >= 0) return;
    if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe_[0] = signalPipe_[1] = -1;
        return; // the signals keep their default action
    }
    signalWriteEnd.store(signalPipe_[1]);
    signalNotifier_ = new QSocketNotifier(signalPipe_[0], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, &TMorvantaApp::OnSignalPipe);
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
}

void TMorvantaApp::OnSignalPipe() {
    unsigned char bytes[16];
    while (read(signalPipe_[0], bytes, sizeof bytes) > 0) {
    }
    RequestQuit();
}

void TMorvantaApp::RequestQuit() {
    if (quitRequested_) return;
    quitRequested_ = true;
    QMetaObject::invokeMethod(this, &TMorvantaApp::CloseEverything, Qt::QueuedConnection);
}

void TMorvantaApp::CloseEverything() {
    // The innermost modal dialog first: its exec returns once control is back in its loop, so
    // the next one is closed on a later turn.
    if (QWidget* modal = activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(10, this, &TMorvantaApp::CloseEverything);
        return;
    }
    if (main_ && main_->isVisible()) {
        // The window's close stops a run as Cancel does and completes once it has ended.
        main_->close();
        if (main_ && main_->isVisible())
            QTimer::singleShot(50, this, &TMorvantaApp::CloseEverything);
        return;
    }
    quit();
}
