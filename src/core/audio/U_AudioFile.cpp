#include "audio/U_AudioFile.h"

#include <cctype>

#include "audio/U_MpegAudioFile.h"
#include "platform/base/U_Errors.h"

namespace {

struct KindMask {
    const char* Mask;
    int Kind;
    const char* Name;
};

constexpr KindMask kMasks[] = {
    {"*.wav", akWav, "WAV"},           {"*.mp[123]", akMpeg, "MPEG audio"},
    {"*.wma", akWma, "Windows Media"}, {"*.asf", akWma, "Windows Media"},
    {"*.ogg", akOgg, "Ogg Vorbis"},    {"*.ape", akApe, "Monkey's Audio"},
    {"*.ac3", akAc3, "AC3"},           {"*.mpc", akMpc, "MusePack"},
};

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool MatchFrom(const std::string& text, std::size_t t, const std::string& mask, std::size_t m) {
    while (m < mask.size()) {
        if (mask[m] == '*') {
            while (m < mask.size() && mask[m] == '*') ++m;
            if (m == mask.size()) return true;
            for (std::size_t k = t; k <= text.size(); ++k)
                if (MatchFrom(text, k, mask, m)) return true;
            return false;
        }
        if (t == text.size()) return false;
        if (mask[m] == '[') {
            const std::size_t close = mask.find(']', m + 1);
            if (close == std::string::npos) return false;
            bool any = false;
            for (std::size_t k = m + 1; k < close; ++k)
                any = any || Lower(mask[k]) == Lower(text[t]);
            if (!any) return false;
            m = close + 1;
        } else {
            if (Lower(mask[m]) != Lower(text[t])) return false;
            ++m;
        }
        ++t;
    }
    return t == text.size();
}

} // namespace

bool MatchesMask(const std::string& text, const std::string& mask) {
    return MatchFrom(text, 0, mask, 0);
}

TAudioFile::TAudioFile() = default;
TAudioFile::~TAudioFile() = default;

void TAudioFile::SetFileName(const std::string& name) {
    if (IsOpen()) return;
    fileName_ = name;
    fileKind_ = akNone;
    for (const auto& entry : kMasks) {
        if (MatchesMask(name, entry.Mask)) {
            fileKind_ = entry.Kind;
            break;
        }
    }
}

bool TAudioFile::Open() {
    if (IsOpen()) return true;
    if (fileKind_ == akNone) return false;
    if (fileKind_ != akMpeg) {
        for (const auto& entry : kMasks)
            if (entry.Kind == fileKind_)
                throw EMorvantaError(std::string(entry.Name) +
                                     " files are not supported: " + fileName_);
    }
    reader_ = std::make_unique<TMpegAudioFile>(fileName_);
    return true;
}

bool TAudioFile::Close() {
    reader_.reset();
    return true;
}

double PlayingDays(TAbstractAudioFile& r) {
    const long double dataSize = static_cast<long double>(r.DataSize());
    const long double days =
        dataSize / r.SampleRate() / r.BitsPerSample() * (1.0L / 86400) * 8 / r.Channels();
    return static_cast<double>(days);
}

double TAudioFile::Duration() {
    if (!Open()) return 0;
    return PlayingDays(*reader_);
}
