#include "media/jpeg/jpeg_picture_decoder.hpp"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/input_limits.hpp"
#include "media/probe/picture_probe.hpp"

// libjpeg's header needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace vistel {

namespace {

// A progressive file has about ten scans; thousands of tiny ones would keep
// the decoder busy for minutes on a few kilobytes.
constexpr int kMaxScans = 256;
// Corrupt data is reported as a warning per damaged spot; past this many the
// file is noise, not a damaged photograph.
constexpr int kMaxWarnings = 1000;
// libjpeg's own buffers (a progressive picture keeps all its coefficients,
// 2 bytes each, per component): room for the largest picture the limits
// allow, not for more.
constexpr long kMaxLibjpegMemoryBytes = 3L * 2 * limits::kMaxPicturePixels + (32L << 20);

// Pixels are 0x00RRGGBB words: in memory B,G,R,X on a little-endian machine.
constexpr J_COLOR_SPACE kWordColorSpace =
    std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;

struct ErrorManager {
  jpeg_error_mgr pub{};
  std::jmp_buf jump{};
  int warnings = 0;
  char message[JMSG_LENGTH_MAX] = {};
};

// Fatal errors leave the decode by longjmp to the guarded call that began it.
[[noreturn]] void OnFatalError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (damaged data) are counted, never printed.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (++err->warnings > kMaxWarnings) {
    std::snprintf(err->message, sizeof err->message, "more than %d damaged spots", kMaxWarnings);
    std::longjmp(err->jump, 1);
  }
}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
    std::longjmp(err->jump, 1);
  }
}

// One decompression of bytes held in memory. Not movable: libjpeg keeps
// pointers into it.
struct JpegSession {
  explicit JpegSession(std::vector<unsigned char> file) : bytes(std::move(file)) {}
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;
  ~JpegSession() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }

  std::vector<unsigned char> bytes;
  jpeg_decompress_struct cinfo{};
  ErrorManager err;
  jpeg_progress_mgr progress{};
  bool created = false;
};

// The guarded steps. Each calls setjmp and holds no object with a
// destructor, so that a longjmp out of libjpeg skips nothing; false with
// err.message set on a fatal error.
bool ReadHeaderGuarded(JpegSession& s) {
  s.cinfo.err = jpeg_std_error(&s.err.pub);
  s.err.pub.error_exit = OnFatalError;
  s.err.pub.emit_message = OnMessage;
  if (setjmp(s.err.jump) != 0) return false;
  jpeg_create_decompress(&s.cinfo);
  s.created = true;
  s.cinfo.mem->max_memory_to_use = kMaxLibjpegMemoryBytes;
  s.progress.progress_monitor = OnProgress;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, s.bytes.data(), static_cast<unsigned long>(s.bytes.size()));
  jpeg_read_header(&s.cinfo, TRUE);
  return true;
}

bool ChooseScaleGuarded(JpegSession& s, int eighths) {
  if (setjmp(s.err.jump) != 0) return false;
  s.cinfo.scale_num = static_cast<unsigned int>(eighths);
  s.cinfo.scale_denom = 8;
  s.cinfo.out_color_space = kWordColorSpace;
  jpeg_calc_output_dimensions(&s.cinfo);
  return true;
}

// Decodes straight into the room `sink` gives, a batch of rows per call.
// False with err.message set on a fatal error; `delivered` counts the rows
// given.
bool SendRowsGuarded(JpegSession& s, PictureRowSink& sink, int& delivered) {
  if (setjmp(s.err.jump) != 0) return false;
  jpeg_start_decompress(&s.cinfo);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    Pixel* room[16];
    const int count = sink.NextRows(room);
    if (count < 1) {
      std::snprintf(s.err.message, sizeof s.err.message, "no room for its rows");
      return false;
    }
    JSAMPROW rows[16];
    for (int k = 0; k < count; ++k) rows[k] = reinterpret_cast<JSAMPROW>(room[k]);
    const auto got =
        static_cast<int>(jpeg_read_scanlines(&s.cinfo, rows, static_cast<JDIMENSION>(count)));
    sink.RowsDone(got);
    delivered += got;
    if (got == 0) break;
  }
  // Whatever follows the picture is not read: a damaged tail has no pixels.
  jpeg_abort_decompress(&s.cinfo);
  return true;
}

