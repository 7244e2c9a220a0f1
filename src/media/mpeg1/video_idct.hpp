// The 8x8 inverse DCT of the video decoder (internal): separable, in 32-bit
// integers with 14-bit constants and 5 fractional bits between the passes,
// accurate to the IEEE 1180 limits (tests/media/mpeg1_video_test.cpp runs
// that measurement).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistel::mpeg1video {

// Coefficients in raster order, each within [-2048, 2047]. `out` gets the
// rounded transform, unclamped.
void InverseDct(const std::int16_t* in, int* out);

// The transform of a block whose only non-zero coefficient is the DC one:
// the value every pixel gets, the same as InverseDct would give.
int InverseDctOfDc(int dc);

// The transform written over (Put, clamped to 0..255) or added to (Add,
// clamped) an 8x8 area of a plane. Both clear `block` for its next use.
void IdctPut(std::int16_t* block, std::uint8_t* dst, std::ptrdiff_t stride);
void IdctAdd(std::int16_t* block, std::uint8_t* dst, std::ptrdiff_t stride);
// The same for a block whose only non-zero coefficient is the DC one.
void IdctPutDc(int dc, std::uint8_t* dst, std::ptrdiff_t stride);
void IdctAddDc(int dc, std::uint8_t* dst, std::ptrdiff_t stride);

}  // namespace vistel::mpeg1video
