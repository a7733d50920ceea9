#include "HostileFiles.h"

#include <filesystem>
#include <random>

#include "../../core/audio/Mp3Bytes.h"
#include "TestPictures.h"
#include "TestSupport.h"

namespace guitest {

namespace fs = std::filesystem;

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

namespace {

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int b = 0; b < 4; ++b) bytes[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
}

} // namespace

// The user's files: every hostile case the core's tests use, written under `folder`.
std::vector<std::string> WriteHostileFiles(const std::string& folder) {
    fs::create_directories(folder);
    std::vector<std::string> files;
    const auto add = [&](const std::string& name, const Bytes& bytes) {
        files.push_back(folder + "/" + name);
        test::WriteFile(files.back(), bytes);
    };
    const Bytes bmp = test::EncodeBmp24(test::MakeGradient(40, 30));
    // Pictures.
    add("letter.jpg", {'D', 'e', 'a', 'r', ' ', 'S', 'i', 'r'});
    add("empty.bmp", {});
    Bytes giant = bmp;
    Put32(giant, 18, 60000);
    Put32(giant, 22, 60000);
    add("giant.bmp", giant);
    Bytes past = bmp;
    Put32(past, 10, 1 << 20);
    add("pixels-past-the-end.bmp", past);
    Bytes rows = bmp;
    Put32(rows, 22, 3000);
    add("rows-missing.bmp", rows);
    Bytes cut = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    cut.resize(600, 0x55);
    add("cut.jpg", cut);
    fs::create_directory(folder + "/folder.jpg");
    files.push_back(folder + "/folder.jpg");
    for (const char* sub : {"bmp", "jpeg"})
        for (const auto& entry : fs::directory_iterator(fs::path(MORVANTA_DATA_DIR) / "fuzz" / sub))
            add(entry.path().filename().string(), test::ReadFile(entry.path().string()));
    // Songs.
    using namespace mp3test;
    add("empty.mp3", {});
    Bytes lyingTag = Id3v2(20);
    lyingTag[6] = 0x7F;
    Append(lyingTag, Repeat(Mp3Frame(), 2));
    add("tag-past-end.mp3", lyingTag);
    Bytes late(9000, 0x20);
    Append(late, {0xFF, 0xFD, 0xE8, 0x00});
    late.resize(late.size() + 100, 0x20);
    add("late-frame.mp3", late);
    Bytes storm;
    for (int i = 0; i < 20000; ++i) Append(storm, {0xFF, 0xFB, 0x90, 0x64});
    add("sync-storm.mp3", storm);
    add("zeros.mp3", Bytes(20000, 0));
    // Cut inside its only frame: no whole frame to copy.
    Bytes cutFirst = Mp3Frame();
    cutFirst.resize(200);
    add("cut-in-first-frame.mp3", cutFirst);
    // Whole frames and a cut last one: the multiplexing copies the whole ones, so it is taken.
    Bytes cutLast = Repeat(Mp3Frame(), 3);
    cutLast.resize(1000);
    add(SoundSongWithCutEnd, cutLast);
    add("limit-id3-256mb.mp3",
        test::ReadFile((fs::path(MORVANTA_DATA_DIR) / "fuzz" / "mp3" / "limit-id3-256mb.mp3")));
    // Projects.
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    add("hostile.mrv", text(";Sound=" + folder + "/zeros.mp3\r\n;Effect=Sepia\r\n" + folder +
                            "/giant.bmp\tbig\r\n" + folder + "/letter.jpg\r\n"));
    add("long-line.mrv", Bytes(3 * 1024 * 1024, 'a'));
    add("empty.mrv", {});
    fs::create_directory(folder + "/folder.mrv");
    files.push_back(folder + "/folder.mrv");
    // Random bytes under every accepted extension.
    std::uint32_t seed = 1;
    for (const char* ext : {".jpg", ".JPG", ".jpeg", ".bmp", ".BMP", ".mp3", ".mrv"})
        add(std::string("random") + ext, RandomBytes(70000, seed++));
    return files;
}

// The bytes of every file under `folder`.
std::map<std::string, Bytes> Snapshot(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().string()] = test::ReadFile(entry.path().string());
    return files;
}

} // namespace guitest
