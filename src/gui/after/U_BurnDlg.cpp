#include "U_BurnDlg.h"

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "after/U_ExternalPrograms.h"
#include "platform/U_LockProbe.h"
#include "platform/U_Process.h"
#include "platform/U_Shell.h"

namespace {

// How often a job start looks for the burner's lock.
constexpr int LaunchPollMs = 50;

QPixmap BurnerLogo() {
    QPixmap logo(80, 31);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x80, 0x10, 0x10), 2));
    painter.setBrush(QColor(0xE0, 0x40, 0x20));
    painter.drawEllipse(QRectF(2, 2, 27, 27));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(12, 12, 7, 7));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    painter.drawText(QRect(32, 0, 48, 31), Qt::AlignVCenter | Qt::AlignLeft, "Burn");
    return logo;
}

} // namespace

TBurnDlg::TBurnDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("BurnDlg");
    setWindowTitle("Burn");
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveCDIcon));
    setFixedSize(201, 91);
    setFont(QFont("DejaVu Sans", 8));

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(60, 0, 80, 31);
    Image1->setPixmap(BurnerLogo());

    prog = new QProgressBar(this);
    prog->setObjectName("prog");
    prog->setGeometry(0, 40, 201, 17);
    prog->setTextVisible(false);

    cancel_btn = new QPushButton("Cancel", this);
    cancel_btn->setObjectName("cancel_btn");
    cancel_btn->setGeometry(48, 64, 105, 25);
    connect(cancel_btn, &QPushButton::clicked, this, &QDialog::reject);

    tmr = new QTimer(this);
    tmr->setObjectName("tmr");
    tmr->setInterval(1000);
    connect(tmr, &QTimer::timeout, this, &TBurnDlg::tmrTimer);

    launchWait_ = new QTimer(this);
    launchWait_->setInterval(LaunchPollMs);
    connect(launchWait_, &QTimer::timeout, this, &TBurnDlg::LaunchWaitTimer);
}

bool TBurnDlg::Execute() {
    burner_ = FindBurner();
    if (burner_.isEmpty() || JobCount < 1 || JobPrefix.isEmpty()) return false;
    const TLockFolder lockFolder = ResolveLockFolder();
    if (!lockFolder.Ok()) {
        // Without a trustworthy lock we cannot tell when a burner ends: starting the jobs
        // anyway would run them all at once.
        ShowMessageBox(parentWidget(), Translate(QString::fromStdString(lockFolder.Error)), false,
                       mkError);
        return false;
    }
    lockFile_ = LockFilePath(lockFolder, BurnerLockName);
    folder_ = JobFolder.isEmpty() ? DefaultJobFolder() : JobFolder;

    prog->setMinimum(0);
    CurrentJob = 0;
    prog->setMaximum(JobCount);
    prog->setValue(0);
    ++run_;
    active_ = true;
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    tmr->start();
    const int result = exec();
    active_ = false;
    tmr->stop();
    launchWait_->stop();
    Launching = false;
    return result == QDialog::Accepted;
}

bool TBurnDlg::BurnerRunning() const {
    return IsLockHeld(lockFile_);
}

void TBurnDlg::tmrTimer() {
    if (BurnerRunning() || Launching) return;
    if (CurrentJob == JobCount) {
        accept();
        return;
    }
    ++CurrentJob;
    prog->setValue(CurrentJob);
    // Posted rather than called, as the job start runs from the dialog's own message queue.
    QMetaObject::invokeMethod(
        this, [this, run = run_, job = CurrentJob] { BurnJobMessage(run, job); },
        Qt::QueuedConnection);
}

QStringList TBurnDlg::BurnerArguments(int job) const {
    QStringList arguments{AudioCd ? "/cdaudio" : "/datafl",
                          JobFilePath(folder_, JobPrefix, job - 1, ".bdj")};
    if (IsoOnly) arguments << "/isoonly=" + JobFilePath(folder_, JobPrefix, job - 1, ".iso");
    return arguments;
}

void TBurnDlg::BurnJobMessage(int run, int job) {
    if (!active_ || run != run_) return;
    Launching = true;
    launchedPid_ = StartDetachedProcess(burner_, BurnerArguments(job));
    if (launchedPid_ == 0) {
        // A failed start is silent: the next tick finds no burner and moves on.
        EndLaunch();
        return;
    }
    // Wait, without blocking the window, until the burner holds its lock or has ended, so that
    // a slow start never lets the next job begin early.
    launchClock_.start();
    launchWait_->start();
}

void TBurnDlg::LaunchWaitTimer() {
    if (BurnerRunning() || !IsProcessAlive(launchedPid_) || launchClock_.elapsed() >= LaunchWaitMs)
        EndLaunch();
}

void TBurnDlg::EndLaunch() {
    launchWait_->stop();
    launchedPid_ = 0;
    Launching = false;
}
