// The headless show window: the Win32 placement calls as the core makes them
// (preview embedding, full-screen placement, topmost), its registration with
// the display, frames on the virtual clock, composition and input.
#include "hosts/headless/headless_show_window.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "headless_test_support.hpp"

namespace vistel {
namespace {

using nlohmann::json;
using testing::RecordingInput;
using testing::TraceCapture;

constexpr std::uint32_t kPreviewFlags = kSwpNoZOrder | kSwpNoActivate | kSwpShowWindow;  // 0x54
constexpr std::uint32_t kTopmostOnly = kSwpNoMove | kSwpNoSize;                          // 3

struct WindowFixture : ::testing::Test {
  static constexpr WindowHandle kPreviewArea = 4660;
  static constexpr ForeignWindowOption kForeign[] = {{kPreviewArea, {152, 112}}};

  TraceCapture capture;
  HeadlessEventLoop loop{capture.clock, capture.trace};
  HeadlessDisplay display{{800, 600}, kForeign};
  HeadlessShowWindow window{display, loop, capture.trace, 16};
  RecordingInput input;

  std::vector<json> WindowEvents() const { return testing::EventsOf(capture.events, "window"); }
};

TEST_F(WindowFixture, StartsHiddenAtItsDesignSizeAndRegistered) {
  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 640, 480}));
  EXPECT_FALSE(window.Visible());
  EXPECT_FALSE(window.Topmost());
  EXPECT_EQ(window.Parent(), 0U);
  EXPECT_EQ(window.GetWindowLong(kGwlStyle), kFormInitialStyle);
  EXPECT_EQ(window.GetWindowLong(kGwlHwndParent), 0);
  EXPECT_NE(window.Handle(), kPreviewArea) << "never a foreign window's handle";
  EXPECT_TRUE(display.IsWindow(window.Handle()));
  EXPECT_EQ(display.ClientRect(window.Handle()), (IntRect{0, 0, 640, 480}));
  EXPECT_EQ(display.FindWindow("ThunderRT6FormDC", ""), window.Handle())
      << "an untitled form before its load handler runs";
  EXPECT_TRUE(WindowEvents().empty()) << "nothing placed yet";
}

TEST_F(WindowFixture, CaptionMakesTheWindowFindableAndDestructionForgetsIt) {
  window.SetCaption("Vistel Screen Saver");
  EXPECT_EQ(window.Caption(), "Vistel Screen Saver");
  EXPECT_EQ(display.FindWindow("ThunderRT6FormDC", "Vistel Screen Saver"), window.Handle());
  EXPECT_FALSE(display.FindWindow("ThunderRT6FormDC", "").has_value());

  HeadlessDisplay other({800, 600}, {});
  WindowHandle handle = 0;
  {
    HeadlessShowWindow shortLived(other, loop, capture.trace, 16);
    shortLived.SetCaption("Vistel Screen Saver");
    handle = shortLived.Handle();
    EXPECT_TRUE(other.IsWindow(handle));
  }
  EXPECT_FALSE(other.IsWindow(handle));
  EXPECT_FALSE(other.FindWindow("ThunderRT6FormDC", "Vistel Screen Saver").has_value())
      << "a closed show must not block the next one";
}

TEST_F(WindowFixture, PreviewEmbeddingMakesAVisibleChildFillingThePreviewArea) {
  window.SetInput(&input);
  // The embedding sequence of the start-up code.
  const std::int64_t style = window.GetWindowLong(kGwlStyle);
  EXPECT_EQ(window.SetWindowLong(kGwlStyle, style | kWsChild), style)
      << "SetWindowLong gives the previous value";
  window.SetParent(kPreviewArea);
  EXPECT_EQ(window.SetWindowLong(kGwlHwndParent, static_cast<std::int64_t>(kPreviewArea)), 0);
  const auto client = display.ClientRect(kPreviewArea);
  ASSERT_TRUE(client.has_value());
  EXPECT_TRUE(window.SetWindowPos(InsertAfter::None, 0, 0, client->Right(), client->Bottom(),
                                  kPreviewFlags));

  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 152, 112}));
  EXPECT_TRUE(window.Visible());
  EXPECT_FALSE(window.Topmost());
  EXPECT_EQ(window.Parent(), kPreviewArea);
  EXPECT_EQ(window.Owner(), kPreviewArea);
  EXPECT_EQ(window.GetWindowLong(kGwlStyle), style | kWsChild | kWsVisible);
  EXPECT_EQ(display.ClientRect(window.Handle()), (IntRect{0, 0, 152, 112}));
  EXPECT_EQ(input.calls, std::vector<std::string>{"resized"});

  const auto events = WindowEvents();
  ASSERT_EQ(events.size(), 2U) << "the parent, then size and visibility";
  EXPECT_EQ(events[0]["parent"], kPreviewArea);
  EXPECT_EQ(events[0]["visible"], false);
  EXPECT_EQ(events[1], json::parse(R"({"t":0,"ev":"window","x":0,"y":0,"width":152,)"
                                   R"("height":112,"topmost":false,"visible":true,)"
                                   R"("parent":4660})"));
}

