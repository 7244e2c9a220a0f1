#include "media/fonts/freetype_face.hpp"

#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "media/fonts/coverage.hpp"

namespace vistel::fonts {
namespace {

// The slant of a synthesised oblique: tan(12 degrees) in 16.16, the angle
// renderers commonly use when a family has no italic.
constexpr FT_Fixed kObliqueShear = 0x0366A;

// Whole pixels from a FreeType 26.6 value, rounded to nearest.
int RoundPixels(FT_Pos value26_6) {
  return static_cast<int>((value26_6 + 32) >> 6);
}

// Design units scaled to the em, rounded to whole pixels.
int ScaleToPixels(long units, int emPixels, int unitsPerEm) {
  const long long scaled = static_cast<long long>(units) * emPixels;
  const long long half = unitsPerEm / 2;
  return static_cast<int>((scaled + half) / unitsPerEm);
}

// Glyph metrics kept per face before they are forgotten and measured anew.
constexpr std::size_t kMaxMetrics = 4096;

bool HasSynthesis(Synthesis all, Synthesis one) {
  return (static_cast<unsigned>(all) & static_cast<unsigned>(one)) != 0;
}

}  // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  constexpr char32_t kReplacement = 0xFFFD;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1FU, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0FU, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07U, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (text.size() - pos <= static_cast<std::size_t>(extra)) {
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned next = byte(pos + static_cast<std::size_t>(i));
    if ((next & 0xC0U) != 0x80U) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (next & 0x3FU);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return cp;
}

FreeTypeLibrary::FreeTypeLibrary() {
  if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
}

FreeTypeLibrary::~FreeTypeLibrary() {
  if (library_ != nullptr) FT_Done_FreeType(library_);
}

std::shared_ptr<FreeTypeFace> FreeTypeFace::Open(std::shared_ptr<FreeTypeLibrary> library,
                                                 std::shared_ptr<GlyphCache> cache,
                                                 const FaceRecipe& recipe) {
  if (!library || library->Handle() == nullptr || !cache || recipe.file.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library->Handle(), recipe.file.c_str(), recipe.index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face) ||
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(recipe.emPixels, 1))) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  return std::shared_ptr<FreeTypeFace>(
      new FreeTypeFace(std::move(library), std::move(cache), face, recipe));
}

FreeTypeFace::FreeTypeFace(std::shared_ptr<FreeTypeLibrary> library,
                           std::shared_ptr<GlyphCache> cache, FT_Face face,
                           const FaceRecipe& recipe)
    : library_(std::move(library)),
      cache_(std::move(cache)),
      cacheId_(cache_->NewFaceId()),
      face_(face),
      synthesis_(recipe.synthesis),
      kerning_(FT_HAS_KERNING(face)) {
  const int em = std::max(recipe.emPixels, 1);
  const int unitsPerEm = std::max<int>(face->units_per_EM, 1);
  long ascentUnits = face->ascender;
  long descentUnits = -face->descender;
  // The Windows metrics are what a Windows text metric reports, and what the
  // metric-compatible faces match exactly.
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFFU && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
  }
  ascent_ = std::max(ScaleToPixels(ascentUnits, em, unitsPerEm), 0);
  descent_ = std::max(ScaleToPixels(descentUnits, em, unitsPerEm), 0);
  if (ascent_ + descent_ == 0) ascent_ = em;
  // A 24th of the em, at least one pixel, in whole pixels so that advances
  // stay whole.
  emboldenStrength_ = std::max(1, (em + 12) / 24) * 64;
}

FreeTypeFace::~FreeTypeFace() {
  cache_->DropFace(cacheId_);
  if (face_ != nullptr) FT_Done_Face(face_);
}

bool FreeTypeFace::LoadStyled(FT_UInt index) {
  if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0) return false;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (HasSynthesis(synthesis_, Synthesis::Bold)) {
      FT_Outline_EmboldenXY(&slot->outline, emboldenStrength_, 0);
    }
    if (HasSynthesis(synthesis_, Synthesis::Oblique)) {
      FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
  }
  return true;
}

