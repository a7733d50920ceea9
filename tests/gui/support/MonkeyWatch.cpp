#include "MonkeyWatch.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace guitest {

namespace {

// Reached from a signal handler and Qt's message handler, which take no context.
TJournal* journal = nullptr;
std::map<std::string, int>* warnings = nullptr;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void OnFatalSignal(int signal) {
    if (journal) journal->Print();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Qt's warnings go into the journal among the actions that caused them, and are counted.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    const std::string line = text.toStdString();
    if (journal) journal->Add("Qt says: " + line);
    if (!warnings || line.find("This plugin does not support") == 0) return;
    // The first of each kind with the actions that led to it.
    if (++(*warnings)[line.substr(0, 90)] == 1 && journal) journal->Print(8);
}

} // namespace

void TJournal::Add(const std::string& line) {
    auto& slot = Lines[static_cast<std::size_t>(Count.load() % Size)];
    std::snprintf(slot.data(), slot.size(), "%s", line.c_str());
    ++Count;
}

void TJournal::Print(int last) const {
    char head[160];
    const int count = Count.load();
    const int n = std::snprintf(head, sizeof head,
                                "monkey seed %u (MORVANTA_MONKEY_SEED=%u repeats it), "
                                "last actions of %d:\n",
                                Seed, Seed, count);
    [[maybe_unused]] ssize_t w = write(2, head, static_cast<std::size_t>(n));
    for (int i = std::max(0, count - std::min(last, Size)); i < count; ++i) {
        const auto& line = Lines[static_cast<std::size_t>(i % Size)];
        w = write(2, "  ", 2);
        w = write(2, line.data(), strnlen(line.data(), line.size()));
        w = write(2, "\n", 1);
    }
}

TMonkeyWatch::TMonkeyWatch(TJournal& journal, std::function<int()> steps,
                           std::function<bool()> walking, int deadlineSeconds)
    : journal_(journal), steps_(std::move(steps)), walking_(std::move(walking)),
      deadline_(NowMs() + deadlineSeconds * 1000LL), beat_(NowMs()) {
    guitest::journal = &journal_;
    guitest::warnings = &warnings_;
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(s, OnFatalSignal);
    previousHandler_ = qInstallMessageHandler(OnQtMessage);
    // The UI thread beats whenever its loop turns, modal dialogs' loops included.
    QObject::connect(&heart_, &QTimer::timeout, [this] { beat_ = NowMs(); });
    heart_.start(50);
    watchdog_ = std::thread([this] { Watch(); });
}

TMonkeyWatch::~TMonkeyWatch() {
    done_ = true;
    watchdog_.join();
    qInstallMessageHandler(previousHandler_);
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(s, SIG_DFL);
    guitest::warnings = nullptr;
    guitest::journal = nullptr;
}

void TMonkeyWatch::Watch() {
    int lastSteps = -1;
    std::int64_t movedAt = NowMs();
    while (!done_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const char* fault = nullptr;
        if (const int steps = steps_(); steps != lastSteps) {
            lastSteps = steps;
            movedAt = NowMs();
        }
        if (NowMs() - beat_ > 5000)
            fault = "the UI thread was blocked for more than 5 s";
        else if (walking_() && NowMs() - movedAt > 15000)
            fault = "the walk made no step for 15 s";
        else if (NowMs() > deadline_)
            fault = "the walk did not end a minute after its time";
        if (fault) {
            journal_.Print();
            std::fprintf(stderr, "monkey: %s\n", fault);
            std::_Exit(3);
        }
    }
}

} // namespace guitest