TEST_F(WindowFixture, FullScreenPlacementThenSetTopmostChangesNothingMore) {
  window.SetInput(&input);
  EXPECT_TRUE(window.SetWindowPos(InsertAfter::Topmost, 0, 0, 800, 600, kSwpShowWindow));
  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 800, 600}));
  EXPECT_TRUE(window.Topmost());
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(input.calls, std::vector<std::string>{"resized"});
  ASSERT_EQ(WindowEvents().size(), 1U);
  EXPECT_EQ(WindowEvents()[0]["topmost"], true);

  // SetTopmost: HWND_TOPMOST with 0,0,0,0 and NOMOVE|NOSIZE keeps the rectangle.
  EXPECT_TRUE(window.SetWindowPos(InsertAfter::Topmost, 0, 0, 0, 0, kTopmostOnly));
  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 800, 600}));
  EXPECT_EQ(input.calls.size(), 1U) << "no resize without a change of size";
  EXPECT_EQ(WindowEvents().size(), 1U) << "no event without a change of placement";
}

TEST_F(WindowFixture, MoveAndSizeFlagsAreHonouredSeparately) {
  window.SetInput(&input);
  window.SetWindowPos(InsertAfter::None, 10, 20, 300, 200, kSwpNoSize);
  EXPECT_EQ(window.RectPixels(), (IntRect{10, 20, 640, 480}));
  EXPECT_TRUE(input.calls.empty()) << "a move is not a resize";

  window.SetWindowPos(InsertAfter::None, 99, 99, 300, 200, kSwpNoMove);
  EXPECT_EQ(window.RectPixels(), (IntRect{10, 20, 300, 200}));
  EXPECT_EQ(input.calls, std::vector<std::string>{"resized"});

  window.SetWindowPos(InsertAfter::None, 0, 0, -5, -1, 0);
  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 0, 0})) << "negative sizes become 0";
  EXPECT_FALSE(window.Visible()) << "only SWP_SHOWWINDOW shows the window";
  EXPECT_FALSE(window.Topmost()) << "no insert-after window leaves the z-order flag alone";
}

TEST_F(WindowFixture, TopmostNeedsAZOrderChangeAndATopLevelWindow) {
  window.SetWindowPos(InsertAfter::Topmost, 0, 0, 0, 0, kTopmostOnly | kSwpNoZOrder);
  EXPECT_FALSE(window.Topmost()) << "SWP_NOZORDER ignores the insert-after window";

  window.SetWindowLong(kGwlStyle, window.GetWindowLong(kGwlStyle) | kWsChild);
  window.SetParent(kPreviewArea);
  window.SetWindowPos(InsertAfter::Topmost, 0, 0, 0, 0, kTopmostOnly);
  EXPECT_FALSE(window.Topmost()) << "a child window cannot be topmost";

  // Out of the preview again, it can.
  window.SetWindowLong(kGwlStyle, window.GetWindowLong(kGwlStyle) & ~kWsChild);
  window.SetParent(0);
  window.SetWindowPos(InsertAfter::Topmost, 0, 0, 0, 0, kTopmostOnly);
  EXPECT_TRUE(window.Topmost());
  // Once topmost, an ordinary placement keeps it (only HWND_NOTOPMOST would clear it).
  window.SetWindowPos(InsertAfter::None, 0, 0, 800, 600, kSwpShowWindow);
  EXPECT_TRUE(window.Topmost());
}

TEST_F(WindowFixture, VisibilityFollowsTheStyleBitAndHideWindow) {
  window.SetVisible(true);
  EXPECT_NE(window.GetWindowLong(kGwlStyle) & kWsVisible, 0);
  window.SetWindowLong(kGwlStyle, kFormInitialStyle);
  EXPECT_FALSE(window.Visible()) << "writing the style without WS_VISIBLE hides the window";
  window.SetWindowLong(kGwlStyle, kFormInitialStyle | kWsVisible);
  EXPECT_TRUE(window.Visible());
  window.SetWindowPos(InsertAfter::None, 0, 0, 0, 0, kTopmostOnly | kSwpHideWindow);
  EXPECT_FALSE(window.Visible());

  const auto events = WindowEvents();
  ASSERT_EQ(events.size(), 4U);
  EXPECT_EQ(events[0]["visible"], true);
  EXPECT_EQ(events[1]["visible"], false);
  EXPECT_EQ(events[2]["visible"], true);
  EXPECT_EQ(events[3]["visible"], false);
}

