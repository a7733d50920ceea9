// morvanta-render: a project file or picture list in, a finished AVI out, progress on the
// terminal. Applies the same rules as the window's "Go !".
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "RenderOptions.h"
#include "RenderPlan.h"
#include "TerminalProgress.h"
#include "app/U_ErrorAdvice.h"
#include "app/U_RenderJob.h"
#include "platform/container/U_Container.h"
#include "video/U_BmpToAvi.h"

namespace {

// The signal that asked for a stop (SIGINT or SIGTERM), 0 for none. Written by the handler.
volatile sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
    stopSignal = signal;
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Holds a whole listing until FinishStandardOutput, so that a failed write is seen there with its
// own reason rather than in an earlier, silent flush. Call before the first output.
// The buffer is stdout's until exit (glibc ignores the size without one).
void BufferWholeOutput() {
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

// Text that never reached standard output (a full disk) is a failure, not a success.
int FinishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    Say(std::string("morvanta-render: cannot write standard output: ") +
        std::strerror(errno != 0 ? errno : EIO));
    return 1;
}

int UsageError(const std::string& message) {
    Say("morvanta-render: " + message);
    Say("Try 'morvanta-render --help'.");
    return 2;
}

// An error's own text, then, for the coded ones, what failed and what to try in plain words.
void SayError(const std::string& message) {
    if (message.empty()) return;
    Say(message);
    if (const std::string plain = PlainWordsFor(message); !plain.empty()) Say(plain);
}

TRenderRequest MakeRequest(const TRenderPlan& plan) {
    const TRunSettings& settings = plan.Settings;
    TRenderRequest request;
    request.OutputFile = plan.Output;
    request.SoundFile = plan.Sound;
    request.MoreSongs = plan.MoreSongs;
    request.SongFadeMs = plan.SongFadeMs;
    request.Width = settings.Width;
    request.Height = settings.Height;
    request.FrameDuration = settings.FrameDuration;
    request.FourCC = settings.FourCC;
    request.FrameRate = settings.FrameRate;
    request.SoundMode = plan.SoundMode;
    request.FadeOutMs = plan.FadeOutMs;
    request.Frames = FrameInputsFor(settings, nullptr, nullptr, plan.AutoRotate);
    return request;
}

int Render(const TRenderOptions& options) {
    TBmpToAvi writer;
    // Every codec: the output's container decides which of them fit (RenderPlan).
    std::vector<std::string> codecs;
    for (const TCodecInfo& codec : ListCodecInfos()) codecs.push_back(codec.Line());
    if (options.ListCodecs) {
        BufferWholeOutput();
        for (const TCodecInfo& codec : ListCodecInfos())
            std::printf("%s  (%s)\n", codec.Line().c_str(), ContainersText(codec).c_str());
        return FinishStandardOutput();
    }

    TRenderPlan plan;
    if (const int status = PlanRender(options, codecs, plan); status != 0) return status;
    if (options.Verbose)
        for (const auto& line : RunLogLines(plan.Settings)) Say("Info\t" + line);

    TRenderRequest request = MakeRequest(plan);
    request.Frames.PicturePaths = &plan.Paths;
    request.Frames.PictureCaptions = &plan.Captions;

    TTerminalProgress progress(!options.Quiet);
    TRenderEvents events;
    events.OnJobProgress = [&](const TJobProgress& job) { progress.Update(job); };
    if (options.Verbose) {
        events.OnLog = [&](const std::string& text) {
            progress.Finish();
            Say("Info\t" + text);
        };
    }
    events.StopRequested = [] { return stopSignal != 0; };

    InstallStopHandlers();
    const TRenderOutcome outcome = RunRender(writer, request, events);
    progress.Finish();
    const std::string pictures = PictureCount(plan.Paths.Count(), plan.Skipped);
    switch (outcome.Status) {
    case TRenderStatus::Done:
        Say("Wrote " + outcome.KeptFile + " (" + pictures + ").");
        return 0;
    case TRenderStatus::Aborted:
        Say("Aborted by user.");
        if (!outcome.FilesNote.empty()) Say(outcome.FilesNote);
        if (plan.Skipped > 0) Say(pictures + ".");
        return stopSignal == SIGTERM ? 143 : 130;
    case TRenderStatus::Failed:
        break;
    }
    SayError(outcome.Message);
    if (!outcome.FilesNote.empty()) Say(outcome.FilesNote);
    if (plan.Skipped > 0) Say(pictures + ".");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Past a file size limit, write() must fail with EFBIG and be reported like a full disk,
    // rather than the signal killing the process and leaving the unfinished file behind.
    signal(SIGXFSZ, SIG_IGN);
    if (argc <= 1) {
        std::fputs(RenderUsage(), stderr);
        return 2;
    }
    TRenderOptions options;
    try {
        options = ParseRenderOptions(argc, argv);
    } catch (const TUsageError& e) {
        return UsageError(e.Message);
    }
    if (options.Help) {
        BufferWholeOutput();
        std::fputs(RenderUsage(), stdout);
        return FinishStandardOutput();
    }
    if (options.Version) {
        BufferWholeOutput();
        std::printf("morvanta-render %s\n", MORVANTA_VERSION);
        return FinishStandardOutput();
    }
    try {
        return Render(options);
    } catch (const std::exception& e) {
        SayError(e.what());
        return 1;
    }
}
