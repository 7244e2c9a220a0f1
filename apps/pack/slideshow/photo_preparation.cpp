#include "slideshow/photo_preparation.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "base/input_limits.hpp"
#include "imaging/resample.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "package/slideshow.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

// A JPEG's frame header may follow large metadata (colour profiles, preview
// pictures); the probe needs the bytes up to it.
constexpr std::size_t kHeaderBytes = std::size_t{4} << 20;

// Rewritten photos: FFmpeg's second finest quantiser with the colour at half
// resolution, as cameras store photos.
constexpr JpegSettings kPhotoJpeg{2, JpegChroma::Half};

Error Refused(std::string what) {
  return Error(ErrorCode::InvalidProcedureCall, std::move(what));
}

Result<std::vector<std::byte>> ReadHead(const std::string& path) {
  const auto files = MakeNativeFileSystem();
  auto file = files->OpenRead(path);
  if (!file) return Fail(file.error());
  if ((*file)->Size() == 0) return Fail(Refused("the file is empty"));
  std::vector<std::byte> head(
      static_cast<std::size_t>(std::min<std::uint64_t>((*file)->Size(), kHeaderBytes)));
  std::size_t got = 0;
  while (got < head.size()) {
    auto read = (*file)->ReadAt(got, std::span(head).subspan(got));
    if (!read) return Fail(read.error());
    if (*read == 0) break;
    got += *read;
  }
  head.resize(got);
  return head;
}

bool Keepable(PictureKind kind) {
  return kind == PictureKind::Jpeg || kind == PictureKind::Png || kind == PictureKind::Gif;
}

}  // namespace

Result<PreparedPhoto> PreparePhoto(const std::string& path, IntSize maxSize,
                                   const std::string& scratchPath) {
  auto head = ReadHead(path);
  if (!head) return Fail(head.error());
  const auto header = ProbePicture(*head);
  if (!header) return Fail(Refused("not a JPEG, PNG, BMP, GIF or TIFF picture"));
  const IntSize declared = header->size;
  if (!IsAllowedBitmapSize(declared.width, declared.height)) {
    return Fail(Refused(std::string(PictureKindName(header->kind)) + " of " +
                        std::to_string(declared.width) + "x" + std::to_string(declared.height) +
                        ", more than the player shows (" +
                        std::to_string(limits::kMaxPicturePixels / 1000000) + " million pixels, " +
                        std::to_string(limits::kMaxPictureSide) + " a side)"));
  }

  // Black under transparent pixels, as the show draws them.
  FfmpegPictureDecoder decoder;
  auto image = decoder.DecodePicture(path, 0);
  if (!image) return Fail(image.error());

  PreparedPhoto photo;
  photo.kind = header->kind;
  photo.orientation = header->orientation;
  const IntSize upright = UprightSize(image->Extent(), header->orientation);
  photo.size = FitWithin(upright, maxSize);
  const bool turn = header->orientation != PictureOrientation::Upright;
  const bool shrink = photo.size != upright;
  if (!turn && !shrink && Keepable(header->kind)) {
    photo.path = path;
    return photo;
  }
  Image picture = turn ? StandUpright(*image, header->orientation) : std::move(*image);
  if (shrink) {
    auto smaller =
        ResampleImage(picture, photo.size.width, photo.size.height, ResampleFilter::Smooth);
    if (!smaller) return Fail(smaller.error());
    picture = std::move(*smaller);
  }
  if (auto written = EncodeJpeg(picture, kPhotoJpeg, scratchPath); !written) {
    return Fail(written.error());
  }
  photo.path = scratchPath;
  photo.rewritten = true;
  return photo;
}

}  // namespace vistel::pack
