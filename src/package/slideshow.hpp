// A show made from a folder of photos (vistel-pack slideshow): the parts that
// need no decoder. The order of the photos, their captions, the size a photo
// is shrunk to, and the show over the prepared files, which then goes
// through the same package writer as a show description.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.hpp"
#include "package/writer.hpp"

namespace vistel {

// Natural order, as file managers sort: runs of digits compare by their value
// ("img2" before "img10"), letters without regard to ASCII case, and "/"
// before every other character so that a folder's photos stay together.
// Names equal under these rules fall back to their bytes, so the order is
// total.
bool NaturallyBefore(std::string_view a, std::string_view b);

// `text` (UTF-8, or any bytes, as file names are) in Windows-1252 for the
// configuration text, never failing: combining accents (U+0300..U+036F, as
// some systems store "é" in file names) are dropped, leaving the letter;
// other characters the code page lacks, and bytes that are not UTF-8, become
// "?"; "ÿ" becomes "y", since its byte is the configuration's field separator;
// control characters become blanks.
std::string Windows1252Approximation(std::string_view text);

// The caption of a photo from its file name: without the extension, "_" and
// "-" as blanks, runs of blanks as one and none at either end, in
// Windows-1252 as Windows1252Approximation makes it.
std::string CaptionFromFileName(std::string_view fileName);

// The largest size inside `box` with the aspect of `picture` (rounded to
// whole pixels, at least 1), or `picture` itself when it fits already.
IntSize FitWithin(IntSize picture, IntSize box);

enum class SlideOrder { Name, Date, Shuffle };

struct SlideCandidate {
  std::string relativePath;       // "/" between folders; the name order's key
  std::int64_t takenSeconds = 0;  // the date order's key
};

// Orders the photos: by name (naturally); by date (oldest first, names
// breaking ties); or shuffled by `seed`, the same seed giving the same order
// on every machine (the generator and the draw are fixed here, not left to
// the standard library).
void OrderSlides(std::vector<SlideCandidate>& slides, SlideOrder order, std::uint64_t seed);

enum class SlideEffects { Random, CrossFade, None };

struct SlideshowStyle {
  std::string title;  // SaverTitle, in Windows-1252
  float displaySeconds = 8;
  SlideEffects effects = SlideEffects::CrossFade;
  std::int16_t crossFadeSteps = 32;
};

struct Slide {
  std::string path;     // the picture to store
  std::string caption;  // Windows-1252; "" for none
  std::string label;    // names the photo in messages
};

// Image sizing mode of every slide: the photo as large as the screen allows
// with its aspect kept, centred, the rest of the screen black.
inline constexpr std::int16_t kSlideSizing = 2;

// The show: one image screen per slide, in order, then the tracks (paths;
// each named by its file name), repeated.
PackagePlan SlideshowPlan(const std::vector<Slide>& slides, const std::vector<std::string>& tracks,
                          const SlideshowStyle& style);

}  // namespace vistel
