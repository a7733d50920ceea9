// The overlapped frame loop (frames made and converted ahead on a worker, the next picture
// loaded ahead) against the plain sequential loop: the same file, byte for byte, the same
// previews, the same errors at the same frame, and Cancel still within one frame.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/avi/U_AviFile.h"
#include "platform/base/U_Errors.h"
#include "platform/codec/U_Codecs.h"
#include "video/U_BmpToAvi.h"
#include "video/U_FrameServer.h"
#include "video/U_VideoMaker.h"
#include "video/U_VideoMakerThd.h"

namespace {

// Pictures of several shapes (landscape, portrait, panorama, tiny), each with its own marks.
void WritePictures(const test::TempDir& dir, TStringList& paths, TStringList& captions, int n) {
    const int shapes[][2] = {{120, 80}, {60, 90}, {200, 50}, {7, 5}, {90, 90}};
    for (int i = 0; i < n; ++i) {
        TBitmap32 b = test::MakeGradient(shapes[i % 5][0], shapes[i % 5][1]);
        test::FillRect(b, 3 + 2 * i, 2 + i, 11, 7, 0x10E030u * static_cast<unsigned>(i + 1));
        const std::string path = dir.File("p" + std::to_string(i) + ".bmp");
        test::WriteBmp24(path, b);
        paths.Add(path);
        captions.Add("picture " + std::to_string(i));
    }
}

struct TRun {
    std::vector<std::uint8_t> File;
    std::vector<std::vector<std::uint32_t>> Previews;
    std::vector<int> Positions;
    std::string Error;
    TVideoMakerState State;
    std::int32_t Written = -1;
};

struct TSetup {
    std::string Codec = "DIB";
    bool Dynamic = false;
    bool Sepia = false;
    int Pictures = 5;
    std::function<void(TStringList&, const test::TempDir&)> Spoil;
    std::function<bool(const TVideoMakerState&)> StopAfter; // asked after each frame
};

std::int32_t FramesIn(const std::string& file) {
    TAviReader reader;
    if (reader.Open(file) != AVIERR_OK) return -1;
    int stream = -1;
    if (reader.GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK) return -1;
    return reader.StreamLength(stream);
}

TRun Render(const TSetup& setup, bool sequential) {
    test::TempDir dir;
    TStringList paths, captions;
    WritePictures(dir, paths, captions, setup.Pictures);
    if (setup.Spoil) setup.Spoil(paths, dir);
    TBmpToAvi writer;
    writer.Width = 64;
    writer.Height = 48;
    writer.FrameDuration = 40;
    writer.FileName = dir.File("out.avi");
    writer.SetCodec(setup.Codec);
    writer.Open();

    TVideoMakerInputs inputs;
    inputs.PictureDurationMs = 800; // 20 frames per picture, 6 fade frames
    inputs.PicturePaths = &paths;
    inputs.PictureCaptions = &captions;
    inputs.CrossFade = true;
    inputs.CaptionText = true;
    inputs.DynamicPictures = setup.Dynamic;
    inputs.Sepia = setup.Sepia;
    inputs.Sequential = sequential;

    TRun run;
    bool stop = false;
    TVideoMakerCallbacks callbacks;
    callbacks.Progress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
        run.Positions.push_back(s.Position);
        if (!preview && !s.Repeated) return;
        // A repeated frame has no preview of its own: the last one still shows it.
        ASSERT_TRUE(preview || !run.Previews.empty());
        run.Previews.push_back(preview ? preview->Pixels : run.Previews.back());
        if (setup.StopAfter && setup.StopAfter(s)) stop = true;
    };
    callbacks.StopRequested = [&] { return stop; };
    try {
        MakeVideo(writer, inputs, callbacks, run.State);
        run.File = test::ReadFile(writer.FileName);
        run.Written = FramesIn(writer.FileName);
    } catch (const EMorvantaError& e) {
        // Without the temporary folder, which differs from run to run.
        run.Error = e.what();
        const auto at = run.Error.find(dir.Path().string());
        if (at != std::string::npos) run.Error.erase(at, dir.Path().string().size());
    }
    return run;
}

void ExpectSameRun(const TSetup& setup) {
    const TRun plain = Render(setup, true);
    const TRun overlapped = Render(setup, false);
    EXPECT_EQ(plain.Error, overlapped.Error);
    EXPECT_EQ(plain.State.Position, overlapped.State.Position);
    EXPECT_EQ(plain.State.Aborted, overlapped.State.Aborted);
    EXPECT_EQ(plain.Positions, overlapped.Positions);
    EXPECT_EQ(plain.Written, overlapped.Written);
    ASSERT_EQ(plain.Previews.size(), overlapped.Previews.size());
    for (std::size_t i = 0; i < plain.Previews.size(); ++i)
        ASSERT_EQ(plain.Previews[i], overlapped.Previews[i]) << "preview of frame " << i;
    EXPECT_TRUE(plain.File == overlapped.File) << "the files differ";
}

} // namespace

TEST(VideoPipeline, WritesExactlyTheFramesOfTheSequentialLoop) {
    // 5 x 20 + 4 x 6 frames: stills, fades, captions, pictures of every shape.
    const TRun run = Render({}, false);
    ASSERT_EQ(run.Error, "");
    EXPECT_EQ(run.Written, 124);
    ExpectSameRun({});
    // Panning and an effect go through the loader ahead too.
    TSetup panned;
    panned.Dynamic = true;
    panned.Sepia = true;
    ExpectSameRun(panned);
}

