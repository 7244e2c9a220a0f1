// The about window of "/c": its texts, and that only "OK" ends the program.
#include <gtest/gtest.h>

#include <string>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

class AboutShow : public ShowFixture {
 protected:
  ShowRun Configure(const GlobalSettings& global, const std::vector<Json>& input) {
    return Play(Build({ImageScreen(1.0F)}, global),
                {"--input", InputScript(input), "--run-for", "5", "/c"});
  }
  // Label centres in screen pixels (15 twips each): "OK" and the website.
  static constexpr double kOkX = (4920 + 1215 / 2.0) / 15, kOkY = (1320 + 255 / 2.0) / 15;
  static constexpr double kWebX = (1800 + 3975 / 2.0) / 15, kWebY = (960 + 255 / 2.0) / 15;
};

TEST_F(AboutShow, OkEndsTheProgram) {
  GlobalSettings global;
  global.SaverTitle = "Tides";
  const ShowRun run = Configure(global, {ClickAt(1200, kOkX, kOkY)});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(run.Exit().contains("reason")) << "the click, not --run-for, ended the run";
  EXPECT_EQ(run.Exit()["t"].get<double>(), 1200.0);
  EXPECT_TRUE(run.Events("screen").empty());
  EXPECT_TRUE(run.Events("close").empty()) << "the show window was never there to close";
}

TEST_F(AboutShow, OtherLabelsDoNothing) {
  GlobalSettings global;
  global.WebsiteText = "www.example.com";
  const ShowRun run = Configure(global, {ClickAt(1000, kWebX, kWebY), ClickAt(1100, 30, 20),
                                         KeyAt(1200, 13), MoveAt(1300, 200, 50)});
  EXPECT_EQ(run.Exit()["reason"], "run-for");
  EXPECT_EQ(run.Events("about").size(), 1U);
}

TEST_F(AboutShow, EmptyAndWesternTextsAreShownAsTheyAre) {
  GlobalSettings global;
  global.SaverTitle = "Caf\xE9 \x93Nights\x94";  // Windows-1252 in the package
  global.PublisherName = "";
  global.WebsiteText = "";
  const ShowRun run = Configure(global, {});
  const Json about = run.First("about");
  EXPECT_EQ(about["title"], "Caf\u00E9 \u201CNights\u201D");
  EXPECT_EQ(about["publisher"], "");
  EXPECT_EQ(about["website"], "");
}

}  // namespace
}  // namespace vistel::testing
