#pragma once
// Progress on standard error: a redrawn bar on a terminal, one line per phase otherwise.
#include <chrono>
#include <cstdint>
#include <string>

class TTerminalProgress {
public:
    explicit TTerminalProgress(bool enabled);
    ~TTerminalProgress() { Finish(); }
    // `label` names the phase; a new label starts a new bar (or line).
    void Update(const std::string& label, std::int64_t position, std::int64_t max);
    // Ends the current bar with a line break.
    void Finish();

private:
    void Draw(std::int64_t position, std::int64_t max);

    bool enabled_;
    bool terminal_;
    std::string label_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point lastDraw_{};
};
