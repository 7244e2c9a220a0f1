// MPEG-1 video (ISO/IEC 11172-2) decoded without any library: the clips'
// pictures on systems without FFmpeg.
//
// The decoder takes the video elementary stream as it comes out of the
// system stream's packets, in chunks of any size, and gives back the decoded
// pictures in display order as 4:2:0 planes. It decodes I, P, B and D
// pictures (D pictures have their DC terms only). A damaged slice is
// concealed (its macroblocks keep the previous picture's content) and the
// decoder goes on with the next slice; damage never stops it.
//
// Where a stream starts mid-way it shows what FFmpeg (5.1) shows: the B
// pictures that lead an open group without their earlier reference are
// dropped, and a P picture without any reference predicts from mid-grey,
// which is shown before it. broken_link is not acted on, as in FFmpeg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "base/input_limits.hpp"
#include "media/mpeg1/video_convert.hpp"

namespace vistel {

class Mpeg1VideoDecoder {
 public:
  enum class PictureType { I = 1, P = 2, B = 3, D = 4 };

  struct Picture {
    Yuv420View planes;  // valid until the decoder's next non-const call
    PictureType type = PictureType::I;
    int temporalReference = 0;
    // Macroblocks that were damaged or missing and hold concealment.
    int concealedMacroblocks = 0;
  };

  struct Sequence {
    int width = 0;
    int height = 0;
    int aspectRatioCode = 0;  // pel_aspect_ratio, 1..14
    // Pictures per second as a fraction; 0/0 for a reserved rate code.
    int rateNumerator = 0;
    int rateDenominator = 0;
    std::int64_t bitRate = 0;  // bits per second; 0 for variable
  };

  struct Options {
    // Sequences with more pixels or longer sides are refused.
    std::int64_t maxPixels = limits::kMaxPicturePixels;
    int maxSide = limits::kMaxPictureSide;
  };

  Mpeg1VideoDecoder();
  explicit Mpeg1VideoDecoder(Options options);
  ~Mpeg1VideoDecoder();
  Mpeg1VideoDecoder(const Mpeg1VideoDecoder&) = delete;
  Mpeg1VideoDecoder& operator=(const Mpeg1VideoDecoder&) = delete;

  // Appends bytes of the elementary stream (copied); decodes nothing yet.
  // They stay buffered until NextPicture has decoded past them, so a caller
  // holding memory down pushes a packet at a time and pulls in between.
  void Push(std::span<const std::uint8_t> bytes);
  // No more bytes will come (later pushes are ignored): what is buffered is
  // the stream's end, and the last reference picture is given out after it.
  void Finish();
  // Decodes until the next picture in display order is complete. Nothing
  // when the bytes pushed so far hold no further picture (or, after Finish,
  // at the end). An error for a sequence the decoder refuses (too large, not
  // MPEG-1): it skips that sequence's pictures, and later calls go on with
  // the next sequence header. An error too for a damaged sequence header,
  // after which the previous sequence goes on.
  Result<std::optional<Picture>> NextPicture();
  // Forgets every byte and picture, as after construction (for seeking).
  void Reset();

  // The current sequence's header; nothing before the first valid one.
  std::optional<Sequence> CurrentSequence() const;
  // Slices and headers found damaged since construction or Reset (their
  // macroblocks concealed, their pictures dropped).
  std::int64_t DamagedUnits() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vistel