TEST_F(WindowFixture, ResizeHandlerSeesTheNewRectangleAndMayPlaceTheWindowAgain) {
  window.SetInput(&input);
  std::vector<IntRect> seen;
  input.onResized = [&] {
    seen.push_back(window.RectPixels());
    EXPECT_EQ(display.ClientRect(window.Handle()), window.RectPixels())
        << "the display knows the new size before the handler runs";
    // A handler that corrects the size once: the nested resize runs too.
    if (window.RectPixels().width == 801) {
      window.SetWindowPos(InsertAfter::None, 0, 0, 800, 600, kSwpNoMove | kSwpNoZOrder);
    }
  };
  window.SetWindowPos(InsertAfter::None, 0, 0, 801, 600, kSwpShowWindow);
  EXPECT_EQ(seen, (std::vector<IntRect>{{0, 0, 801, 600}, {0, 0, 800, 600}}));
  EXPECT_EQ(window.RectPixels(), (IntRect{0, 0, 800, 600}));
  EXPECT_EQ(display.ClientRect(window.Handle()), (IntRect{0, 0, 800, 600}));
}

TEST_F(WindowFixture, EachFrameAdvancesTheClockByOneFramePeriodAndPumps) {
  std::vector<Milliseconds> ran;
  loop.ScheduleAt(20, [&] { ran.push_back(capture.clock.NowMs()); });
  window.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 16);
  EXPECT_TRUE(ran.empty());
  window.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 32);
  EXPECT_EQ(ran, std::vector<Milliseconds>{32}) << "input falls mid-transition, at a frame's end";
  EXPECT_EQ(window.FramesPresented(), 2);

  HeadlessShowWindow slow(display, loop, capture.trace, 40);
  slow.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 72) << "--frame-ms sets the period";

  // A period of 0 would freeze the clock, and an animation timed on it would
  // never end.
  HeadlessShowWindow instant(display, loop, capture.trace, 0);
  instant.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 73) << "a frame lasts at least 1 ms";
}

TEST_F(WindowFixture, AFrameStopsAtTheEndOfTheRunFirst) {
  window.SetEndOfRun(20);
  std::vector<Milliseconds> ran;
  loop.ScheduleAt(20, [&] { ran.push_back(capture.clock.NowMs()); });
  loop.ScheduleAt(21, [&] { ran.push_back(capture.clock.NowMs()); });
  window.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 16);
  window.AwaitNextFrame();
  EXPECT_EQ(ran, (std::vector<Milliseconds>{20, 32}))
      << "what is due at the end runs then; the rest at the frame's end";
  EXPECT_EQ(capture.clock.NowMs(), 32) << "a run that did not end keeps full frames";
  window.AwaitNextFrame();
  EXPECT_EQ(capture.clock.NowMs(), 48) << "the end lies behind: plain frames";
}

TEST_F(WindowFixture, ComposeGivesThePaintersPictureOrBlackOfTheWindowsSize) {
  const Image& blank = window.Compose();
  EXPECT_EQ(blank.Extent(), (IntSize{640, 480}));
  EXPECT_EQ(blank.At(639, 479), 0U);
  window.SetWindowPos(InsertAfter::None, 0, 0, 200, 100, kSwpNoMove);
  EXPECT_EQ(window.Compose().Extent(), (IntSize{200, 100})) << "follows the window's size";

  Image picture(4, 3, MakePixel(1, 2, 3));
  picture.At(3, 2) = MakePixel(255, 0, 0);
  int calls = 0;
  window.SetPainter([&]() -> const Image& {
    ++calls;
    return picture;
  });
  EXPECT_EQ(window.Compose(), picture);
  EXPECT_EQ(calls, 1) << "composed on demand, not kept";
}

TEST_F(WindowFixture, InputReachesOnlyAVisibleWindowWithAReceiverOverItsArea) {
  EXPECT_FALSE(window.DeliverKeyPress(27)) << "no receiver yet";
  window.SetInput(&input);
  EXPECT_FALSE(window.DeliverKeyPress(27)) << "hidden";
  EXPECT_FALSE(window.DeliverMouseMove(5, 5)) << "hidden";

  window.SetWindowPos(InsertAfter::None, 100, 50, 200, 100, kSwpShowWindow);
  input.calls.clear();
  EXPECT_TRUE(window.DeliverKeyPress(27));
  EXPECT_TRUE(window.DeliverMouseMove(100, 50));
  EXPECT_TRUE(window.DeliverMouseUp(2, 299.5, 149));
  EXPECT_FALSE(window.DeliverMouseMove(300, 60)) << "right of the window";
  EXPECT_FALSE(window.DeliverMouseUp(1, 99, 60)) << "left of the window";
  EXPECT_FALSE(window.DeliverMouseMove(150, 150)) << "below the window";
  EXPECT_EQ(input.calls, (std::vector<std::string>{"key 27", "move 0,0", "up 2 199,99"}))
      << "positions in client pixels";

  window.SetInput(nullptr);
  EXPECT_FALSE(window.DeliverMouseMove(150, 60)) << "the receiver was taken away";
}

}  // namespace
}  // namespace vistel
