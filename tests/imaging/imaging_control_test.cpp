#include "imaging/imaging_control.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "imaging_test_support.hpp"

namespace vistel {
namespace {

using testing::CoordinateImage;
using testing::CoordinatePixel;
using testing::Rgb;

class FakeDecoder : public PictureDecoder {
 public:
  std::map<std::string, Image> files;
  Pixel lastBackColor = 0;
  Result<Image> DecodePicture(std::string_view path, Pixel backColor) override {
    lastBackColor = backColor;
    const auto it = files.find(std::string(path));
    if (it == files.end()) return Fail(ErrorCode::FileNotFound);
    return it->second;
  }
};

class FakeClock : public Clock {
 public:
  Milliseconds now = 5000;
  Milliseconds NowMs() const override { return now; }
};

class FakeSurface : public SurfaceOutput {
 public:
  explicit FakeSurface(FakeClock& clock) : clock_(clock) {}
  std::vector<Image> frames;
  std::vector<Milliseconds> times;
  void PresentSurface(const Image& frame) override {
    frames.push_back(frame);
    times.push_back(clock_.now);
  }
  void AwaitNextFrame() override { clock_.now += 16; }

 private:
  FakeClock& clock_;
};

// Shows `from` before half time and `to` from then on, with the frame's
// moment in the first pixel's blue channel, so each frame tells its time.
class FakeAnimation : public EffectAnimation {
 public:
  FakeAnimation(Milliseconds duration, const Image& from, const Image& to)
      : duration_(duration), from_(from), to_(to) {}
  Milliseconds Duration() const override { return duration_; }
  void RenderFrame(Milliseconds t, Image& frame) override {
    frame = t >= duration_ ? to_ : from_;
    if (t < duration_) frame.At(0, 0) = MakePixel(0, 0, static_cast<unsigned>(t));
  }

 private:
  Milliseconds duration_;
  const Image& from_;
  const Image& to_;
};

class ImagingControlTest : public ::testing::Test {
 protected:
  ImagingServices Services() {
    ImagingServices s;
    s.decoder = &decoder;
    s.surface = &surface;
    s.clock = &clock;
    s.effects = [this](int code, const EffectSettings& settings, const Image& from,
                       const Image& to) -> std::unique_ptr<EffectAnimation> {
      effectCodes.push_back(code);
      lastSettings = settings;
      lastFrom = from;
      if (code == 4242) return nullptr;
      return std::make_unique<FakeAnimation>(100, from, to);
    };
    return s;
  }

