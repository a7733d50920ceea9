#include "TerminalProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

TTerminalProgress::TTerminalProgress(bool enabled)
    : enabled_(enabled), terminal_(isatty(STDERR_FILENO) == 1) {}

void TTerminalProgress::Update(const std::string& label, std::int64_t position, std::int64_t max) {
    if (!enabled_) return;
    if (label != label_) {
        Finish();
        label_ = label;
        lastPercent_ = -1;
        if (!terminal_) {
            std::fprintf(stderr, "%s...\n", label_.c_str());
            std::fflush(stderr);
        }
    }
    if (terminal_) Draw(position, max);
}

void TTerminalProgress::Draw(std::int64_t position, std::int64_t max) {
    const int percent =
        max > 0 ? static_cast<int>(std::clamp<std::int64_t>(position * 100 / max, 0, 100)) : 0;
    const auto now = std::chrono::steady_clock::now();
    // Redraw when the percentage moves, at most ten times a second otherwise.
    if (percent == lastPercent_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastPercent_ = percent;
    lastDraw_ = now;
    constexpr int width = 30;
    const int filled = percent * width / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    std::fprintf(stderr, "\r%-18s [%s] %3d%%  %lld/%lld ", label_.c_str(), bar.c_str(), percent,
                 static_cast<long long>(position), static_cast<long long>(max));
    std::fflush(stderr);
    drawn_ = true;
}

void TTerminalProgress::Finish() {
    if (enabled_ && terminal_ && drawn_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    drawn_ = false;
}