// The rows of a whole picture, in order, for a decode that keeps it whole.
// The unused top byte, which libjpeg sets, is cleared while the rows are in
// the cache; rows the data never reach stay black.
class WholePictureRows final : public PictureRowSink {
 public:
  explicit WholePictureRows(Image& image) : image_(image) {}
  Status Begin(IntSize, FloatSize) override {
    next_ = 0;
    return {};
  }
  int NextRows(std::span<Pixel*> rows) override {
    const int count = std::min(static_cast<int>(rows.size()), image_.Height() - next_);
    for (int k = 0; k < count; ++k) rows[static_cast<std::size_t>(k)] = image_.Row(next_ + k);
    return count;
  }
  void RowsDone(int count) override {
    for (int k = 0; k < count; ++k) {
      Pixel* row = image_.Row(next_ + k);
      for (int x = 0; x < image_.Width(); ++x) row[x] &= 0x00FFFFFFU;
    }
    next_ += count;
  }

 private:
  Image& image_;
  int next_ = 0;
};

Error PictureError(std::string_view path, std::string_view what) {
  return Error(ErrorCode::InvalidProcedureCall,
               "Cannot read the picture " + std::string(path) + ": " + std::string(what));
}

// The whole file, or nothing when it cannot be read or is over the cap.
std::optional<std::vector<unsigned char>> ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::vector<unsigned char> bytes;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && static_cast<unsigned long>(size) <= limits::kMaxMediaAllocationBytes &&
       std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fgetc(file) == EOF;
  }
  std::fclose(file);
  if (!ok) return std::nullopt;
  return bytes;
}

bool IsJpeg(const std::vector<unsigned char>& bytes) {
  const auto* data = reinterpret_cast<const std::byte*>(bytes.data());
  return SniffPictureKind({data, std::min<std::size_t>(bytes.size(), 16)}) == PictureKind::Jpeg;
}

// Colour models libjpeg-turbo turns into RGB itself; CMYK and YCCK are left
// to the fallback, whose conversion the show has always used.
bool IsRgbModel(J_COLOR_SPACE space) {
  return space == JCS_GRAYSCALE || space == JCS_YCbCr || space == JCS_RGB;
}

class JpegPicture final : public OpenedPicture {
 public:
  JpegPicture(std::unique_ptr<JpegSession> session, std::string path, Pixel backColor,
              PictureDecoder& fallback)
      : session_(std::move(session)),
        size_{static_cast<int>(session_->cinfo.image_width),
              static_cast<int>(session_->cinfo.image_height)},
        path_(std::move(path)),
        backColor_(backColor),
        fallback_(fallback) {}

  IntSize Size() const override { return size_; }

  Result<DecodedPixels> Decode(IntSize atLeast) override {
    if (!session_) return Fail(PictureError(path_, "decoded already"));
    auto image = DecodeScaled(atLeast);
    if (image) return image;
    return DecodeByFallback(image.error());
  }

  Status DecodeRows(IntSize atLeast, PictureRowSink& sink) override {
    if (!session_) return Fail(PictureError(path_, "decoded already"));
    auto extent = ChooseScale(atLeast);
    if (extent) {
      JpegSession& s = *session_;
      const IntSize scaled{static_cast<int>(s.cinfo.output_width),
                           static_cast<int>(s.cinfo.output_height)};
      if (auto ok = sink.Begin(scaled, *extent); !ok) return ok;
      int delivered = 0;
      if (SendRowsGuarded(s, sink, delivered)) {
        // Rows the data ended before stay black, as in Decode.
        for (int y = delivered; y < scaled.height;) {
          Pixel* room[16];
          const int count = std::min(sink.NextRows(room), scaled.height - y);
          if (count < 1) return Fail(PictureError(path_, "no room for its rows"));
          for (int k = 0; k < count; ++k) std::fill_n(room[k], scaled.width, Pixel{0});
          sink.RowsDone(count);
          y += count;
        }
        return {};
      }
      extent = Fail(PictureError(path_, s.err.message));
    }
    auto image = DecodeByFallback(extent.error());
    if (!image) return Fail(std::move(image.error()));
    return SendRows(image->image, image->extent, sink);
  }

 private:
  // Sets the scale for a target of `atLeast`; the extent the picture covers
  // of the pixels at that scale.
  Result<FloatSize> ChooseScale(IntSize atLeast) {
    JpegSession& s = *session_;
    const IntSize size = Size();
    const int eighths = JpegScaleEighths(size, atLeast);
    if (!ChooseScaleGuarded(s, eighths)) return Fail(PictureError(path_, s.err.message));
    const auto width = static_cast<int>(s.cinfo.output_width);
    const auto height = static_cast<int>(s.cinfo.output_height);
    // libjpeg rounds the scaled sides up; anything else is not this version.
    if (width != (size.width * eighths + 7) / 8 || height != (size.height * eighths + 7) / 8) {
      return Fail(PictureError(path_, "no picture at that scale"));
    }
    // Exact in single precision: sides are at most 2^14, eighths 2^3.
    return FloatSize{static_cast<float>(size.width * eighths) / 8.0F,
                     static_cast<float>(size.height * eighths) / 8.0F};
  }

