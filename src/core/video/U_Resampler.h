#pragma once
// Mitchell-Netravali (B = C = 1/3) resampling in two separable passes, horizontal then
// vertical, in exact integer arithmetic: the result depends only on the sizes and the source
// pixels, never on the order in which rows or columns are computed, so the passes may be split
// across threads or vectorised without changing a single output pixel.
#include <cstdint>
#include <vector>

#include "platform/image/U_Bitmap32.h"

// Weights are fixed point with this many fractional bits; each set sums to exactly 1 << 14.
inline constexpr int ResampleWeightBits = 14;
// The intermediate (horizontal pass) result keeps this many fractional bits in an int16.
inline constexpr int ResampleIntermediateBits = 6;

// The filter taps of one axis, computed once per source and target size.
struct TResampleAxis {
    int SrcSize = 0;
    int DstSize = 0;
    int Taps = 0;                      // weights per output pixel (fixed stride)
    std::vector<int> Start;            // first source index of output pixel i
    std::vector<std::int16_t> Weights; // Weights[i * Taps + k] applies to source Start[i] + k
};

// Kernel support widens by the shrink factor when shrinking; source indices outside the
// picture are clamped to its edge (their weights folded onto the edge pixel).
TResampleAxis MakeMitchellAxis(int srcSize, int dstSize);

// The Mitchell-Netravali kernel, B = C = 1/3.
double MitchellWeight(double x);

class TMitchellResampler {
public:
    TMitchellResampler(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

    // Scales src (which must be srcWidth x srcHeight) into the dstWidth x dstHeight rectangle
    // of dest whose top left corner is (left, top); dest must hold that rectangle.
    // Output alpha is 255.
    void Resample(const TBitmap32& src, TBitmap32& dest, int left, int top) const;

    const TResampleAxis& Horizontal() const { return horizontal_; }
    const TResampleAxis& Vertical() const { return vertical_; }

private:
    void HorizontalRows(const TBitmap32& src, std::int16_t* mid, int first, int last) const;
    void VerticalRows(const std::int16_t* mid, TBitmap32& dest, int left, int top, int first,
                      int last) const;

    TResampleAxis horizontal_;
    TResampleAxis vertical_;
    std::vector<std::int32_t> hPairs_; // weight pairs for the multiply-add, see PairWeights
    std::vector<std::int32_t> vPairs_;
};
