#include "media/fonts/fontconfig_font_service.hpp"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

#include "base/text.hpp"
#include "media/fonts/freetype_face.hpp"

namespace vistel {
namespace {

// Faces kept open for reuse (each holds a file and its tables; their glyphs
// are in the shared cache); beyond this the least recently opened unused ones
// are closed.
constexpr std::size_t kMaxOpenFaces = 32;
// Face names resolved through fontconfig, remembered up to this many.
constexpr std::size_t kMaxResolvedStyles = 1024;
// Windows accepts font sizes up to 2160 points; beyond that (at 96 ppi) a
// size only costs memory.
constexpr int kMaxEmPixels = 2880;

// The em in whole pixels, as the window system turns points into a font
// height (MulDiv rounds half away from zero).
int EmPixels(const FontRequest& request) {
  const double em =
      static_cast<double>(request.sizePoints) * static_cast<double>(request.pixelsPerInch) / 72.0;
  if (!std::isfinite(em) || em < 1.0) return 1;
  if (em > kMaxEmPixels) return kMaxEmPixels;
  return static_cast<int>(std::lround(em));
}

class FreeTypeFont final : public Font {
 public:
  explicit FreeTypeFont(std::shared_ptr<fonts::FreeTypeFace> face) : face_(std::move(face)) {}
  int LineHeightPixels() const override { return face_->LineHeight(); }
  int AscentPixels() const override { return face_->Ascent(); }
  std::int64_t TextWidthPixels(std::string_view utf8) const override {
    return face_->TextWidth(utf8);
  }
  void DrawText(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                Pixel color) const override {
    face_->Draw(target, x, y, utf8, color);
  }

 private:
  std::shared_ptr<fonts::FreeTypeFace> face_;  // shared with the service's cache
};

// A system without a single usable font still sizes lines sensibly (with the
// proportions of a common sans-serif face); text has no width and no ink.
class BlankFont final : public Font {
 public:
  explicit BlankFont(int emPixels)
      : ascent_(static_cast<int>(std::lround(emPixels * 0.905))),
        descent_(static_cast<int>(std::lround(emPixels * 0.212))) {}
  int LineHeightPixels() const override { return ascent_ + descent_; }
  int AscentPixels() const override { return ascent_; }
  std::int64_t TextWidthPixels(std::string_view) const override { return 0; }
  void DrawText(Image&, std::int64_t, std::int64_t, std::string_view, Pixel) const override {}

 private:
  int ascent_;
  int descent_;
};

}  // namespace

struct FontconfigFontService::Impl {
  using StyleKey = std::tuple<std::string, bool, bool>;  // face name, bold, italic
  using FaceKey = std::tuple<std::string, int, int, fonts::Synthesis>;

  struct OpenFace {
    std::shared_ptr<fonts::FreeTypeFace> face;
    std::uint64_t lastOpened = 0;
  };

  // Loaded at the first lookup: reading the configuration and the font
  // cache costs milliseconds that a show without captions, and the first
  // frame of any show, need not wait for.
  FcConfig* config = nullptr;
  bool configTried = false;
  std::shared_ptr<fonts::FreeTypeLibrary> library = std::make_shared<fonts::FreeTypeLibrary>();
  std::shared_ptr<fonts::GlyphCache> glyphs;
  std::map<StyleKey, ResolvedFace> resolved;
  std::map<FaceKey, OpenFace> faces;
  std::uint64_t opens = 0;

  explicit Impl(std::size_t glyphCacheBytes)
      : glyphs(std::make_shared<fonts::GlyphCache>(glyphCacheBytes)) {}
  ~Impl() {
    faces.clear();
    if (config != nullptr) FcConfigDestroy(config);
  }