  Result<DecodedPixels> DecodeScaled(IntSize atLeast) {
    auto extent = ChooseScale(atLeast);
    if (!extent) return Fail(std::move(extent.error()));
    JpegSession& s = *session_;
    DecodedPixels pixels{
        Image(static_cast<int>(s.cinfo.output_width), static_cast<int>(s.cinfo.output_height)),
        *extent};
    WholePictureRows rows(pixels.image);
    int delivered = 0;
    if (!SendRowsGuarded(s, rows, delivered)) return Fail(PictureError(path_, s.err.message));
    return pixels;
  }

  // A file libjpeg-turbo gave up on after its header goes whole to the
  // fallback, as long as the file still holds the bytes that were opened.
  Result<DecodedPixels> DecodeByFallback(const Error& why) {
    const auto now = ReadWholeFile(path_);
    if (!now || *now != session_->bytes) return Fail(why);
    session_.reset();
    auto image = fallback_.DecodePicture(path_, backColor_);
    if (!image) return Fail(std::move(image.error()));
    // The show has placed the picture by its header's size already; data of
    // another size (a second frame, a height the scan redefines) would not
    // fit that place.
    if (image->Extent() != size_) {
      return Fail(PictureError(
          path_, "its data make a picture of " + std::to_string(image->Width()) + "x" +
                     std::to_string(image->Height()) + ", its header says " +
                     std::to_string(size_.width) + "x" + std::to_string(size_.height)));
    }
    const FloatSize extent{static_cast<float>(image->Width()), static_cast<float>(image->Height())};
    return DecodedPixels{std::move(*image), extent};
  }

  std::unique_ptr<JpegSession> session_;
  IntSize size_;
  std::string path_;
  Pixel backColor_;
  PictureDecoder& fallback_;
};

}  // namespace

int JpegScaleEighths(IntSize picture, IntSize atLeast) {
  // The picture's own extent at the scale, not libjpeg's rounded-up
  // output, must cover the target: resampling then only ever shrinks.
  // libjpeg-turbo's inverse transforms are vectorised for these scales only;
  // at 3/8 and 5/8 to 7/8 its scalar ones cost more than decoding the next
  // of these larger and resampling from there (a 24-megapixel photograph at
  // 3/8 takes longer than at 1/2, at 5/8 to 7/8 longer than whole).
  for (const int eighths : {1, 2, 4}) {
    if (std::int64_t{picture.width} * eighths >= std::int64_t{atLeast.width} * 8 &&
        std::int64_t{picture.height} * eighths >= std::int64_t{atLeast.height} * 8) {
      return eighths;
    }
  }
  return 8;
}

Result<Image> JpegPictureDecoder::DecodePicture(std::string_view path, Pixel backColor) {
  auto picture = OpenPicture(path, backColor);
  if (!picture) return Fail(std::move(picture.error()));
  auto pixels = (*picture)->Decode((*picture)->Size());
  if (!pixels) return Fail(std::move(pixels.error()));
  return std::move(pixels->image);
}

Result<std::unique_ptr<OpenedPicture>> JpegPictureDecoder::OpenPicture(std::string_view path,
                                                                       Pixel backColor) {
  std::string name(path);
  auto bytes = ReadWholeFile(name);
  if (!bytes || !IsJpeg(*bytes)) return fallback_.OpenPicture(path, backColor);
  auto session = std::make_unique<JpegSession>(std::move(*bytes));
  if (!ReadHeaderGuarded(*session) || !IsRgbModel(session->cinfo.jpeg_color_space)) {
    session.reset();
    return fallback_.OpenPicture(path, backColor);
  }
  const auto& cinfo = session->cinfo;
  if (cinfo.image_width < 1 || cinfo.image_height < 1 ||
      cinfo.image_width > static_cast<unsigned>(limits::kMaxPictureSide) ||
      cinfo.image_height > static_cast<unsigned>(limits::kMaxPictureSide) ||
      std::int64_t{cinfo.image_width} * cinfo.image_height > limits::kMaxPicturePixels) {
    return Fail(PictureError(path, "over the picture size limits (" +
                                       std::to_string(cinfo.image_width) + "x" +
                                       std::to_string(cinfo.image_height) + ")"));
  }
  return std::make_unique<JpegPicture>(std::move(session), std::move(name), backColor, fallback_);
}

}  // namespace vistel