TEST(VideoPipeline, ConvertedFramesCompressLikeTheWholeFrames) {
    // Codecs that take converted frames (RGB, limited- and full-range YUV): the frames
    // converted on the worker, and the still frames' copied conversions, give the same file.
    // Still and panned pictures: the frames known to repeat are not drawn again.
    for (const char* codec : {"FFV1", "MJPG", "XVID", "HFYU"}) {
        if (!FindCodec(codec)) continue;
        for (const bool dynamic : {false, true}) {
            SCOPED_TRACE(std::string(codec) + (dynamic ? " panned" : " still"));
            TSetup setup;
            setup.Codec = codec;
            setup.Dynamic = dynamic;
            ExpectSameRun(setup);
        }
    }
}

TEST(VideoPipeline, ErrorsArriveAtTheFrameThatNeedsThePicture) {
    // The broken picture is loaded ahead while picture 1 is shown; its error must wait for
    // the fade into it, with every frame before that written and reported.
    TSetup setup;
    setup.Spoil = [](TStringList& paths, const test::TempDir& dir) {
        test::WriteText(dir.File("broken.jpg"), "not a jpeg");
        paths.Set(2, dir.File("broken.jpg"));
    };
    const TRun run = Render(setup, false);
    EXPECT_NE(run.Error.find("broken.jpg"), std::string::npos) << run.Error;
    // Pictures 0 and 1 with their fade, and the stills of picture 1: the fade 1 -> 2 fails.
    EXPECT_EQ(run.Previews.size(), 46u);
    EXPECT_EQ(run.State.Position, 45);
    ExpectSameRun(setup);

    TSetup missingFirst;
    missingFirst.Spoil = [](TStringList& paths, const test::TempDir& dir) {
        paths.Set(0, dir.File("missing.bmp"));
    };
    const TRun first = Render(missingFirst, false);
    EXPECT_NE(first.Error.find("missing.bmp"), std::string::npos);
    EXPECT_TRUE(first.Previews.empty());
    ExpectSameRun(missingFirst);
}

TEST(VideoPipeline, CancelStopsWithinOneFrame) {
    // The stop asked while frame k is reported: frame k is the last one written, however far
    // ahead the worker had got, with whole frames or converted ones.
    for (const char* codec : {"DIB", "FFV1"}) {
        for (const int k : {0, 1, 19, 21, 60, 122}) {
            SCOPED_TRACE(::testing::Message() << codec << " stop at " << k);
            TSetup setup;
            setup.Codec = codec;
            setup.StopAfter = [k](const TVideoMakerState& s) { return s.Position == k; };
            const TRun run = Render(setup, false);
            EXPECT_EQ(run.Error, "");
            EXPECT_TRUE(run.State.Aborted);
            EXPECT_EQ(run.Written, k + 1);
            EXPECT_EQ(run.Previews.size(), static_cast<std::size_t>(k + 1));
        }
    }
}

TEST(VideoPipeline, CancelOfTheThreadStopsWithinOneFrame) {
    test::TempDir dir;
    TStringList paths, captions;
    WritePictures(dir, paths, captions, 4);
    TBmpToAvi writer;
    writer.Width = 64;
    writer.Height = 48;
    writer.FrameDuration = 40;
    writer.FileName = dir.File("out.avi");
    writer.SetCodec("FFV1");
    writer.Open();
    TEventQueueDispatcher dispatcher;
    TVideoMakerThd thread(&dispatcher);
    thread.AviWriter = &writer;
    thread.Inputs.PictureDurationMs = 800;
    thread.Inputs.PicturePaths = &paths;
    thread.Inputs.CrossFade = true;
    int frames = 0;
    thread.OnProgress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
        if ((preview || s.Repeated) && ++frames == 7) thread.Terminate();
    };
    thread.Start();
    dispatcher.ProcessUntil([&] { return thread.Finished(); });
    thread.WaitFor();
    EXPECT_FALSE(thread.FatalException());
    EXPECT_TRUE(thread.Aborted());
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(FramesIn(writer.FileName), 7);
}

TEST(VideoPipeline, PictureLoadedAheadIsDroppedWhenTheListChanges) {
    test::TempDir dir;
    TStringList paths, captions;
    WritePictures(dir, paths, captions, 3);
    TFrameServer server(paths, nullptr, 10, 48, 64);
    server.PrefetchPictures(true);
    TBitmap32 frame;
    server.GetFrame(frame, 0); // picture 0 shown, picture 1 loading ahead
    const std::string other = dir.File("other.bmp");
    test::WriteBmp24(other, test::MakeSolid(64, 48, 0x3366CCu));
    paths.Set(1, other);
    server.GetFrame(frame, 10);
    EXPECT_TRUE(test::SameRGB(frame, test::MakeSolid(64, 48, 0x3366CCu)))
        << "the picture now in the list, not the one loaded ahead";
    // Random access backwards still gives the right picture.
    TBitmap32 again;
    server.GetFrame(again, 20);
    server.GetFrame(frame, 0);
    TFrameServer plain(paths, nullptr, 10, 48, 64);
    TBitmap32 expected;
    plain.GetFrame(expected, 0);
    EXPECT_EQ(frame.Pixels, expected.Pixels);
    plain.GetFrame(expected, 20);
    EXPECT_EQ(again.Pixels, expected.Pixels);
}
