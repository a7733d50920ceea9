#include "TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/U_RunSettings.h"

namespace {

constexpr int MinBarWidth = 10;
constexpr auto RedrawInterval = std::chrono::milliseconds(200);

// The terminal's width: asked of the terminal itself, else $COLUMNS, else 80.
int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        const int value = std::atoi(columns);
        if (value > 0) return value;
    }
    return 80;
}

} // namespace

std::string FormatProgressLine(const std::string& phase, int percent, double fraction,
                               int elapsedSec, const std::string& fps, int leftSec, int width) {
    char percentText[8];
    std::snprintf(percentText, sizeof percentText, "%3d%%", percent);
    const std::string elapsed = FormatDuration(elapsedSec);
    const std::string left = (leftSec >= 0 ? FormatDuration(leftSec) : "-:--") + " left";
    // The parts given up, in this order, while the bar would be too short.
    enum { Phase, Fps, Elapsed, Left, Parts };
    for (int dropped = 0;; ++dropped) {
        const auto shown = [&](int part, const std::string& text) {
            return part >= dropped && !text.empty();
        };
        std::string head = shown(Phase, phase) ? phase + " " : std::string();
        head += percentText;
        head += " [";
        std::string tail = "]";
        if (shown(Elapsed, elapsed)) tail += " " + elapsed;
        if (shown(Fps, fps)) tail += " " + fps;
        if (shown(Left, left)) tail += " " + left;
        const int bar = width - static_cast<int>(head.size() + tail.size());
        if (bar < MinBarWidth && dropped < Parts) continue;
        if (bar <= 0)
            return std::string(percentText).substr(0, static_cast<std::size_t>(std::max(width, 0)));
        const int filled = std::clamp(static_cast<int>(std::floor(fraction * bar)), 0, bar);
        return head + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(bar - filled), '-') + tail;
    }
}

TTerminalProgress::TTerminalProgress(bool enabled)
    : enabled_(enabled && isatty(STDERR_FILENO) == 1) {}

void TTerminalProgress::Update(const TJobProgress& job) {
    if (!enabled_) return;
    const auto now = TClock::now();
    if (!start_) start_ = now;
    const bool video = job.Phase() == TRenderPhase::Video;
    if (video && job.FramesWritten() > 0 && !videoStart_) videoStart_ = now;
    const int percent = static_cast<int>(std::floor(job.Fraction() * 100));
    if (percent == lastPercent_ && now - lastDraw_ < RedrawInterval) return;
    lastPercent_ = percent;
    lastDraw_ = now;

    const double elapsed = std::chrono::duration<double>(now - *start_).count();
    std::string fps;
    if (video && videoStart_) {
        const double seconds = std::chrono::duration<double>(now - *videoStart_).count();
        // The first frame starts the clock, so it is not counted.
        if (seconds > 0.05) videoFps_ = (job.FramesWritten() - 1) / seconds;
        char text[32];
        std::snprintf(text, sizeof text, "%.1f fps", videoFps_);
        fps = text;
    }
    int leftSec = -1;
    if (job.Fraction() >= 1)
        leftSec = 0;
    else if (elapsed >= 1 && job.Fraction() > 0.005)
        leftSec = static_cast<int>(std::lround(elapsed * (1 - job.Fraction()) / job.Fraction()));
    const std::string line =
        FormatProgressLine(video ? "Video" : "Sound", percent, job.Fraction(),
                           static_cast<int>(elapsed), fps, leftSec, TerminalColumns() - 1);
    // Back to the line's start, the new line, then the rest of the old one erased.
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TTerminalProgress::Finish() {
    if (drawn_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    drawn_ = false;
    lastPercent_ = -1;
}