  FakeDecoder decoder;
  FakeClock clock;
  FakeSurface surface{clock};
  std::vector<int> effectCodes;
  EffectSettings lastSettings{};
  Image lastFrom;
};

TEST_F(ImagingControlTest, PuttingAnotherBitmapCopiesItAndZeroDiscards) {
  ImagingControl a(Services()), b(Services());
  ASSERT_TRUE(a.CreateBitmap(4, 3, 24));
  ASSERT_TRUE(a.Fill(MakeColorRef(10, 20, 30)));
  b.SetBitmap(a.Bitmap());
  ASSERT_TRUE(a.Fill(0));
  EXPECT_EQ(b.BitmapImage(), Image(4, 3, Rgb(10, 20, 30))) << "the copy is independent";
  EXPECT_EQ(b.BitmapWidth(), 4.0F);
  EXPECT_EQ(b.BitmapHeight(), 3.0F);
  b.SetBitmap(b.Bitmap());
  EXPECT_EQ(b.BitmapWidth(), 4.0F) << "putting its own bitmap keeps it";
  b.SetBitmap(nullptr);
  EXPECT_EQ(b.Bitmap(), nullptr);
  EXPECT_FALSE(b.Fill(0)) << "fill without a bitmap fails";
  EXPECT_FALSE(b.GetBitmapDC()) << "no context without a bitmap";
}

TEST_F(ImagingControlTest, LoadsThroughTheDecoderOverTheBackColourAndKeepsTheOldOnFailure) {
  decoder.files["pic"] = Image(5, 2, 0x00112233U);
  ImagingControl c(Services());
  c.SetBackColor(MakeColorRef(1, 2, 3));
  ASSERT_TRUE(c.LoadImageFile("pic", 0, 0, 1));
  EXPECT_EQ(decoder.lastBackColor, Rgb(1, 2, 3));
  EXPECT_EQ(c.BitmapImage(), Image(5, 2, 0x00112233U));
  EXPECT_FALSE(c.LoadImageFile("missing", 0, 0, 1));
  EXPECT_FALSE(c.LoadImageFile("pic", 0, 1, 1)) << "only the first page";
  EXPECT_FALSE(c.LoadImageFile("pic", 7, 0, 1)) << "unsupported depth";
  EXPECT_EQ(c.BitmapWidth(), 5.0F) << "a failed load keeps the previous picture";
  ImagingControl noDecoder;
  EXPECT_FALSE(noDecoder.LoadImageFile("pic", 0, 0, 1));
}

TEST_F(ImagingControlTest, DisplaySizeFollowsSizeModeAndControlSizeInPixels) {
  ImagingControl c(Services());
  c.SetTwipsPerPixel({15.0F, 12.0F});
  c.SetBitmapImage(Image(400, 100));
  ASSERT_TRUE(c.SetWidth(800 * 15.0F));
  ASSERT_TRUE(c.SetHeight(600 * 12.0F));
  EXPECT_EQ(c.DisplayWidth(), 400.0F);
  ASSERT_TRUE(c.SetSizeMode(2));
  EXPECT_EQ(c.DisplayWidth(), 800.0F);
  EXPECT_EQ(c.DisplayHeight(), 200.0F);
  ASSERT_TRUE(c.SetSizeMode(3));
  EXPECT_EQ(c.DisplayWidth(), 400.0F);
  ASSERT_TRUE(c.SetZoomFactor(150.0F));
  ASSERT_TRUE(c.SetSizeMode(4));
  EXPECT_EQ(c.DisplayWidth(), 600.0F);
  EXPECT_EQ(c.DisplayHeight(), 150.0F);
  EXPECT_FALSE(c.SetSizeMode(5));
  EXPECT_EQ(c.GetSizeMode(), 4) << "a refused mode keeps the previous one";
  EXPECT_FALSE(c.SetZoomFactor(0.0F));
  c.SetDisplayLeft(7);
  EXPECT_EQ(c.DisplayLeft(), 7.0F);
}

TEST_F(ImagingControlTest, ResizingToTheDisplaySizeMakesItTheSourceWithoutZoomingTwice) {
  ImagingControl c(Services());
  c.SetBitmapImage(Image(200, 100, 0x00404040U));
  ASSERT_TRUE(c.SetZoomFactor(50.0F));
  ASSERT_TRUE(c.SetSizeMode(4));
  ASSERT_TRUE(c.ResizeBitmap(c.DisplayWidth(), c.DisplayHeight(), 2));
  EXPECT_EQ(c.SourceWidth(), 100.0F);
  EXPECT_EQ(c.SourceHeight(), 50.0F);
  EXPECT_EQ(c.DisplayWidth(), 100.0F);
  EXPECT_EQ(c.DisplayHeight(), 50.0F);
  EXPECT_EQ(c.BitmapImage(), Image(100, 50, 0x00404040U));
  EXPECT_FALSE(c.ResizeBitmap(0, 50, 2));
  EXPECT_FALSE(c.ResizeBitmap(10, 10, 9)) << "unknown resize mode";
  EXPECT_EQ(c.SourceWidth(), 100.0F);
}

TEST_F(ImagingControlTest, BlitsOneBitmapIntoAnotherThroughTheirContexts) {
  ImagingControl holder(Services()), screen(Services());
  holder.SetBitmapImage(CoordinateImage(4, 4));
  ASSERT_TRUE(screen.CreateBitmap(10, 10, 24));
  const auto src = holder.GetBitmapDC();
  const auto dst = screen.GetBitmapDC();
  ASSERT_TRUE(src && dst);
  ASSERT_TRUE(StretchBlt(*dst, 8, -1, 4, 4, *src, 0, 0, 4, 4, kSrcCopy));
  EXPECT_TRUE(holder.ReleaseBitmapDC());
  EXPECT_TRUE(screen.ReleaseBitmapDC());
  EXPECT_FALSE(screen.ReleaseBitmapDC()) << "released twice";
  EXPECT_EQ(screen.BitmapImage().At(8, 0), CoordinatePixel(0, 1));
  EXPECT_EQ(screen.BitmapImage().At(9, 2), CoordinatePixel(1, 3));
  EXPECT_EQ(screen.BitmapImage().At(7, 0), 0U);
}

TEST_F(ImagingControlTest, CombineRoundsItsSingleArgumentsHalfToEven) {
  ImagingControl d(Services()), s(Services());
  ASSERT_TRUE(d.CreateBitmap(4, 1, 24));
  s.SetBitmapImage(Image(4, 1, Rgb(9, 9, 9)));
  // Left 0.5 -> 0, width 2.5 -> 2: pixels 0 and 1.
  ASSERT_TRUE(d.CombineBitmap(0.5F, 0, 2.5F, 1, s.Bitmap(), 0, 0, 768));
  EXPECT_EQ(d.BitmapImage().At(1, 0), Rgb(9, 9, 9));
  EXPECT_EQ(d.BitmapImage().At(2, 0), 0U);
  EXPECT_FALSE(d.CombineBitmap(0, 0, 4, 1, nullptr, 0, 0, 768));
  EXPECT_FALSE(d.CombineBitmap(0, 0, 4, 1, s.Bitmap(), 0, 0, 1));
  EXPECT_FALSE(d.CombineBitmap(0, 0, 1e30F, 1, s.Bitmap(), 0, 0, 768)) << "overflow";
}

TEST_F(ImagingControlTest, EffectSettingsAreNumberedOneToFourteen) {
  ImagingControl c(Services());
  ASSERT_TRUE(c.SetEffectSetting(1, 11));
  ASSERT_TRUE(c.SetEffectSetting(14, 1400));
  EXPECT_EQ(c.GetEffectSettings()[0], 11);
  EXPECT_EQ(c.GetEffectSettings()[13], 1400);
  EXPECT_EQ(c.SetEffectSetting(0, 1).error().code, ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(c.SetEffectSetting(15, 1).error().code, ErrorCode::SubscriptOutOfRange);
}

TEST_F(ImagingControlTest, RepaintShowsNothingWhileDisabledAndTheBitmapOnceWhenPlain) {
  ImagingControl c(Services());
  c.SetBitmapImage(Image(3, 2, 0x00FF0000U));
  c.SetRepaintEnabled(false);
  ASSERT_TRUE(c.Repaint());
  EXPECT_TRUE(surface.frames.empty()) << "changes stay unseen while disabled";
  c.SetRepaintEnabled(true);
  ASSERT_TRUE(c.Repaint());
  ASSERT_EQ(surface.frames.size(), 1U);
  EXPECT_EQ(surface.frames[0], c.BitmapImage());
  EXPECT_TRUE(effectCodes.empty()) << "1000 asks for no effect";
  c.SetPaintEffect(4242);  // an effect code the catalogue does not animate
  ASSERT_TRUE(c.Fill(0));
  ASSERT_TRUE(c.Repaint());
  ASSERT_EQ(surface.frames.size(), 2U);
  EXPECT_EQ(surface.frames[1], Image(3, 2, 0));
  ImagingControl offscreen;
  offscreen.SetBitmapImage(Image(1, 1));
  EXPECT_TRUE(offscreen.Repaint()) << "a buffer without a surface repaints to nowhere";
}

TEST_F(ImagingControlTest, AnEffectRunsPacedByTheClockUntilItsDuration) {
  ImagingControl c(Services());
  c.SetBitmapImage(Image(4, 4, 0x00FF0000U));
  ASSERT_TRUE(c.Repaint());  // shows red
  c.SetBitmapImage(Image(4, 4, 0x000000FFU));
  c.SetPaintEffect(2001);
  ASSERT_TRUE(c.SetEffectSetting(3, 77));
  std::vector<int> progress;
  int progress2 = 0;
  c.Events().surfaceProgress = [&](int percent) { progress.push_back(percent); };
  c.Events().surfaceProgress2 = [&](int, int duration) {
    EXPECT_EQ(duration, 100);
    ++progress2;
  };
  surface.frames.clear();
  surface.times.clear();
  const Milliseconds start = clock.now;
  ASSERT_TRUE(c.Repaint());
  ASSERT_EQ(effectCodes, std::vector<int>{2001});
  EXPECT_EQ(lastSettings[2], 77);
  EXPECT_EQ(lastFrom, Image(4, 4, 0x00FF0000U)) << "the effect starts from what was shown";
  // Frames at 0, 16, ..., 96, then 112 clamped to 100.
  ASSERT_EQ(surface.frames.size(), 8U);
  for (std::size_t k = 0; k + 1 < surface.frames.size(); ++k) {
    EXPECT_EQ(surface.times[k] - start, static_cast<Milliseconds>(16 * k));
    EXPECT_EQ(PixelBlue(surface.frames[k].At(0, 0)), 16U * k) << "frame " << k;
  }
  EXPECT_EQ(surface.frames.back(), c.BitmapImage()) << "the last frame is the new bitmap";
  EXPECT_EQ(c.Shown(), c.BitmapImage());
  EXPECT_EQ(progress, (std::vector<int>{0, 16, 32, 48, 64, 80, 96, 100}));
  EXPECT_EQ(progress2, 8);
}

TEST_F(ImagingControlTest, AnEffectStartsFromTheOldPictureOnACanvasOfTheNewSize) {
  ImagingControl c(Services());
  c.SetBackColor(MakeColorRef(0, 255, 0));
  c.SetBitmapImage(Image(2, 3, 0x00FF0000U));
  ASSERT_TRUE(c.Repaint());
  c.SetBitmapImage(Image(4, 2, 0x000000FFU));
  c.SetPaintEffect(2001);
  ASSERT_TRUE(c.Repaint());
  ASSERT_EQ(lastFrom.Extent(), (IntSize{4, 2}));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(lastFrom.At(x, y), x < 2 ? 0x00FF0000U : 0x0000FF00U) << x << "," << y;
    }
  }
}

TEST_F(ImagingControlTest, AnEffectStopsEarlyWhenTheShowEndsOrAnEventAbortsIt) {
  ImagingControl c(Services());
  c.SetBitmapImage(Image(2, 2, 0x00FFFFFFU));
  c.SetPaintEffect(2001);
  int events = 0;
  c.Events().surfaceProgress = [&](int) {
    if (++events == 3) c.SetShowActive(false);
  };
  ASSERT_TRUE(c.Repaint());
  EXPECT_EQ(surface.frames.size(), 3U) << "stops after the frame whose event ended the show";
  EXPECT_EQ(c.Shown(), surface.frames.back());

  c.SetShowActive(true);
  surface.frames.clear();
  events = 0;
  c.Events().surfaceProgress = [&](int) {
    if (++events == 2) c.AbortPaint();
    EXPECT_FALSE(c.Repaint()) << "no repaint from inside a running effect";
  };
  ASSERT_TRUE(c.Repaint());
  EXPECT_EQ(surface.frames.size(), 2U);

  // The abort of the previous effect does not carry over to the next one.
  surface.frames.clear();
  c.Events().surfaceProgress = nullptr;
  ASSERT_TRUE(c.Repaint());
  EXPECT_EQ(surface.frames.size(), 8U);
}

TEST_F(ImagingControlTest, InputReachesTheHandlersThatAreSet) {
  ImagingControl c(Services());
  c.DeliverKeyPress(65);  // no handler: nothing happens
  std::vector<std::string> seen;
  c.Events().keyPress = [&](int code) { seen.push_back("press " + std::to_string(code)); };
  c.Events().keyDown = [&](int code, int shift) {
    seen.push_back("down " + std::to_string(code) + "/" + std::to_string(shift));
  };
  c.Events().mouseMove = [&](int, int, float x, float y) {
    seen.push_back("move " + std::to_string(static_cast<int>(x)) + "," +
                   std::to_string(static_cast<int>(y)));
  };
  c.Events().mouseUp = [&](int button, int, float, float) {
    seen.push_back("up " + std::to_string(button));
  };
  c.DeliverKeyPress(27);
  c.DeliverKeyDown(16, 1);
  c.DeliverMouseMove(0, 0, 150.0F, 300.0F);
  c.DeliverMouseUp(1, 0, 0.0F, 0.0F);
  EXPECT_EQ(seen, (std::vector<std::string>{"press 27", "down 16/1", "move 150,300", "up 1"}));
}

}  // namespace
}  // namespace vistel
