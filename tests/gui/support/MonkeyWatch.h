#pragma once
// What watches the monkey: a journal of its last actions, printed on an abort, on a Qt warning
// seen for the first time and on every failure, and a watchdog thread that ends the process
// when the UI thread stops beating for more than 5 s, when the walk stops moving, or when it
// outlives its deadline.
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>

namespace guitest {

// The last actions, kept where a signal handler and the watchdog can print them.
struct TJournal {
    static constexpr int Size = 40;
    std::array<std::array<char, 200>, Size> Lines{};
    std::atomic<int> Count{0};
    unsigned Seed = 0;

    void Add(const std::string& line);
    // The last `last` lines with the seed, on stderr. Async-signal-safe.
    void Print(int last = Size) const;
};

class TMonkeyWatch {
public:
    // `steps` counts the walk's steps; `walking` is false once it winds down.
    TMonkeyWatch(TJournal& journal, std::function<int()> steps, std::function<bool()> walking,
                 int deadlineSeconds);
    ~TMonkeyWatch();
    TMonkeyWatch(const TMonkeyWatch&) = delete;
    TMonkeyWatch& operator=(const TMonkeyWatch&) = delete;

    // Qt's warnings by text (the offscreen platform's own left out), and how often.
    const std::map<std::string, int>& Warnings() const { return warnings_; }

private:
    void Watch();

    TJournal& journal_;
    std::function<int()> steps_;
    std::function<bool()> walking_;
    std::int64_t deadline_;
    std::atomic<std::int64_t> beat_;
    std::atomic<bool> done_{false};
    QTimer heart_;
    std::map<std::string, int> warnings_;
    QtMessageHandler previousHandler_ = nullptr;
    std::thread watchdog_;
};

} // namespace guitest