const FreeTypeFace::Metrics& FreeTypeFace::MetricsFor(char32_t codePoint) {
  auto found = metrics_.find(codePoint);
  if (found != metrics_.end()) return found->second;
  // Captions come in a single-byte code page, so this holds a few hundred
  // entries; other text cannot make it grow without end.
  if (metrics_.size() >= kMaxMetrics) metrics_.clear();
  Metrics metrics;
  metrics.index = FT_Get_Char_Index(face_, codePoint);
  if (LoadStyled(metrics.index)) {
    const FT_GlyphSlot slot = face_->glyph;
    metrics.advance = RoundPixels(slot->advance.x);
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
      // No outline to bound: the ink may be anywhere on the line.
      metrics.inked = true;
      metrics.inkLeft = metrics.inkBottom = std::numeric_limits<int>::min() / 4;
      metrics.inkRight = metrics.inkTop = std::numeric_limits<int>::max() / 4;
    } else {
      if (HasSynthesis(synthesis_, Synthesis::Bold)) metrics.advance += emboldenStrength_ / 64;
      if (slot->outline.n_points > 0) {
        // The rendered bitmap lies within the control box rounded out to
        // whole pixels; one pixel more each way keeps rounding on the safe
        // side.
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        metrics.inked = true;
        metrics.inkLeft = static_cast<int>(box.xMin >> 6) - 1;
        metrics.inkBottom = static_cast<int>(box.yMin >> 6) - 1;
        metrics.inkRight = static_cast<int>((box.xMax + 63) >> 6) + 1;
        metrics.inkTop = static_cast<int>((box.yMax + 63) >> 6) + 1;
      }
    }
  }
  return metrics_.emplace(codePoint, metrics).first->second;
}

GlyphBitmap FreeTypeFace::Render(FT_UInt index) {
  GlyphBitmap glyph;
  if (!LoadStyled(index)) return glyph;
  FT_GlyphSlot slot = face_->glyph;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.buffer == nullptr) return glyph;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  const std::size_t width = bitmap.width;
  glyph.coverage.resize(width * bitmap.rows);
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    std::copy_n(source, width, glyph.coverage.begin() + static_cast<std::ptrdiff_t>(row * width));
  }
  // Grey levels may be fewer than 256; spread them so that full coverage
  // draws exactly the text colour.
  if (bitmap.num_grays > 1 && bitmap.num_grays != 256) {
    const unsigned top = bitmap.num_grays - 1U;
    for (auto& a : glyph.coverage) a = static_cast<std::uint8_t>((a * 255U + top / 2) / top);
  }
  return glyph;
}

int FreeTypeFace::Kerning(FT_UInt left, FT_UInt right) const {
  if (!kerning_ || left == 0 || right == 0) return 0;
  FT_Vector delta{0, 0};
  if (FT_Get_Kerning(face_, left, right, FT_KERNING_DEFAULT, &delta) != 0) return 0;
  return RoundPixels(delta.x);
}

template <class Visit>
std::int64_t FreeTypeFace::Layout(std::string_view utf8, Visit&& visit) {
  std::int64_t pen = 0;
  FT_UInt previous = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const Metrics& glyph = MetricsFor(NextCodePoint(utf8, pos));
    pen += Kerning(previous, glyph.index);
    visit(glyph, pen);
    pen += glyph.advance;
    previous = glyph.index;
  }
  return pen;
}

std::int64_t FreeTypeFace::TextWidth(std::string_view utf8) {
  return Layout(utf8, [](const Metrics&, std::int64_t) {});
}

void FreeTypeFace::Draw(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                        Pixel color) {
  const std::int64_t width = target.Width(), height = target.Height();
  const std::int64_t baseline = y + ascent_;
  if (width == 0 || height == 0) return;
  GlyphBitmap uncached;
  Layout(utf8, [&](const Metrics& metrics, std::int64_t pen) {
    // A glyph whose ink cannot reach the target is never rendered.
    const std::int64_t penX = x + pen;
    if (!metrics.inked || penX + metrics.inkRight <= 0 || penX + metrics.inkLeft >= width ||
        baseline - metrics.inkBottom <= 0 || baseline - metrics.inkTop >= height) {
      return;
    }
    const GlyphBitmap* glyph = cache_->Find(cacheId_, metrics.index);
    if (glyph == nullptr) {
      uncached = Render(metrics.index);
      glyph = cache_->Insert(cacheId_, metrics.index, std::move(uncached));
      if (glyph == nullptr) glyph = &uncached;
    }
    const std::int64_t left = penX + glyph->left;
    const std::int64_t top = baseline - glyph->top;
    // Both within [0, glyph size], so the narrowing is exact.
    const auto firstRow = static_cast<int>(std::clamp<std::int64_t>(-top, 0, glyph->rows));
    const auto lastRow = static_cast<int>(std::clamp<std::int64_t>(height - top, 0, glyph->rows));
    const auto firstColumn = static_cast<int>(std::clamp<std::int64_t>(-left, 0, glyph->width));
    const auto lastColumn =
        static_cast<int>(std::clamp<std::int64_t>(width - left, 0, glyph->width));
    for (int row = firstRow; row < lastRow; ++row) {
      const std::uint8_t* coverage =
          glyph->coverage.data() + static_cast<std::ptrdiff_t>(row) * glyph->width;
      Pixel* out = target.Row(static_cast<int>(top + row));
      for (int column = firstColumn; column < lastColumn; ++column) {
        const std::uint8_t a = coverage[column];
        if (a != 0) out[left + column] = BlendCoverage(out[left + column], color, a);
      }
    }
  });
}

}  // namespace vistel::fonts
