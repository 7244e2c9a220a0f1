#include "media/ffmpeg/library_loader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "media/ffmpeg/ffmpeg_library.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"

namespace vistel {
namespace {

const char* const kAvutil = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);

struct LoadCase {
  const char* name;
  std::vector<const char*> sonames;
  std::vector<const char*> functions;
  const char* error;  // part of the error; nullptr: loads
};

void PrintTo(const LoadCase& c, std::ostream* os) {
  *os << c.name;
}

class LibraryLoaderTest : public ::testing::TestWithParam<LoadCase> {};

// A missing library or function is an error that names it, and leaves every
// address unset: no half-loaded family whose other functions would be called.
TEST_P(LibraryLoaderTest, ReportsWhatIsMissingAndResolvesAllOrNothing) {
  const LoadCase& c = GetParam();
  std::vector<std::atomic<void*>> addresses(c.functions.size());
  std::vector<LibrarySymbol> symbols;
  for (std::size_t i = 0; i < c.functions.size(); ++i) {
    symbols.push_back({c.functions[i], &addresses[i]});
  }
  auto loaded = LoadLibraries("FFmpeg", c.sonames, symbols);
  if (c.error == nullptr) {
    ASSERT_TRUE(loaded) << loaded.error().description;
  } else {
    ASSERT_FALSE(loaded);
    EXPECT_NE(loaded.error().description.find(c.error), std::string::npos)
        << loaded.error().description;
  }
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    EXPECT_EQ(addresses[i].load() != nullptr, c.error == nullptr) << c.functions[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LibraryLoaderTest,
    ::testing::Values(LoadCase{"Loads", {kAvutil}, {"av_malloc", "av_free"}, nullptr},
                      LoadCase{
                          "NoSuchLibrary",
                          {kAvutil, "libavcodec.so.1"},
                          {"av_malloc"},
                          "cannot load FFmpeg (libavcodec.so.1: cannot open shared object file"},
                      LoadCase{"NoSuchFunction",
                               {kAvutil},
                               {"av_malloc", "avcodec_open2"},
                               "cannot load FFmpeg (no function avcodec_open2 in libavutil.so."}),
    [](const auto& p) { return std::string(p.param.name); });

// A forwarding function called before its family loaded names itself and
// stops the program, rather than jumping to address zero. (A fresh process:
// nothing has loaded FFmpeg there.)
TEST(LibraryLoaderDeathTest, CallBeforeLoadingAbortsNamingTheFunction) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(av_log_set_level(AV_LOG_QUIET), "av_log_set_level called before FFmpeg was loaded");
}

}  // namespace
}  // namespace vistel
