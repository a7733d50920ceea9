// The soundtrack: one song or several played one after another. Each song is checked by its
// content before anything of the window changes; the Soundtrack box shows the first song's
// path, and for several songs their count with the whole list's playing time.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <cctype>

#include "app/U_MainDlg.h"
#include "app/U_Preflight.h"
#include "app/U_RunSettings.h"
#include "audio/U_AudioFile.h"
#include "audio/U_SongList.h"
#include "audio/U_SongProbe.h"
#include "platform/U_FileDialogs.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"

namespace {

constexpr const char* SongExtensions[] = {".mp3", ".m4a",  ".aac",  ".ogg",
                                          ".oga", ".opus", ".flac", ".wav"};
constexpr const char* SoundFilter =
    "Sound files|*.mp3;*.m4a;*.aac;*.ogg;*.oga;*.opus;*.flac;*.wav|MP3 files|*.mp3";
// The cross-fade between songs, as the command line's default.
constexpr int WindowSongFadeMs = 1000;

// One MP3 goes the way it always went: the facade's kind, the multiplexing's rule and the
// facade's duration. None when the facade does not know the kind (the song is ignored).
std::optional<double> Mp3Days(const std::string& path) {
    TAudioFile audio; // closed and freed in every case
    audio.SetFileName(path);
    if (audio.FileKind() == akNone) return std::nullopt;
    // The multiplexing's own rule, before anything changes: a song it would refuse is refused
    // now, with its reason, and not after the whole video has been rendered.
    if (auto refusal = SoundtrackRefusal(path)) throw EMorvantaError(*refusal);
    // A file the facade cannot read raises its error.
    if (!audio.Open()) return std::nullopt;
    const double days = audio.Duration();
    audio.Close();
    return days;
}

} // namespace

namespace {

bool EndsWithSongExtension(std::string path, bool anyCase) {
    if (anyCase)
        for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string ext : SongExtensions)
        if (path.size() > ext.size() &&
            path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
            return true;
    return false;
}

} // namespace

bool IsSongName(const std::string& path) {
    return EndsWithSongExtension(path, false);
}

void TMainDlg::sound_btnClick() {
    if (Running()) return;
    TFileDialogRequest request;
    request.Mode = TFileDialogMode::OpenMany;
    request.Owner = this;
    request.InitialFolder = QString::fromStdString(ReadSetting("AudioPath"));
    request.Filter = SoundFilter;
    const QStringList chosen = RunFileDialog(request);
    if (chosen.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& file : chosen) paths.push_back(file.toStdString());
    try {
        SetSongs(paths);
    } catch (...) {
        ShowError(std::current_exception());
    }
    WriteSetting("AudioPath", FolderOf(paths.front()));
}

void TMainDlg::SetSoundtrack(const QString& path) {
    SetSongs({path.toStdString()});
}

void TMainDlg::SetSongs(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (paths.size() > MaxSongCount)
        throw EMorvantaError("Too many songs: at most " + std::to_string(MaxSongCount));
    double days = 0;
    // One MP3, or one file of a kind no song has (which the facade ignores, as it always did).
    const std::string& first = paths.front();
    if (paths.size() == 1 && (IsMpegAudioName(first) || !EndsWithSongExtension(first, true))) {
        const auto mp3 = Mp3Days(paths.front());
        if (!mp3) return;
        days = *mp3;
    } else {
        // Every song is read whole (its samples counted) before the window changes.
        days = SoundtrackDays(ProbeSongs(paths), WindowSongFadeMs);
    }
    sound_txt->setText(QString::fromStdString(paths.front()));
    MoreSongs.assign(paths.begin() + 1, paths.end());
    SoundDurationSec = ::SoundDurationSec(days);
    QString duration = QString::fromStdString(FormatDuration(SoundDurationSec));
    if (paths.size() > 1)
        duration = QString("%1 %2, %3").arg(paths.size()).arg(Translate("songs"), duration);
    audioduration_lbl->setText(duration);
    matchaudio_btn->setEnabled(SoundDurationSec > 0);
}

void TMainDlg::resetaudio_btnClick() {
    if (Running()) return;
    sound_txt->clear();
    MoreSongs.clear();
    audioduration_lbl->clear();
    SoundDurationSec = 0;
    matchaudio_btn->setEnabled(false);
}
