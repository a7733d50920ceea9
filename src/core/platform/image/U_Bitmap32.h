#pragma once
// A frame: 32 bits per pixel packed 0xAARRGGBB, rows from the top. Alpha carries no meaning.
#include <cstdint>
#include <vector>

// Marks per-pixel loops: their branches say nothing about the input's structure, so coverage
// instrumentation there only slows a fuzzer down.
#if defined(__clang__)
#define MORVANTA_PIXEL_LOOP __attribute__((no_sanitize("coverage")))
#else
#define MORVANTA_PIXEL_LOOP
#endif

struct TBitmap32 {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    TBitmap32() = default;
    TBitmap32(int width, int height) { SetSize(width, height); }

    // Resizes; keeps the allocation when it is large enough, so frame loops do not allocate.
    // Pixel contents are unspecified after a change of size.
    void SetSize(int width, int height);

    std::uint32_t* Row(int y) { return Pixels.data() + static_cast<std::size_t>(y) * Width; }
    const std::uint32_t* Row(int y) const {
        return Pixels.data() + static_cast<std::size_t>(y) * Width;
    }
    std::uint32_t& At(int x, int y) { return Row(y)[x]; }
    std::uint32_t At(int x, int y) const { return Row(y)[x]; }
    bool Empty() const { return Width <= 0 || Height <= 0; }
};

inline constexpr std::uint32_t PackRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b,
                                       std::uint32_t a = 255) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
inline constexpr std::uint32_t RedOf(std::uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline constexpr std::uint32_t GreenOf(std::uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline constexpr std::uint32_t BlueOf(std::uint32_t p) {
    return p & 0xFF;
}
