#include "package/slideshow.hpp"

#include <algorithm>
#include <random>

#include "base/text.hpp"
#include "package/show_description.hpp"

namespace vistel {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Sort weight of one non-digit byte: "/" lowest, letters folded.
int Weight(char c) {
  if (c == '/') return -1;
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return static_cast<unsigned char>(c);
}

int CompareNatural(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare the runs by value: without leading zeros, the longer is
      // larger, and runs of one length compare digit by digit.
      std::size_t endA = i;
      std::size_t endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      std::size_t startA = i;
      std::size_t startB = j;
      while (startA + 1 < endA && a[startA] == '0') ++startA;
      while (startB + 1 < endB && b[startB] == '0') ++startB;
      const std::size_t lengthA = endA - startA;
      const std::size_t lengthB = endB - startB;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      if (const int c = a.substr(startA, lengthA).compare(b.substr(startB, lengthB)); c != 0) {
        return c < 0 ? -1 : 1;
      }
      i = endA;
      j = endB;
      continue;
    }
    const int wa = Weight(a[i]);
    const int wb = Weight(b[j]);
    if (wa != wb) return wa < wb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return 0;
}

// A uniform draw from [0, bound) without the bias of a plain modulo.
std::uint64_t Below(std::mt19937_64& generator, std::uint64_t bound) {
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
  std::uint64_t value = 0;
  do {
    value = generator();
  } while (value >= limit);
  return value % bound;
}

constexpr std::int32_t kBlack = 0;
constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int16_t kPlainRepaint = 1000;
constexpr std::int16_t kCrossFade = -100;
constexpr std::int16_t kSmoothEasing = 1;
constexpr std::int16_t kRandomEffectMs = 1500;
constexpr std::int32_t kCaptionAtBottomCentre = 4;
constexpr std::int16_t kCaptionPoints = 14;

}  // namespace

bool NaturallyBefore(std::string_view a, std::string_view b) {
  const int c = CompareNatural(a, b);
  return c != 0 ? c < 0 : a < b;
}

std::string Windows1252Approximation(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t cp = 0;
    const std::size_t length = Utf8SequenceLength(text, at, cp);
    if (length == 0) {
      out += '?';
      ++at;
      continue;
    }
    const std::string_view sequence = text.substr(at, length);
    at += length;
    if (cp >= 0x300 && cp <= 0x36F) continue;  // a combining accent
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
      out += ' ';
    } else if (cp == 0xFF) {
      out += 'y';
    } else if (auto converted = Utf8ToWindows1252(sequence)) {
      out += *converted;
    } else {
      out += '?';
    }
  }
  return out;
}

std::string CaptionFromFileName(std::string_view fileName) {
  if (const std::size_t dot = fileName.rfind('.'); dot != std::string_view::npos && dot > 0) {
    fileName = fileName.substr(0, dot);
  }
  std::string caption;
  for (const char c : Windows1252Approximation(fileName)) {
    const char shown = c == '_' || c == '-' ? ' ' : c;
    if (shown == ' ' && (caption.empty() || caption.back() == ' ')) continue;
    caption += shown;
  }
  if (!caption.empty() && caption.back() == ' ') caption.pop_back();
  return caption;
}

IntSize FitWithin(IntSize picture, IntSize box) {
  if (picture.width <= box.width && picture.height <= box.height) return picture;
  const std::int64_t pw = picture.width;
  const std::int64_t ph = picture.height;
  const std::int64_t bw = box.width;
  const std::int64_t bh = box.height;
  IntSize fitted;
  // Wider than the box's shape: the width is the limit, else the height.
  if (pw * bh >= ph * bw) {
    fitted = {box.width, static_cast<int>((2 * ph * bw + pw) / (2 * pw))};
  } else {
    fitted = {static_cast<int>((2 * pw * bh + ph) / (2 * ph)), box.height};
  }
  fitted.width = std::clamp(fitted.width, 1, box.width);
  fitted.height = std::clamp(fitted.height, 1, box.height);
  return fitted;
}

void OrderSlides(std::vector<SlideCandidate>& slides, SlideOrder order, std::uint64_t seed) {
  const auto byName = [](const SlideCandidate& a, const SlideCandidate& b) {
    return NaturallyBefore(a.relativePath, b.relativePath);
  };
  std::sort(slides.begin(), slides.end(), byName);
  switch (order) {
    case SlideOrder::Name:
      return;
    case SlideOrder::Date:
      std::stable_sort(slides.begin(), slides.end(),
                       [](const SlideCandidate& a, const SlideCandidate& b) {
                         return a.takenSeconds < b.takenSeconds;
                       });
      return;
    case SlideOrder::Shuffle: {
      // Fisher-Yates over the name order, so the result depends on the seed
      // and the set of photos alone, not on the order the folder listed them.
      std::mt19937_64 generator(seed);
      for (std::size_t i = slides.size(); i > 1; --i) {
        std::swap(slides[i - 1], slides[Below(generator, i)]);
      }
      return;
    }
  }
}

PackagePlan SlideshowPlan(const std::vector<Slide>& slides, const std::vector<std::string>& tracks,
                          const SlideshowStyle& style) {
  PackagePlan plan;
  GlobalSettings& global = plan.package.Global;
  global.SaverTitle = style.title;
  global.RandomEffects = style.effects == SlideEffects::Random;
  global.RepeatAudio = true;
  for (const Slide& slide : slides) {
    ScreenSettings s = DefaultScreenSettings();
    s.ScreenKind = 0;
    s.BackgroundColor = kBlack;
    s.ImageBackColor = kBlack;  // under transparent pixels
    s.ImageSizing = kSlideSizing;
    s.ImagePlacement = 0;  // centred
    s.DisplaySeconds = style.displaySeconds;
    switch (style.effects) {
      case SlideEffects::Random:
        // The code is drawn at every screen change; these settings go with it.
        s.EffectParam1 = kSmoothEasing;
        s.EffectParam2 = kRandomEffectMs;
        break;
      case SlideEffects::CrossFade:
        s.EffectCode = kCrossFade;
        s.CrossFadeParam = style.crossFadeSteps;
        break;
      case SlideEffects::None:
        s.EffectCode = kPlainRepaint;
        break;
    }
    if (!slide.caption.empty()) {
      s.CaptionText = slide.caption;
      s.CaptionFontName = "Arial";
      s.CaptionFontSize = kCaptionPoints;
      s.CaptionForeColor = kWhite;
      s.CaptionBackColor = kBlack;
      s.CaptionPlacement = kCaptionAtBottomCentre;
    }
    const std::size_t index = plan.package.Screens.size();
    plan.package.Screens.push_back(std::move(s));
    plan.media.push_back({MediumSlot::Image, index, slide.path, slide.label});
  }
  for (const std::string& path : tracks) {
    const std::size_t index = plan.package.AudioTracks.size();
    AudioTrack track;
    // The name's bytes as they are: std::filesystem would take them for the
    // ANSI code page on Windows, and they are UTF-8.
    const std::size_t slash = path.find_last_of("/\\");
    track.TrackFileName =
        Windows1252Approximation(slash == std::string::npos ? path : path.substr(slash + 1));
    plan.package.AudioTracks.push_back(std::move(track));
    plan.media.push_back({MediumSlot::Track, index, path, "music " + path});
  }
  return plan;
}

}  // namespace vistel