  ResolvedFace Lookup(const FontRequest& request);
  void TrimCache();
};

ResolvedFace FontconfigFontService::Impl::Lookup(const FontRequest& request) {
  ResolvedFace result;
  if (!configTried) {
    configTried = true;
    config = FcInitLoadConfigAndFonts();
  }
  if (config == nullptr) return result;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return result;
  // The name goes in as a literal family (never parsed as a pattern text).
  const std::string family = Windows1252ToUtf8(request.faceName);
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult matchResult = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &matchResult);
  FcPatternDestroy(pattern);
  if (match == nullptr) return result;

  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
    result.file = reinterpret_cast<const char*>(file);
  }
  int index = 0;
  if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
  FcChar8* matchedFamily = nullptr;
  if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
      matchedFamily != nullptr) {
    result.family = reinterpret_cast<const char*>(matchedFamily);
  }
  FcPatternDestroy(match);
  // The match carries what the configuration's synthesis rules made of the
  // face (a regular face asked for bold reads as bold); the face's own
  // pattern says what it really is.
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  if (!result.file.empty()) {
    int count = 0;
    FcPattern* own = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(result.file.c_str()),
                                     static_cast<unsigned>(result.index), nullptr, &count);
    if (own != nullptr) {
      FcPatternGetInteger(own, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(own, FC_SLANT, 0, &slant);
      FcPatternDestroy(own);
    }
  }
  result.syntheticBold = request.bold && weight < FC_WEIGHT_DEMIBOLD;
  result.syntheticItalic = request.italic && slant == FC_SLANT_ROMAN;
  return result;
}

void FontconfigFontService::Impl::TrimCache() {
  // Makes room for one more. The least recently opened face that only the
  // cache holds goes first; faces still in use by a Font stay open.
  while (faces.size() >= kMaxOpenFaces) {
    auto oldest = faces.end();
    for (auto it = faces.begin(); it != faces.end(); ++it) {
      if (it->second.face.use_count() == 1 &&
          (oldest == faces.end() || it->second.lastOpened < oldest->second.lastOpened)) {
        oldest = it;
      }
    }
    if (oldest == faces.end()) return;
    faces.erase(oldest);
  }
}

FontconfigFontService::FontconfigFontService(std::size_t glyphCacheBytes)
    : impl_(std::make_unique<Impl>(glyphCacheBytes)) {}
FontconfigFontService::~FontconfigFontService() = default;

ResolvedFace FontconfigFontService::Resolve(const FontRequest& request) {
  Impl::StyleKey key{request.faceName, request.bold, request.italic};
  auto found = impl_->resolved.find(key);
  if (found != impl_->resolved.end()) return found->second;
  ResolvedFace face = impl_->Lookup(request);
  // A show may name any number of faces; looking one up again is cheap.
  if (impl_->resolved.size() >= kMaxResolvedStyles) impl_->resolved.clear();
  impl_->resolved.emplace(std::move(key), face);
  return face;
}

GlyphCacheUse FontconfigFontService::GlyphCacheInUse() const {
  return {impl_->glyphs->Bytes(), impl_->glyphs->Glyphs()};
}

std::unique_ptr<Font> FontconfigFontService::OpenFont(const FontRequest& request) {
  const int em = EmPixels(request);
  const ResolvedFace resolved = Resolve(request);
  const auto synthesis = static_cast<fonts::Synthesis>((resolved.syntheticBold ? 1 : 0) |
                                                       (resolved.syntheticItalic ? 2 : 0));
  Impl::FaceKey key{resolved.file, resolved.index, em, synthesis};
  auto found = impl_->faces.find(key);
  if (found == impl_->faces.end()) {
    auto face = fonts::FreeTypeFace::Open(impl_->library, impl_->glyphs,
                                          {resolved.file, resolved.index, em, synthesis});
    if (!face) return std::make_unique<BlankFont>(em);
    impl_->TrimCache();
    found = impl_->faces.emplace(std::move(key), Impl::OpenFace{std::move(face)}).first;
  }
  found->second.lastOpened = ++impl_->opens;
  return std::make_unique<FreeTypeFont>(found->second.face);
}

}  // namespace vistel
