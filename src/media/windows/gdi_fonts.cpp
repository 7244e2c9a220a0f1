#include "media/windows/gdi_fonts.hpp"

#include <windows.h>
#undef DrawText  // the Font member, not the user32 call

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

// GDI measures at most this many characters in one call (its extents are ints).
constexpr std::size_t kMeasureChunk = 4096;

std::wstring WideText(std::string_view utf8) {
  return win32::WideFromUtf8(utf8).value_or(std::wstring());
}

// A run never ends between the two halves of a surrogate pair.
std::size_t ChunkEnd(std::wstring_view text, std::size_t begin) {
  std::size_t end = std::min(text.size(), begin + kMeasureChunk);
  if (end < text.size() && end > begin + 1 && IS_HIGH_SURROGATE(text[end - 1])) --end;
  return end;
}

class GdiFont final : public Font {
 public:
  GdiFont(HFONT font, HDC dc) : font_(font), dc_(dc) {
    previous_ = ::SelectObject(dc_, font_);
    TEXTMETRICW metrics{};
    if (::GetTextMetricsW(dc_, &metrics)) {
      lineHeight_ = metrics.tmHeight;
      ascent_ = metrics.tmAscent;
      overhang_ = std::max<LONG>(metrics.tmMaxCharWidth, metrics.tmHeight / 2) + metrics.tmOverhang;
    }
  }
  ~GdiFont() override {
    ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
    ::DeleteObject(font_);
  }
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  int LineHeightPixels() const override { return lineHeight_; }
  int AscentPixels() const override { return ascent_; }

  std::int64_t TextWidthPixels(std::string_view utf8) const override {
    return Width(WideText(utf8));
  }

  void DrawText(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                Pixel color) const override {
    if (target.IsEmpty() || lineHeight_ <= 0) return;
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t bottom = std::min<std::int64_t>(y + lineHeight_, target.Height());
    if (top >= bottom) return;
    const std::wstring text = WideText(utf8);
    // The characters whose cells reach the target, give or take an overhang.
    const auto visible = VisibleRun(text, x, target.Width());
    if (visible.begin >= visible.end) return;
    const std::int64_t runX = x + visible.offset;  // where the run starts on the target
    const std::int64_t left = std::max<std::int64_t>(runX - overhang_, 0);
    const std::int64_t right = std::min<std::int64_t>(
        runX + Width(std::wstring_view(text).substr(visible.begin, visible.end - visible.begin)) +
            overhang_,
        target.Width());
    if (left >= right) return;
    const int width = static_cast<int>(right - left);
    const int height = static_cast<int>(bottom - top);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return;
    HGDIOBJ before = ::SelectObject(dc_, bitmap);
    std::fill_n(static_cast<std::uint32_t*>(bits),
                static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0U);
    ::SetBkMode(dc_, TRANSPARENT);
    ::SetTextColor(dc_, RGB(255, 255, 255));
    ::SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    // The scratch bitmap starts at (left, top) on the target.
    const int penX = static_cast<int>(runX - left);
    const int penY = static_cast<int>(y - top);
    for (std::size_t begin = visible.begin, pen = 0; begin < visible.end;) {
      const std::size_t end = std::min(ChunkEnd(text, begin), visible.end);
      const auto run = std::wstring_view(text).substr(begin, end - begin);
      ::TextOutW(dc_, penX + static_cast<int>(pen), penY, run.data(), static_cast<int>(run.size()));
      pen += static_cast<std::size_t>(Width(run));
      begin = end;
    }
    ::GdiFlush();
    Blend(static_cast<const std::uint32_t*>(bits), width, height, target, static_cast<int>(left),
          static_cast<int>(top), color);
    ::SelectObject(dc_, before);
    ::DeleteObject(bitmap);
  }

 private:
  struct Run {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::int64_t offset = 0;  // pen position of `begin` from the line's start
  };

  std::int64_t Width(std::wstring_view text) const {
    std::int64_t width = 0;
    for (std::size_t begin = 0; begin < text.size();) {
      const std::size_t end = ChunkEnd(text, begin);
      SIZE size{};
      if (::GetTextExtentPoint32W(dc_, text.data() + begin, static_cast<int>(end - begin), &size)) {
        width += size.cx;
      }
      begin = end;
    }
    return width;
  }

