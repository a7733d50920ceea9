// Songs decoded to one stream of samples: converted to the soundtrack's rate and channels, and
// played one after another with a cross-fade between them.
#include <gtest/gtest.h>

#include <cmath>

#include "SongFiles.h"
#include "audio/U_SongDecoder.h"
#include "audio/U_SongList.h"
#include "platform/base/U_Errors.h"

using songtest::MakeSong;

namespace {

std::vector<float> ReadAll(TPcmSource& source, int chunk = 1000) {
    std::vector<float> all;
    std::vector<float> buffer(static_cast<std::size_t>(chunk * source.Channels()));
    for (;;) {
        const int got = source.Read(buffer.data(), chunk);
        if (got == 0) break;
        EXPECT_GT(got, 0);
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * source.Channels());
    }
    return all;
}

// A lossless song of constant level `level` (each channel), so mixes can be read exactly.
std::string Level(const test::TempDir& dir, const std::string& name, double level, double seconds,
                  int rate = 44100, int channels = 2) {
    const std::string path = dir.File(name);
    std::string exprs = std::to_string(level);
    for (int c = 1; c < channels; ++c) exprs += "|" + std::to_string(level);
    const char* layout = channels == 1 ? "mono" : channels == 2 ? "stereo" : "5.1";
    MakeSong(path, {"-c:a", "flac"}, seconds,
             "aevalsrc=" + exprs + ":channel_layout=" + layout +
                 ":sample_rate=" + std::to_string(rate));
    return path;
}

} // namespace

TEST(SongDecoder, ConvertsRateAndChannels) {
    test::TempDir dir;
    struct Case {
        int Rate, Channels, ToRate, ToChannels;
    };
    for (const Case c : {Case{22050, 1, 44100, 1}, Case{48000, 6, 48000, 2},
                         Case{44100, 2, 22050, 1}, Case{48000, 1, 48000, 2}}) {
        SCOPED_TRACE(std::to_string(c.Rate) + "/" + std::to_string(c.Channels));
        const std::string path = Level(dir, "s.flac", 0.25, 1.0, c.Rate, c.Channels);
        TSongDecoder decoder(path, c.ToRate, c.ToChannels);
        EXPECT_EQ(decoder.SampleRate(), c.ToRate);
        EXPECT_EQ(decoder.Channels(), c.ToChannels);
        const std::vector<float> all = ReadAll(decoder, 777);
        // One second at the new rate, within the resampler's rounding.
        EXPECT_NEAR(static_cast<double>(all.size()) / c.ToChannels, c.ToRate, 2);
        EXPECT_EQ(decoder.FramesRead() * c.ToChannels, static_cast<std::int64_t>(all.size()));
        // The level of 0.25 in every channel stays, or a mix of channels is scaled back to it so
        // that nothing clips; mono spread to stereo is 3 dB lower on each side.
        const float mid = all[all.size() / 2];
        EXPECT_NEAR(mid, c.Channels == 1 && c.ToChannels == 2 ? 0.1768f : 0.25f, 1e-3);
        EXPECT_EQ(decoder.Read(nullptr, 0), 0);
    }
}

TEST(SongDecoder, RefusesWhatIsNotASong) {
    test::TempDir dir;
    test::WriteText(dir.File("x.ogg"), "nothing");
    EXPECT_THROW(TSongDecoder(dir.File("x.ogg"), 44100, 2), EMorvantaError);
    EXPECT_THROW(TSongDecoder(dir.File("x.ogg"), 10, 2), EMorvantaError);
}

TEST(SongList, CrossFadesFromOneSongIntoTheNext) {
    test::TempDir dir;
    const std::string a = Level(dir, "a.flac", 0.5, 2.0);
    const std::string b = Level(dir, "b.flac", -0.5, 2.0);
    const std::vector<TSongInfo> songs = ProbeSongs({a, b});
    TSongList list(songs, 1000);
    ASSERT_EQ(list.SampleRate(), 44100);
    ASSERT_EQ(list.Channels(), 2);
    EXPECT_EQ(list.TotalFrames(), 3 * 44100);
    const std::vector<float> all = ReadAll(list);
    ASSERT_EQ(all.size(), 3u * 44100 * 2);
    const auto at = [&](double seconds) {
        return all[static_cast<std::size_t>(seconds * 44100) * 2];
    };
    EXPECT_FLOAT_EQ(at(0.5), 0.5f);
    EXPECT_FLOAT_EQ(at(0.999), 0.5f); // before the fade
    EXPECT_NEAR(at(1.5), 0.0f, 1e-3); // equal power: the two cancel at the middle
    EXPECT_GT(at(1.25), 0.1f);
    EXPECT_LT(at(1.75), -0.1f);
    EXPECT_FLOAT_EQ(at(2.5), -0.5f);
    EXPECT_FLOAT_EQ(all.back(), -0.5f);
    EXPECT_NEAR(SoundtrackDays(songs, 1000) * 86400, 3.0, 1e-9);
}

TEST(SongList, NoFadeJoinsTheSongsAndAShortSongLimitsTheFade) {
    test::TempDir dir;
    const std::string a = Level(dir, "a.flac", 0.5, 1.0);
    const std::string b = Level(dir, "b.flac", -0.5, 0.4, 22050, 1);
    const std::string c = Level(dir, "c.flac", 0.25, 1.0);
    const std::vector<TSongInfo> songs = ProbeSongs({a, b, c});
    {
        TSongList cut(songs, 0);
        EXPECT_EQ(cut.Channels(), 2); // not every song is mono
        const std::vector<float> all = ReadAll(cut, 4096);
        EXPECT_NEAR(static_cast<double>(all.size()) / 2, 2.4 * 44100, 4);
        EXPECT_FLOAT_EQ(all[2 * 44099], 0.5f);
        // The mono song, resampled and spread to both sides.
        EXPECT_NEAR(all[2 * 44100 + 200], -0.5f * std::sqrt(0.5f), 1e-3);
        EXPECT_NEAR(SoundtrackDays(songs, 0) * 86400, 2.4, 1e-6);
    }
    // Each fade is at most half of the shorter song: 0.2 s on either side of b.
    const std::vector<std::int64_t> fades = CrossFadeFrames(songs, 5000, 44100);
    EXPECT_EQ(fades, (std::vector<std::int64_t>{8820, 8820, 0}));
    TSongList faded(songs, 5000);
    const std::vector<float> all = ReadAll(faded);
    EXPECT_NEAR(static_cast<double>(all.size()) / 2, 2.0 * 44100, 4);
    EXPECT_EQ(faded.TotalFrames(), 2 * 44100);
    EXPECT_NEAR(SoundtrackDays(songs, 5000) * 86400, 2.0, 1e-6);
}

TEST(SongList, OneSongKeepsItsOwnLengthAndMonoStaysMono) {
    test::TempDir dir;
    const std::string a = Level(dir, "a.flac", 0.5, 1.0, 22050, 1);
    const std::vector<TSongInfo> songs = ProbeSongs({a});
    EXPECT_EQ(SoundtrackDays(songs, 1000), songs[0].Days);
    TSongList list(songs, 1000);
    EXPECT_EQ(list.SampleRate(), 22050);
    EXPECT_EQ(list.Channels(), 1);
    EXPECT_EQ(ReadAll(list).size(), 22050u);
    EXPECT_THROW(TSongList({}, 0), EMorvantaError);
}
