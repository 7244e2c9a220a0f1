// The headless about window: what the core gave it is kept, and labels are
// clicked by name or at a point.
#include "hosts/headless/headless_about_window.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistel {
namespace {

struct AboutFixture : ::testing::Test {
  HeadlessAboutWindow about;
  std::vector<std::string> clicks;
  int closes = 0;

  void Show() {
    const AboutLabel labels[] = {
        {"lblTitle", "My Show", 0, 0, 4500, 600, 0, false},
        {"Label4", "www.example.com", 300, 900, 3000, 300, 0, false},
        // Overlaps Label4's right end: given later, so it lies above.
        {"lblOK", "OK", 3000, 900, 900, 450, 0xC0C0C0, true},
    };
    about.ShowAbout(
        "About My Show", {4500, 2000}, labels,
        [this](std::string_view label) { clicks.emplace_back(label); }, [this] { ++closes; });
  }
};

TEST_F(AboutFixture, ClicksByNameReachTheHandlerOnlyWhileOpen) {
  EXPECT_FALSE(about.ClickLabel("lblOK")) << "not shown yet";
  Show();
  EXPECT_TRUE(about.IsOpen());
  EXPECT_EQ(about.Caption(), "About My Show");
  ASSERT_NE(about.FindLabel("lblOK"), nullptr);
  EXPECT_EQ(about.FindLabel("lblOK")->rectTwips, (IntRect{3000, 900, 900, 450}));
  EXPECT_TRUE(about.ClickLabel("Label4"));
  EXPECT_FALSE(about.ClickLabel("nothing"));
  EXPECT_EQ(clicks, std::vector<std::string>{"Label4"});

  EXPECT_TRUE(about.Close());
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(about.IsOpen());
  EXPECT_FALSE(about.ClickLabel("lblOK")) << "closed";
  EXPECT_FALSE(about.Close()) << "closing twice runs the handler once";
  EXPECT_EQ(closes, 1);
}

TEST_F(AboutFixture, ClickAtAPointHitsTheTopmostLabelThere) {
  Show();
  // 15 twips per pixel: (210, 62) px is (3150, 930) twips, inside Label4 and lblOK.
  EXPECT_TRUE(about.ClickAt(210, 62));
  // (30, 62) px is (450, 930) twips: Label4 alone.
  EXPECT_TRUE(about.ClickAt(30, 62));
  // The right and bottom edges are outside: 4500 twips = 300 px.
  EXPECT_FALSE(about.ClickAt(300, 10));
  EXPECT_FALSE(about.ClickAt(10, 200));
  EXPECT_EQ(clicks, (std::vector<std::string>{"lblOK", "Label4"}));
}

TEST_F(AboutFixture, AHandlerThatShowsTheWindowAgainIsSafe) {
  // The click handler replaces the labels and handlers while it runs.
  about.ShowAbout(
      "First", {100, 100}, std::vector<AboutLabel>{{"a", "A", 0, 0, 100, 100, 0, false}},
      [this](std::string_view label) {
        const std::string name(label);
        Show();
        clicks.push_back(name);
      },
      [] {});
  EXPECT_TRUE(about.ClickLabel("a"));
  EXPECT_EQ(clicks, std::vector<std::string>{"a"});
  EXPECT_EQ(about.Caption(), "About My Show");
  EXPECT_EQ(about.TimesShown(), 2);
}

}  // namespace
}  // namespace vistel
