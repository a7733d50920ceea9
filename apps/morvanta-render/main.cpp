// morvanta-render: a project file or picture list in, a finished AVI out, progress on the
// terminal. Applies the same rules as the window's "Go !".
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "RenderOptions.h"
#include "TerminalProgress.h"
#include "app/U_Project.h"
#include "app/U_RenderJob.h"
#include "app/U_RunSettings.h"
#include "audio/U_AudioFile.h"
#include "platform/os/U_Settings.h"
#include "video/U_BmpToAvi.h"
#include "video/U_ImageFile.h"

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

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
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

// Why a soundtrack cannot be used, or "" when it can.
std::string SoundProblem(const std::string& path, double& days) {
    days = 0;
    try {
        TAudioFile audio;
        audio.SetFileName(path);
        if (!audio.Open()) return "not a known audio file";
        days = audio.Duration();
        audio.Close();
        return {};
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string PadFourCC(std::string code) {
    if (code.size() < 4) code.append(4 - code.size(), ' ');
    return code;
}

bool SameFourCC(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int Render(const TRenderOptions& options) {
    TBmpToAvi writer;
    std::vector<std::string> codecs;
    writer.ListCodecs(codecs);
    if (options.ListCodecs) {
        for (const auto& line : codecs) std::printf("%s\n", line.c_str());
        return FinishStandardOutput();
    }

    TProject project;
    if (options.Project) project = LoadProject(*options.Project);

    std::vector<std::string> entries = project.Entries;
    entries.insert(entries.end(), options.Pictures.begin(), options.Pictures.end());
    TStringList paths;
    TStringList captions;
    for (const auto& entry : entries) {
        const TPictureEntry picture = SplitPictureEntry(entry);
        if (auto rejection = PictureRejection(picture.Path)) {
            Say(*rejection);
            continue;
        }
        paths.Add(picture.Path);
        captions.Add(picture.Caption);
    }
    if (paths.Empty()) {
        Say("Empty picture list");
        return 1;
    }

    std::string output = options.Output.value_or(project.Output.value_or(""));
    if (output.empty()) return UsageError("Invalid output file");
    output = WithExactExtension(output, ".avi");

    std::string sound;
    double soundDays = 0;
    if (!options.NoSound) {
        if (options.Sound) {
            sound = *options.Sound;
            if (auto problem = SoundProblem(sound, soundDays); !problem.empty()) {
                Say("Cannot use the soundtrack " + sound + ": " + problem);
                return 1;
            }
        } else if (project.Sound && !project.Sound->empty()) {
            sound = *project.Sound;
            if (auto problem = SoundProblem(sound, soundDays); !problem.empty()) {
                Say("Warning: the project's soundtrack " + sound + " is not used: " + problem);
                sound.clear();
                soundDays = 0;
            }
        }
    }

    // The codec: -c must name a listed FourCC; otherwise the last one used, as the window picks.
    std::string codecEntry;
    if (options.Codec) {
        const std::string wanted = PadFourCC(*options.Codec);
        for (const auto& line : codecs)
            if (SameFourCC(line.substr(0, 4), wanted)) {
                codecEntry = line;
                break;
            }
        if (codecEntry.empty()) {
            Say("No compressor for " + *options.Codec + " available");
            return 1;
        }
    } else {
        const int index = ChooseCodecIndex(codecs, ReadSetting("LastFCC"));
        if (index >= 0) codecEntry = codecs[static_cast<std::size_t>(index)];
    }

    int timeMs = options.TimeMs;
    if (options.MatchAudio) {
        const int seconds = sound.empty() ? 0 : SoundDurationSec(soundDays);
        const auto match = MatchAudio(static_cast<int>(paths.Count()), seconds, options.CrossFade);
        if (match) {
            timeMs = match->PictureDurationMs;
            if (match->AtMinimum) Say(MinimalPictureDurationText);
        }
    }

    TRunInputs inputs;
    inputs.TimePerPicture = timeMs;
    inputs.FramesPerSecond = options.Fps;
    inputs.Resolution = std::to_string(options.Width) + "x" + std::to_string(options.Height);
    inputs.CodecEntry = codecEntry;
    inputs.DynamicsEnabled = !options.SingleFrame;
    inputs.DynamicsChecked = options.Dynamic;
    inputs.CrossFadeChecked = options.CrossFade;
    inputs.CaptionTextChecked = options.Captions;
    const TEffect effect = options.Effect.value_or(project.Effect.value_or(TEffect::None));
    inputs.Greyscale = effect == TEffect::Greyscale;
    inputs.Sepia = effect == TEffect::Sepia;
    const TRunSettings settings = DeriveRunSettings(inputs);
    if (settings.VisualOptionsDisabled) Say(VisualOptionsDisabledText);
    if (options.Verbose)
        for (const auto& line : RunLogLines(settings)) Say("Info\t" + line);

    TRenderRequest request;
    request.OutputFile = output;
    request.SoundFile = sound;
    request.Width = settings.Width;
    request.Height = settings.Height;
    request.FrameDuration = settings.FrameDuration;
    request.FourCC = settings.FourCC;
    request.Frames.PictureDurationMs = settings.PictureDurationMs;
    request.Frames.DynamicPictures = settings.DynamicPictures;
    request.Frames.CrossFade = settings.CrossFade;
    request.Frames.CaptionText = settings.CaptionText;
    request.Frames.SingleFrame = settings.SingleFrame;
    request.Frames.Greyscale = settings.Greyscale;
    request.Frames.Sepia = settings.Sepia;
    request.Frames.AutoRotate = options.AutoRotate && ReadAutoRotateSetting();
    request.Frames.PicturePaths = &paths;
    request.Frames.PictureCaptions = &captions;

    TTerminalProgress progress(!options.Quiet);
    TRenderEvents events;
    events.OnProgress = [&](TRenderPhase phase, std::int32_t position, std::int32_t max,
                            const std::string&) {
        progress.Update(phase == TRenderPhase::Video ? "Processing Video" : "Processing Audio",
                        position, max);
    };
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
    switch (outcome.Status) {
    case TRenderStatus::Done:
        Say("Wrote " + output);
        return 0;
    case TRenderStatus::Aborted:
        Say("Aborted by user.");
        if (!outcome.IntermediateFile.empty())
            Say("The video without sound is " + outcome.IntermediateFile);
        return stopSignal == SIGTERM ? 143 : 130;
    case TRenderStatus::Failed:
        break;
    }
    Say(outcome.Message);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Past a file size limit, write() must fail with EFBIG and be reported like a full disk,
    // rather than the signal killing the process and leaving the unfinished file behind.
    signal(SIGXFSZ, SIG_IGN);
    TRenderOptions options;
    try {
        options = ParseRenderOptions(argc, argv);
    } catch (const TUsageError& e) {
        return UsageError(e.Message);
    }
    if (options.Help) {
        std::fputs(RenderUsage(), stdout);
        return FinishStandardOutput();
    }
    if (options.Version) {
        std::printf("morvanta-render %s\n", MORVANTA_VERSION);
        return FinishStandardOutput();
    }
    try {
        return Render(options);
    } catch (const std::exception& e) {
        Say(e.what());
        return 1;
    }
}
