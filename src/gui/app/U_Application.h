#pragma once
// The application object. It is the last line of defence of the UI thread: an exception that
// leaves an event handler, a slot, a timer or a queued call is caught in notify, written to the
// program's log and shown in a message box with its text, and the program goes on with its
// state as it was. Qt cannot unwind an exception through its event loop, so nothing else may
// let one out.
//
// It also turns every way of being asked to end (SIGTERM, SIGINT, SIGHUP, the session ending,
// the application's quit) into one queued request on the UI thread: the modal dialogs close,
// then the main window closes as its own close does (a run in progress is stopped as by Cancel
// and the window closes when it has ended).
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

class TMorvantaApp : public QApplication {
    Q_OBJECT

public:
    TMorvantaApp(int& argc, char** argv);
    ~TMorvantaApp() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Where caught errors go: `log` gets the English line for the program's log, `owner`
    // parents the message box. Both are forgotten when `owner` is destroyed.
    void SetErrorOwner(QWidget* owner, std::function<void(const std::string&)> log);
    // The errors caught so far, and those shown in a box (an error caught while the box of an
    // earlier one is open is logged only, so that a fault that repeats cannot stack boxes).
    int ErrorsCaught() const { return caught_; }
    int ErrorsShown() const { return shown_; }

    // The window that a request to end closes; the application ends when it has closed.
    void SetMainWindow(QWidget* window) { main_ = window; }
    // Asks the program to end, from any thread or a signal handler's pipe: queued on the UI
    // thread. Safe to call more than once.
    void RequestQuit();
    bool QuitRequested() const { return quitRequested_; }

    // Writes `signal`'s number to the pipe the UI thread watches; for the signal handler.
    static void NotifySignal(int signal);

private:
    void Report(const std::string& message);
    void WatchSignals();
    void OnSignalPipe();
    void CloseEverything();

    QPointer<QWidget> owner_;
    std::function<void(const std::string&)> log_;
    QPointer<QWidget> main_;
    bool reporting_ = false;
    bool quitRequested_ = false;
    int caught_ = 0;
    int shown_ = 0;
    int signalPipe_[2] = {-1, -1};
    QSocketNotifier* signalNotifier_ = nullptr;
};

// The running application when it is a TMorvantaApp, else null (a plain QApplication).
TMorvantaApp* MorvantaApp();
