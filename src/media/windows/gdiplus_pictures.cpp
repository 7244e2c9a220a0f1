#include "media/windows/gdiplus_pictures.hpp"

// In this order: each needs the ones before it.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>
// clang-format on

#include <cstdint>
#include <string>
#include <vector>

#include "base/input_limits.hpp"
#include "media/probe/picture_probe.hpp"
#include "media/probe/png_chunks.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

namespace flat = Gdiplus::DllExports;

Error PictureError(std::string_view path, std::string_view what) {
  return Error(ErrorCode::InvalidProcedureCall,
               "Cannot read the picture " + std::string(path) + ": " + std::string(what));
}

bool OverPictureLimits(std::int64_t width, std::int64_t height) {
  return width > limits::kMaxPictureSide || height > limits::kMaxPictureSide ||
         width * height > limits::kMaxPicturePixels;
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height) +
         " pixels is more than a show's pictures may hold";
}

// GDI+ is started once for the process and left running: pictures are
// decoded until the program ends.
bool GdiplusReady() {
  static const bool ready = [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return ready;
}

Result<std::vector<std::byte>> ReadWhole(std::string_view path) {
  auto file = MakeNativeFileSystem()->OpenRead(path);
  if (!file) {
    if (file.error().code == ErrorCode::FileNotFound) return Fail(file.error());
    return Fail(PictureError(path, file.error().description));
  }
  const std::uint64_t size = (*file)->Size();
  if (size > limits::kMaxMediaAllocationBytes) {
    return Fail(PictureError(path, "the file is larger than a picture may be"));
  }
  std::vector<std::byte> bytes(static_cast<std::size_t>(size));
  auto got = (*file)->ReadAt(0, bytes);
  if (!got || *got != bytes.size()) return Fail(PictureError(path, "the file cannot be read"));
  return bytes;
}

// One bitmap, disposed of with this object.
class Bitmap {
 public:
  ~Bitmap() {
    if (bitmap_ != nullptr) flat::GdipDisposeImage(bitmap_);
  }
  Gdiplus::GpBitmap** Out() { return &bitmap_; }
  Gdiplus::GpBitmap* Get() const { return bitmap_; }

 private:
  Gdiplus::GpBitmap* bitmap_ = nullptr;
};

// Straight alpha over the background, rounded.
Pixel Over(std::uint32_t argb, Pixel back) {
  const std::uint32_t alpha = argb >> 24U;
  if (alpha == 255) return argb & 0xFFFFFFU;
  auto mix = [alpha](std::uint32_t front, std::uint32_t behind) {
    return (front * alpha + behind * (255U - alpha) + 127U) / 255U;
  };
  return MakePixel(mix((argb >> 16U) & 0xFFU, PixelRed(back)),
                   mix((argb >> 8U) & 0xFFU, PixelGreen(back)), mix(argb & 0xFFU, PixelBlue(back)));
}

}  // namespace

Result<Image> GdiplusPictureDecoder::DecodePicture(std::string_view path, Pixel backColor) {
  auto bytes = ReadWhole(path);
  if (!bytes) return Fail(bytes.error());
  const auto header = ProbePicture(*bytes);
  if (!header) return Fail(PictureError(path, "not a picture"));
  if (OverPictureLimits(header->size.width, header->size.height)) {
    return Fail(PictureError(path, SizeText(header->size.width, header->size.height)));
  }
  if (header->kind == PictureKind::Png) {
    const auto hidden = FindInflatingPngChunks(*bytes);
    HidePngChunks(hidden, 0, {reinterpret_cast<std::uint8_t*>(bytes->data()), bytes->size()});
  }
  if (!GdiplusReady()) return Fail(PictureError(path, "GDI+ cannot be started"));

  IStream* stream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes->data()),
                                        static_cast<UINT>(bytes->size()));
  if (stream == nullptr) throw std::bad_alloc();
  Bitmap bitmap;
  const auto created = flat::GdipCreateBitmapFromStream(stream, bitmap.Out());
  stream->Release();
  if (created != Gdiplus::Ok || bitmap.Get() == nullptr) {
    return Fail(PictureError(path, "the picture's data cannot be decoded"));
  }
  UINT width = 0;
  UINT height = 0;
  flat::GdipGetImageWidth(bitmap.Get(), &width);
  flat::GdipGetImageHeight(bitmap.Get(), &height);
  if (width == 0 || height == 0) return Fail(PictureError(path, "the picture has no pixels"));
  if (OverPictureLimits(width, height)) return Fail(PictureError(path, SizeText(width, height)));

  const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData data{};
  if (flat::GdipBitmapLockBits(bitmap.Get(), &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                               &data) != Gdiplus::Ok) {
    return Fail(PictureError(path, "the picture's data cannot be decoded"));
  }
  Image image(static_cast<int>(width), static_cast<int>(height));
  for (int y = 0; y < image.Height(); ++y) {
    const auto* in = reinterpret_cast<const std::uint32_t*>(
        static_cast<const std::byte*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride);
    Pixel* out = image.Row(y);
    for (int x = 0; x < image.Width(); ++x) out[x] = Over(in[x], backColor);
  }
  flat::GdipBitmapUnlockBits(bitmap.Get(), &data);
  return image;
}

}  // namespace vistel
