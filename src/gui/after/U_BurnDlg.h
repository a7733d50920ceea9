#pragma once
// The Burn dialog: hands prepared burner jobs to the outside disc burner one at a time, each
// only after the burner instance before it has ended, and counts the jobs started.
#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TBurnDlg : public QDialog {
    Q_OBJECT
public:
    explicit TBurnDlg(QWidget* parent = nullptr);

    // Inputs, set before Execute.
    int JobCount = 0;
    bool AudioCd = false;
    bool IsoOnly = false;
    QString JobPrefix;
    // Where the job files lie; empty means DefaultJobFolder().
    QString JobFolder;
    // Message texts pass through it before they are shown.
    std::function<QString(const QString&)> Translate = [](const QString& text) { return text; };

    // Runs every job; true when all were started and the last burner has ended, false when
    // the user cancelled or nothing could be started. Shows nothing when there is no burner.
    bool Execute();

    // The name of the lock the running burner holds.
    static constexpr const char* BurnerLockName = "BURNDECK_RUNNING";
    // How long a job start may take before the next job may begin regardless.
    static constexpr int LaunchWaitMs = 10000;

private:
    void tmrTimer();
    void BurnJobMessage(int run, int job);
    void LaunchWaitTimer();
    void EndLaunch();
    bool BurnerRunning() const;
    QStringList BurnerArguments(int job) const;

    QLabel* Image1;
    QProgressBar* prog;
    QPushButton* cancel_btn;
    QTimer* tmr;
    QTimer* launchWait_;

    int CurrentJob = 0;
    bool Launching = false;
    // Counts Execute calls, so that a job message posted in an earlier run starts nothing.
    int run_ = 0;
    bool active_ = false;
    QString burner_;
    QString folder_;
    std::string lockFile_;
    qint64 launchedPid_ = 0;
    QElapsedTimer launchClock_;
};
