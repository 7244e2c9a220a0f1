// The arithmetic of one cross-fade frame, fused into a single pass.
//
// A frame of the fade is defined by a sequence of whole-bitmap operations:
//   A.Fill(grey 255-g); A.Combine(outgoing, Multiply);
//   B.Fill(grey g);     B.Combine(incoming, Multiply);
//   S.Fill(black); S.Combine(A, Add); S.Combine(B, Add)
// which per channel is min(mul(255-g, o) + mul(g, i), 255). The kernel below
// computes exactly that, byte for byte, reading each source once and writing
// the frame once instead of touching five bitmaps seven times.
#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "base/image.hpp"

namespace vistel {

// The grey level of step i of an n-step fade: i * 255 / n, nearest with ties
// to even. The product is formed in 64 bits, so any 16-bit step count works
// (the original's 16-bit product overflowed from step 129 on). n = 0 is a
// division by zero, as in the original; a result beyond 0..255 (i outside
// 0..n) is an overflow.
Result<int> CrossFadeGrey(std::int32_t step, std::int32_t steps);

// frame = the blend of `outgoing` and `incoming` at grey level g (0 shows
// outgoing, 255 incoming). All three have the same size; frame is resized to
// it when it differs. Fails when the sizes of the sources differ or g is not
// in 0..255.
Status CrossFadeFrame(const Image& outgoing, const Image& incoming, int g, Image& frame);

}  // namespace vistel