  // Characters from the first whose cell ends right of the target's left
  // edge (less an overhang) to the last that starts left of its right edge.
  Run VisibleRun(std::wstring_view text, std::int64_t x, int targetWidth) const {
    Run run{text.size(), text.size(), 0};
    std::int64_t pen = x;
    std::vector<INT> extents;
    for (std::size_t begin = 0; begin < text.size();) {
      const std::size_t end = ChunkEnd(text, begin);
      const int count = static_cast<int>(end - begin);
      extents.assign(static_cast<std::size_t>(count), 0);
      SIZE size{};
      if (!::GetTextExtentExPointW(dc_, text.data() + begin, count, 0, nullptr, extents.data(),
                                   &size)) {
        break;
      }
      for (int i = 0; i < count; ++i) {
        const std::int64_t cellLeft = pen + (i == 0 ? 0 : extents[static_cast<std::size_t>(i) - 1]);
        const std::int64_t cellRight = pen + extents[static_cast<std::size_t>(i)];
        const std::size_t index = begin + static_cast<std::size_t>(i);
        if (run.begin == text.size() && cellRight + overhang_ > 0) {
          run.begin = index;
          run.offset = cellLeft - x;
        }
        if (cellLeft - overhang_ >= targetWidth) {
          run.end = index;
          return run;
        }
      }
      pen += size.cx;
      begin = end;
    }
    return run;
  }

  // The white text's grey level is its coverage.
  static void Blend(const std::uint32_t* coverage, int width, int height, Image& target, int left,
                    int top, Pixel color) {
    const unsigned red = PixelRed(color);
    const unsigned green = PixelGreen(color);
    const unsigned blue = PixelBlue(color);
    auto mix = [](unsigned from, unsigned to, unsigned alpha) {
      return (from * (255U - alpha) + to * alpha + 127U) / 255U;
    };
    for (int row = 0; row < height; ++row) {
      Pixel* out = target.Row(top + row) + left;
      const std::uint32_t* in =
          coverage + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
      for (int column = 0; column < width; ++column) {
        const std::uint32_t sample = in[column];
        // Grey-scale anti-aliasing gives equal channels; take their mean in
        // case a system draws sub-pixel coverage anyway.
        const unsigned alpha =
            ((sample & 0xFFU) + ((sample >> 8U) & 0xFFU) + ((sample >> 16U) & 0xFFU) + 1U) / 3U;
        if (alpha == 0) continue;
        const Pixel under = out[column];
        out[column] =
            MakePixel(mix(PixelRed(under), red, alpha), mix(PixelGreen(under), green, alpha),
                      mix(PixelBlue(under), blue, alpha));
      }
    }
  }

  HFONT font_;
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
  int lineHeight_ = 0;
  int ascent_ = 0;
  std::int64_t overhang_ = 0;
};

}  // namespace

std::unique_ptr<Font> GdiFontService::OpenFont(const FontRequest& request) {
  // Windows' rule for a size in points: the em is points x ppi / 72 pixels,
  // asked for as a negative height (character height, not cell height).
  const double pixels =
      std::clamp(std::round(static_cast<double>(request.sizePoints) * request.pixelsPerInch / 72.0),
                 1.0, 16384.0);
  // The face name is Windows-1252 in the package; LOGFONT holds 31 characters.
  std::wstring face = WideText(Windows1252ToUtf8(request.faceName));
  face.resize(std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  LOGFONTW logFont{};
  logFont.lfHeight = -static_cast<LONG>(pixels);
  logFont.lfWeight = request.bold ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = request.italic ? TRUE : FALSE;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfOutPrecision = OUT_TT_PRECIS;
  logFont.lfQuality = ANTIALIASED_QUALITY;
  std::copy(face.begin(), face.end(), logFont.lfFaceName);
  HFONT font = ::CreateFontIndirectW(&logFont);
  if (font == nullptr) {
    // The stock GUI font stands in, so that a caption still shows.
    logFont = LOGFONTW{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    logFont.lfHeight = -static_cast<LONG>(pixels);
    logFont.lfQuality = ANTIALIASED_QUALITY;
    font = ::CreateFontIndirectW(&logFont);
  }
  HDC dc = ::CreateCompatibleDC(nullptr);
  return std::make_unique<GdiFont>(font, dc);
}

}  // namespace vistel
