// Times the thumbnail strip's decode: every picture given fitted into 100 x 75 the full way (the
// whole picture decoded, then resampled, as the render does) and the reduced way (decoded at the
// smallest DCT scale that still covers the slot). Prints each way's best of ROUNDS passes over
// all the pictures, wall time and this process's CPU time, so that a busy machine's slow
// moments count as little as they can.
// Usage: morvanta-bench-thumbnails ROUNDS PICTURE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "video/U_ImageFile.h"

namespace {

constexpr int SlotWidth = 100;
constexpr int SlotHeight = 75;

struct TTiming {
    double Wall = 1e9; // seconds, best pass
    double Cpu = 1e9;  // this process's CPU seconds, best pass
};

template <class Make>
TTiming BestPass(int rounds, const std::vector<std::string>& pictures, Make make) {
    TTiming best;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        for (const auto& path : pictures) make(path);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best.Wall = std::min(best.Wall, took.count());
        best.Cpu =
            std::min(best.Cpu, static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROUNDS PICTURE...\n", argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> pictures(argv + 2, argv + argc);
    try {
        const TTiming full = BestPass(rounds, pictures, [](const std::string& path) {
            TImageFile picture(path, SlotWidth, SlotHeight);
        });
        const TTiming reduced = BestPass(rounds, pictures, [](const std::string& path) {
            MakeThumbnail(path, SlotWidth, SlotHeight, true);
        });
        std::printf("%zu thumbnails, full decode:    wall %6.3f s  cpu %6.3f s\n", pictures.size(),
                    full.Wall, full.Cpu);
        std::printf("%zu thumbnails, reduced decode: wall %6.3f s  cpu %6.3f s  (%.1fx less cpu)\n",
                    pictures.size(), reduced.Wall, reduced.Cpu, full.Cpu / reduced.Cpu);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
