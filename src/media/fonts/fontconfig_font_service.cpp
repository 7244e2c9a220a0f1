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

// Faces kept open for reuse; beyond this the oldest unused ones are closed.
constexpr std::size_t kMaxCachedFaces = 32;
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
  int TextWidthPixels(std::string_view utf8) const override { return face_->TextWidth(utf8); }
  void DrawText(Image& target, int x, int y, std::string_view utf8, Pixel color) const override {
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
  int TextWidthPixels(std::string_view) const override { return 0; }
  void DrawText(Image&, int, int, std::string_view, Pixel) const override {}

 private:
  int ascent_;
  int descent_;
};

}  // namespace

struct FontconfigFontService::Impl {
  using StyleKey = std::tuple<std::string, bool, bool>;  // face name, bold, italic
  using FaceKey = std::tuple<std::string, int, int, fonts::Synthesis>;

  FcConfig* config = nullptr;
  std::shared_ptr<fonts::FreeTypeLibrary> library = std::make_shared<fonts::FreeTypeLibrary>();
  std::map<StyleKey, ResolvedFace> resolved;
  std::map<FaceKey, std::shared_ptr<fonts::FreeTypeFace>> faces;

  Impl() : config(FcInitLoadConfigAndFonts()) {}
  ~Impl() {
    faces.clear();
    if (config != nullptr) FcConfigDestroy(config);
  }

  ResolvedFace Lookup(const FontRequest& request);
  void TrimCache();
};

ResolvedFace FontconfigFontService::Impl::Lookup(const FontRequest& request) {
  ResolvedFace result;
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
  // Faces that only the cache holds go first; those still in use stay open.
  for (auto it = faces.begin(); it != faces.end() && faces.size() > kMaxCachedFaces;) {
    it = it->second.use_count() == 1 ? faces.erase(it) : std::next(it);
  }
}

FontconfigFontService::FontconfigFontService() : impl_(std::make_unique<Impl>()) {}
FontconfigFontService::~FontconfigFontService() = default;

ResolvedFace FontconfigFontService::Resolve(const FontRequest& request) {
  Impl::StyleKey key{request.faceName, request.bold, request.italic};
  auto found = impl_->resolved.find(key);
  if (found != impl_->resolved.end()) return found->second;
  ResolvedFace face = impl_->Lookup(request);
  impl_->resolved.emplace(std::move(key), face);
  return face;
}

std::unique_ptr<Font> FontconfigFontService::OpenFont(const FontRequest& request) {
  const int em = EmPixels(request);
  const ResolvedFace resolved = Resolve(request);
  const auto synthesis = static_cast<fonts::Synthesis>((resolved.syntheticBold ? 1 : 0) |
                                                       (resolved.syntheticItalic ? 2 : 0));
  Impl::FaceKey key{resolved.file, resolved.index, em, synthesis};
  auto found = impl_->faces.find(key);
  if (found == impl_->faces.end()) {
    auto face =
        fonts::FreeTypeFace::Open(impl_->library, {resolved.file, resolved.index, em, synthesis});
    if (!face) return std::make_unique<BlankFont>(em);
    impl_->TrimCache();
    found = impl_->faces.emplace(std::move(key), std::move(face)).first;
  }
  return std::make_unique<FreeTypeFont>(found->second);
}

}  // namespace vistel
