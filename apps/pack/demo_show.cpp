// The demo show's screens, tracks and [GLOBAL] settings.
#include "demo_show.hpp"

#include <filesystem>

#include "base/geometry.hpp"
#include "package/show_description.hpp"

namespace vistel::pack::demo {
namespace {

// Image sizing modes, as ScreenSettings::ImageSizing holds them.
enum Sizing : std::int16_t { kOwnSize = 0, kStretch = 1, kFit = 2, kFitNoEnlarge = 3, kZoom = 4 };

// Placement codes of images, videos and captions.
enum Placement : std::int32_t {
  kCentre = 0,
  kTopLeft = 1,
  kMiddleLeft = 2,
  kBottomLeft = 3,
  kBottomCentre = 4,
  kBottomRight = 5,
  kMiddleRight = 6,
  kTopRight = 7,
  kTopCentre = 8,
  kByDivisors = 9,
};

enum Appearance : std::int32_t { kFlat = 0, kThreeD = 1 };

constexpr std::int16_t kPlainRepaint = 1000;
constexpr std::int16_t kCrossFade = -100;
// One of each group of paint effects, each visibly different.
constexpr std::int16_t kSoftWipeSouthEast = 2084;
constexpr std::int16_t kFadeThroughTwoColours = 4006;
constexpr std::int16_t kIrisCircleOut = 5002;
constexpr std::int16_t kPushEast = 6000;
constexpr std::int16_t kSpiralFromTopLeft = 7000;
constexpr std::int16_t kZoomFromCentre = 8000;
constexpr std::int16_t kDissolvePixels = 15018;
constexpr std::int16_t kRadialSweepTopLeft = 16000;

constexpr std::int16_t kEffectMs = 1200;
constexpr std::int16_t kSmoothEasing = 1;
constexpr std::int16_t kCrossFadeSteps = 24;
constexpr std::int32_t kVideoTwiceItsSize = 7;

constexpr std::int32_t Colour(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::int32_t>(MakeColorRef(r, g, b));
}
constexpr std::int32_t kWhite = Colour(255, 255, 255);
constexpr std::int32_t kBlack = Colour(0, 0, 0);

struct Caption {
  const char* text;  // "\r\n" between lines
  const char* font;
  std::int16_t points;
  std::int32_t bold;
  std::int32_t italic;
  std::int32_t appearance;
  std::int32_t placement;
  std::int32_t foreColour;
  std::int32_t backColour;
};

void SetCaption(ScreenSettings& s, const Caption& c) {
  s.CaptionText = c.text;
  s.CaptionFontName = c.font;
  s.CaptionFontSize = c.points;
  s.CaptionBold = c.bold;
  s.CaptionItalic = c.italic;
  s.CaptionAppearance = c.appearance;
  s.CaptionPlacement = c.placement;
  s.CaptionForeColor = c.foreColour;
  s.CaptionBackColor = c.backColour;
}

void SetEffect(ScreenSettings& s, std::int16_t code) {
  s.EffectCode = code;
  s.EffectParam1 = kSmoothEasing;
  s.EffectParam2 = kEffectMs;
}

// Builds the plan screen by screen: each call starts a screen from the
// defaults of a show description, and the media go in file order.
class PlanBuilder {
 public:
  ScreenSettings& NewScreen(float displaySeconds) {
    ScreenSettings s = DefaultScreenSettings();
    s.DisplaySeconds = displaySeconds;
    plan_.package.Screens.push_back(std::move(s));
    return plan_.package.Screens.back();
  }
  void Background(const std::string& path) {
    Current().BackgroundKind = 1;
    Add(MediumSlot::Background, path, "background");
  }
  void Picture(const std::string& path, std::int16_t sizing, std::int32_t placement) {
    ScreenSettings& s = Current();
    s.ScreenKind = 0;
    s.ImageSizing = sizing;
    s.ImagePlacement = placement;
    Add(MediumSlot::Image, path, "image");
  }
  void Video(const std::string& path, std::int32_t size, std::int32_t placement) {
    ScreenSettings& s = Current();
    s.ScreenKind = 1;
    s.VideoSize = size;
    s.VideoPlacement = placement;
    Add(MediumSlot::Video, path, "video");
  }
  void Track(const std::string& path) {
    const std::size_t index = plan_.package.AudioTracks.size();
    AudioTrack track;
    track.TrackFileName = std::filesystem::path(path).filename().string();
    plan_.package.AudioTracks.push_back(std::move(track));
    plan_.media.push_back(
        {MediumSlot::Track, index, path, "tracks[" + std::to_string(index) + "]"});
  }
  PackagePlan& Plan() { return plan_; }

 private:
  ScreenSettings& Current() { return plan_.package.Screens.back(); }
  void Add(MediumSlot slot, const std::string& path, const char* key) {
    const std::size_t index = plan_.package.Screens.size() - 1;
    plan_.media.push_back({slot, index, path, "screens[" + std::to_string(index) + "]." + key});
  }

