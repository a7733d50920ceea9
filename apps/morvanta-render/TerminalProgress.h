#pragma once
// One progress bar on standard error for the whole job, the video and then the soundtrack:
// redrawn in place, as wide as the terminal, with the time spent, the frames per second and the
// time left. Nothing is drawn when standard error is not a terminal.
#include <chrono>
#include <optional>
#include <string>

#include "app/U_JobProgress.h"

class TTerminalProgress {
public:
    explicit TTerminalProgress(bool enabled);
    ~TTerminalProgress() { Finish(); }
    TTerminalProgress(const TTerminalProgress&) = delete;
    TTerminalProgress& operator=(const TTerminalProgress&) = delete;

    void Update(const TJobProgress& job);
    // Ends the bar's line, so that a message can follow; the next Update starts a new one.
    void Finish();

private:
    using TClock = std::chrono::steady_clock;

    bool enabled_;
    std::optional<TClock::time_point> start_;      // the first report
    std::optional<TClock::time_point> videoStart_; // the first frame
    TClock::time_point lastDraw_{};
    int lastPercent_ = -1;
    double videoFps_ = 0;
    bool drawn_ = false;
};

// The bar's line in at most `width` characters: the phase, the percentage, the bar, the time
// spent, the frames per second ("" to leave out) and the time left, the least needed left out
// first when the width is short.
std::string FormatProgressLine(const std::string& phase, int percent, double fraction,
                               int elapsedSec, const std::string& fps, int leftSec, int width);