  PackagePlan plan_;
};

}  // namespace

PackagePlan DemoShowPlan(const DemoMedia& media) {
  PlanBuilder show;
  GlobalSettings& global = show.Plan().package.Global;
  global.PublisherName = "Vistel project";
  global.SaverTitle = "Vistel Demo";
  global.WebsiteText = "https://example.org/vistel";
  global.RandomScreenOrder = false;
  global.RandomEffects = false;
  global.RepeatAudio = true;

  // 0: the large "photo" shrunk to fit, over a plain colour, shown plainly.
  ScreenSettings* s = &show.NewScreen(3);
  s->BackgroundColor = Colour(16, 24, 48);
  show.Picture(media.landscape, kFit, kCentre);
  s->EffectCode = kPlainRepaint;
  s->EffectParam2 = 1000;
  s->EffectParam3 = 0;
  SetCaption(*s,
             {"Vistel Demo", "Arial", 24, 1, 0, kFlat, kBottomCentre, kWhite, Colour(20, 40, 90)});

  // 1: a small checker zoomed and placed by divisors over a picture background.
  s = &show.NewScreen(3);
  show.Background(media.backdrop);
  show.Picture(media.checker, kZoom, kByDivisors);
  s->ImageScale = 175;
  s->ImageXDivisor = 6;
  s->ImageYDivisor = 5;
  SetEffect(*s, kSoftWipeSouthEast);
  SetCaption(*s, {"Pictures drawn by code\r\nzoomed to 175 %", "Times New Roman", 16, 0, 1, kThreeD,
                  kTopCentre, kBlack, Colour(250, 246, 230)});

  // 2: shapes stretched over the whole area.
  s = &show.NewScreen(3);
  s->BackgroundColor = Colour(20, 70, 40);
  show.Picture(media.shapes, kStretch, kCentre);
  SetEffect(*s, kIrisCircleOut);
  s->EffectParam3 = 8;  // a soft rim
  SetCaption(*s, {"Stretched to the whole screen", "Arial", 14, 1, 1, kThreeD, kTopLeft,
                  Colour(255, 255, 200), Colour(60, 30, 90)});

  // 3: the badge with transparency at its own size, faded in.
  s = &show.NewScreen(3);
  show.Background(media.backdrop);
  show.Picture(media.badge, kOwnSize, kBottomRight);
  s->EffectCode = kCrossFade;
  s->CrossFadeParam = kCrossFadeSteps;
  SetCaption(*s, {"A picture with transparency", "Times New Roman", 18, 0, 0, kFlat, kMiddleLeft,
                  Colour(20, 20, 60), kWhite});

  // 4: the clip at twice its size over the picture background; it moves
  // on when the clip ends.
  s = &show.NewScreen(4);
  show.Background(media.backdrop);
  show.Video(media.clip, kVideoTwiceItsSize, kCentre);
  SetEffect(*s, kPushEast);
  SetCaption(*s, {"A clip with sound, twice its size", "Arial", 12, 0, 0, kFlat, kBottomCentre,
                  kWhite, kBlack});

  // 5: the "photo" again, shrunk without enlarging, through two colours.
  s = &show.NewScreen(3);
  show.Picture(media.landscape, kFitNoEnlarge, kTopCentre);
  SetEffect(*s, kFadeThroughTwoColours);
  s->EffectParam6 = Colour(255, 140, 0);
  s->EffectParam7 = Colour(90, 30, 140);
  SetCaption(*s, {"Placed by divisors", "Times New Roman", 20, 1, 0, kThreeD, kByDivisors,
                  Colour(120, 20, 20), Colour(255, 236, 200)});
  s->CaptionXDivisor = 10;
  s->CaptionYDivisor = 1.25F;

  // 6: the small scene enlarged to fit, in a spiral of blocks.
  s = &show.NewScreen(3);
  s->BackgroundColor = Colour(50, 20, 60);
  show.Picture(media.smallScene, kFit, kCentre);
  SetEffect(*s, kSpiralFromTopLeft);
  s->EffectParam11 = 12;  // grain: the block size
  SetCaption(*s, {"Enlarged to fit", "Arial", 12, 0, 1, kFlat, kBottomRight, kBlack,
                  Colour(230, 230, 230)});

  // 7: the checker at its own size, bottom left, zooming in.
  s = &show.NewScreen(3);
  show.Background(media.backdrop);
  show.Picture(media.checker, kOwnSize, kBottomLeft);
  SetEffect(*s, kZoomFromCentre);
  SetCaption(*s, {"Its own size", "Times New Roman", 14, 1, 1, kThreeD, kTopRight, kWhite,
                  Colour(30, 60, 120)});

  // 8: the shapes zoomed to 150 %, middle right, in a radial sweep.
  s = &show.NewScreen(3);
  s->BackgroundColor = Colour(0, 90, 100);
  show.Picture(media.shapes, kZoom, kMiddleRight);
  s->ImageScale = 150;
  SetEffect(*s, kRadialSweepTopLeft);
  SetCaption(*s, {"Zoomed to 150 %", "Arial", 16, 1, 0, kThreeD, kMiddleLeft, kBlack,
                  Colour(255, 220, 120)});

  // 9: the end, dissolving in.
  s = &show.NewScreen(4);
  s->BackgroundColor = Colour(10, 16, 40);
  show.Picture(media.badge, kOwnSize, kCentre);
  SetEffect(*s, kDissolvePixels);
  s->EffectParam4 = 7;  // seed of the dissolve's order
  SetCaption(*s, {"Thanks for watching\r\nhttps://example.org/vistel", "Times New Roman", 18, 1, 0,
                  kThreeD, kBottomCentre, kWhite, Colour(40, 40, 40)});

  show.Track(media.tuneWav);
  show.Track(media.tuneMidi);
  return std::move(show.Plan());
}

}  // namespace vistel::pack::demo
