// Reading a package file: the trailer, the bounds it must respect, finding the
// player's own file, and LoadPackage's one way of refusing a broken package.
#include "package/reader.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "package/extract.hpp"
#include "package_fixtures.hpp"

namespace vistel {
namespace {

using testing::ExampleConfiguration;
using testing::FakeProcess;
using testing::MemoryFileSystem;
using testing::MemoryInputFile;
using testing::PackageBytes;
using testing::PackageOf;
using testing::RecordingMessageBoxes;
using testing::Trailer;

expected<void, PackageProblem> ReadBytes(const std::string& bytes, Package& package) {
  MemoryInputFile file(std::make_shared<const std::string>(bytes));
  return ReadPackageFile(file, package);
}

std::optional<PackageProblem> ProblemOf(const std::string& bytes) {
  Package package;
  const auto result = ReadBytes(bytes, package);
  if (result) return std::nullopt;
  return result.error();
}

// A file of any size whose only readable content is its trailer; it counts
// every read outside the trailer.
class SparseInputFile final : public InputFile {
 public:
  SparseInputFile(std::uint64_t size, std::string trailer)
      : size_(size), trailer_(std::move(trailer)) {}
  std::uint64_t Size() const override { return size_; }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset == size_ - trailer_.size() && buffer.size() == trailer_.size()) {
      std::memcpy(buffer.data(), trailer_.data(), trailer_.size());
      return trailer_.size();
    }
    ++otherReads;
    return Fail(ErrorCode::DeviceIoError);
  }
  int otherReads = 0;

 private:
  std::uint64_t size_;
  std::string trailer_;
};

// The example show laid out as its authoring tool did: a 225,280-byte
// player, one zero byte, the video at 1-based position 225282, zero fill up
// to the configuration text at offset 14,368,804.
TEST(ReadPackageFile, ExamplePackageReadsAndItsVideoExtractsExactly) {
  PackageBytes bytes(std::string(225280, 'P'));
  bytes.AddZeroFill(1);
  std::string video(5856480, '\0');
  for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>((i * 131 + 7) % 251);
  video.replace(0, 4, std::string("\x00\x00\x01\xBA", 4));  // an MPEG pack start
  ASSERT_EQ(bytes.AddMedium(video), 225282);
  bytes.AddZeroFill(14368804 - bytes.Size());
  const std::string file = bytes.Finish(ExampleConfiguration());
  ASSERT_EQ(file.substr(file.size() - 20), "00000000000014368804");

  MemoryFileSystem files;
  files.files["/savers/Show.scr"] = file;
  Package package;
  auto opened = files.OpenRead("/savers/Show.scr");
  ASSERT_TRUE(opened.has_value());
  ASSERT_TRUE(ReadPackageFile(**opened, package).has_value());
  EXPECT_EQ(package.ConfigOffset, 14368804);
  ASSERT_EQ(package.Screens.size(), 1U);
  const ScreenSettings& screen = package.Screens[0];
  EXPECT_EQ(screen.ScreenKind, 1);
  EXPECT_EQ(screen.VideoPosition, 225282);
  EXPECT_EQ(screen.VideoLength, 5856480);

  NullTrace trace;
  const ExtractResult result = ExtractMedium(files, "/savers/Show.scr", screen.VideoPosition,
                                             screen.VideoLength, "/tmp/vid", trace);
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(result.written, 5856480U);
  EXPECT_TRUE(files.files["/tmp/vid"] == video)
      << "expected exactly the video's bytes, got " << files.files["/tmp/vid"].size() << " bytes";
}

TEST(ReadPackageFile, TrailerMustBeTwentyDigitsInsideTheFile) {
  const std::string config = ExampleConfiguration();
  const std::string good = PackageOf(config);
  ASSERT_EQ(ProblemOf(good), std::nullopt);

  EXPECT_EQ(ProblemOf(""), PackageProblem::ShorterThanTrailer);
  EXPECT_EQ(ProblemOf(std::string(19, '0')), PackageProblem::ShorterThanTrailer);
  EXPECT_EQ(ProblemOf(std::string(20, '0')), PackageProblem::NoScreenGroup) << "an empty text";

  const auto withTrailer = [&](const std::string& trailer) { return config + trailer; };
  EXPECT_EQ(ProblemOf(withTrailer(" 0000000000000000000")), PackageProblem::TrailerNotDigits);
  EXPECT_EQ(ProblemOf(withTrailer("-0000000000000000001")), PackageProblem::TrailerNotDigits);
  EXPECT_EQ(ProblemOf(withTrailer("0000000000000000000x")), PackageProblem::TrailerNotDigits);
  EXPECT_EQ(ProblemOf(config + "000000000000000000\r\n"), PackageProblem::TrailerNotDigits);
  // A text of any kind in place of the trailer: the original read it as 0.
  EXPECT_EQ(ProblemOf(config), PackageProblem::TrailerNotDigits);

  EXPECT_EQ(ProblemOf(withTrailer(Trailer(config.size() + 1))), PackageProblem::TrailerOutOfRange)
      << "an offset past the trailer";
  EXPECT_EQ(ProblemOf(withTrailer(Trailer(config.size()))), PackageProblem::NoScreenGroup)
      << "an offset right at the trailer leaves an empty text";
  EXPECT_EQ(ProblemOf(withTrailer(Trailer(2147483648ULL))), PackageProblem::TrailerOutOfRange);
  EXPECT_EQ(ProblemOf(withTrailer("99999999999999999999")), PackageProblem::TrailerOutOfRange)
      << "twenty nines must not wrap around to a small offset";
  EXPECT_EQ(ProblemOf(withTrailer("18446744073709551617")), PackageProblem::TrailerOutOfRange)
      << "2^64 + 1 must not wrap around to offset 1";
}

TEST(ReadPackageFile, HugeConfigurationIsRefusedBeforeAnythingIsRead) {
  // Offset 0 in a 5 GiB file would make a text of 5 GiB.
  SparseInputFile file((std::uint64_t{5} << 30) + 20, Trailer(0));
  Package package;
  const auto result = ReadPackageFile(file, package);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), PackageProblem::ConfigurationTooLarge);
  EXPECT_EQ(file.otherReads, 0);

  // The largest offset a package may hold still leaves a text too large here.
  SparseInputFile large((std::uint64_t{3} << 31), Trailer(2147483647));
  const auto atLimit = ReadPackageFile(large, package);
  ASSERT_FALSE(atLimit.has_value());
  EXPECT_EQ(atLimit.error(), PackageProblem::ConfigurationTooLarge);
}

TEST(ReadPackageFile, FailedReadsAreUnreadable) {
  // The trailer reads, the text does not.
  SparseInputFile file(1000, Trailer(100));
  Package package;
  const auto result = ReadPackageFile(file, package);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), PackageProblem::Unreadable);
}

TEST(ReadPackageFile, MediaAndZeroFillBeforeTheTextAreNeverRead) {
  PackageBytes bytes;
  bytes.AddMedium(std::string(1000, '\xFF'));  // separators and line ends galore
  bytes.AddMedium("\r\n[AUDIO-FILE]\r\n");
  bytes.AddZeroFill(300);
  Package package;
  ASSERT_TRUE(ReadBytes(bytes.Finish(ExampleConfiguration()), package).has_value());
  EXPECT_EQ(package.ConfigOffset, 64 + 1000 + 16 + 300);
  EXPECT_EQ(package.Screens.size(), 1U);
  EXPECT_TRUE(package.AudioTracks.empty());
}

TEST(FindOwnPackageFile, PrefersScrAndFallsBackToAnExeOfTheSameName) {
  MemoryFileSystem files;
  const FakeProcess process("/opt/savers", "Show");
  EXPECT_EQ(FindOwnPackageFile(files, process), "/opt/savers/Show.scr") << "neither exists";

  files.files["/opt/savers/Show.exe"] = "x";
  EXPECT_EQ(FindOwnPackageFile(files, process), "/opt/savers/Show.exe") << "only the .exe";

  files.files["/opt/savers/Show.scr"] = "x";
  EXPECT_EQ(FindOwnPackageFile(files, process), "/opt/savers/Show.scr") << "both";

  const FakeProcess withSlash("/opt/savers/", "Show");
  EXPECT_EQ(FindOwnPackageFile(files, withSlash), "/opt/savers/Show.scr");
  const FakeProcess windows("C:\\WINDOWS\\", "Show", '\\');
  EXPECT_EQ(FindOwnPackageFile(files, windows), "C:\\WINDOWS\\Show.scr");
  const FakeProcess windowsRoot("C:", "Show", '\\');
  EXPECT_EQ(FindOwnPackageFile(files, windowsRoot), "C:\\Show.scr");
}

class LoadPackageTest : public ::testing::Test {
 protected:
  MemoryFileSystem files;
  FakeProcess process{"/opt/savers", "Show"};
  RecordingMessageBoxes messages;
  int hides = 0;
  int pumps = 0;
  bool hiddenBeforeMessage = false;
  std::vector<PackageProblem> explained;
  bool explainedBeforeMessage = false;
  PackageReaderServices services{files,
                                 process,
                                 messages,
                                 [this] { ++hides; },
                                 [this] { ++pumps; },
                                 [this](PackageProblem p) { explained.push_back(p); }};

  void SetUp() override {
    messages.onShow = [this] {
      hiddenBeforeMessage = hides > 0;
      explainedBeforeMessage = !explained.empty();
    };
  }

  void ExpectRefused(PackageLoad result, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(result, PackageLoad::Refused);
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text,
              "Invalid screen saver file.  Please ensure this file is a *.scr file.");
    EXPECT_EQ(messages.shown[0].style, 0x30U);
    EXPECT_EQ(messages.shown[0].title, "") << "the default caption";
    EXPECT_TRUE(hiddenBeforeMessage) << "the show window hides before the message";
  }
};

TEST_F(LoadPackageTest, ReadsThePlayersOwnPackage) {
  const std::string text =
      testing::Text({testing::Line({"[GLOBAL]", "Pub", "Title", "Web", "True", "True", "True"}),
                     testing::Line({"[AUDIO-FILE]", "3", "1", "a.mid", "0"}),
                     testing::Line({"[AUDIO-FILE]", "3", "1", "b.mid", "0"})}) +
      ExampleConfiguration().substr(ExampleConfiguration().find("\r\n") + 2);
  files.files["/opt/savers/Show.scr"] = PackageOf(text);
  Package package;
  EXPECT_EQ(LoadPackage(services, std::nullopt, package), PackageLoad::Loaded);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(hides, 0);
  EXPECT_EQ(pumps, 2) << "events are pumped after each audio line";
  EXPECT_EQ(package.PackageFileName, "/opt/savers/Show.scr");
  EXPECT_EQ(package.Global.SaverTitle, "Title");
  EXPECT_TRUE(package.Global.RepeatAudio);
  EXPECT_EQ(package.AudioTracks.size(), 2U);
  EXPECT_EQ(package.Screens.size(), 1U);
}

TEST_F(LoadPackageTest, ExplicitPathReplacesTheSearch) {
  files.files["/elsewhere/show.bin"] = PackageOf(ExampleConfiguration());
  Package package;
  EXPECT_EQ(LoadPackage(services, std::string("/elsewhere/show.bin"), package),
            PackageLoad::Loaded);
  EXPECT_EQ(package.PackageFileName, "/elsewhere/show.bin");
  EXPECT_EQ(package.Screens.size(), 1U);
}

TEST_F(LoadPackageTest, MissingFileIsRefusedWithoutOpeningAnything) {
  Package package;
  ExpectRefused(LoadPackage(services, std::nullopt, package), "missing");
  EXPECT_EQ(package.PackageFileName, "/opt/savers/Show.scr");
  EXPECT_EQ(files.opensForRead, 0);
}

TEST_F(LoadPackageTest, UnreadableFileIsRefused) {
  files.files["/opt/savers/Show.scr"] = PackageOf(ExampleConfiguration());
  files.unreadable.insert("/opt/savers/Show.scr");
  Package package;
  ExpectRefused(LoadPackage(services, std::nullopt, package), "unreadable");
}

TEST_F(LoadPackageTest, EveryBrokenLayoutIsRefusedTheSameWay) {
  const std::string config = ExampleConfiguration();
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"shorter than the trailer", "0000"},
      {"trailer not digits", config + "abcdefghijklmnopqrst"},
      {"offset past the trailer", config + Trailer(config.size() + 5)},
      {"offset beyond 32 bits", config + "00000000004294967296"},
      {"no screen group", PackageOf(testing::Text({testing::Line({"[GLOBAL]", "a"})}))},
      {"music but no screen group",
       PackageOf(testing::Text({"[GLOBAL]", testing::Line({"[AUDIO-FILE]", "1", "1", "a"})}))},
  };
  for (const auto& c : cases) {
    messages.shown.clear();
    hides = 0;
    hiddenBeforeMessage = false;
    files.files["/opt/savers/Show.scr"] = c.bytes;
    Package package;
    ExpectRefused(LoadPackage(services, std::nullopt, package), c.what);
  }
}

// The message words every refusal alike; the explanation must say which one
// it was, so that a missing file is not reported as a broken one.
TEST_F(LoadPackageTest, EachRefusalIsExplainedWithItsOwnReason) {
  const std::string config = ExampleConfiguration();
  const struct {
    const char* what;
    std::optional<std::string> bytes;  // none: no such file
    bool unreadable;
    PackageProblem reason;
  } cases[] = {
      {"missing", std::nullopt, false, PackageProblem::MissingFile},
      {"unreadable", PackageOf(config), true, PackageProblem::Unreadable},
      {"trailer not digits", config + "abcdefghijklmnopqrst", false,
       PackageProblem::TrailerNotDigits},
      {"no screen group", PackageOf(testing::Text({testing::Line({"[GLOBAL]", "a"})})), false,
       PackageProblem::NoScreenGroup},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    files.files.clear();
    files.unreadable.clear();
    if (c.bytes) files.files["/opt/savers/Show.scr"] = *c.bytes;
    if (c.unreadable) files.unreadable.insert("/opt/savers/Show.scr");
    messages.shown.clear();
    explained.clear();
    explainedBeforeMessage = false;
    Package package;
    EXPECT_EQ(LoadPackage(services, std::nullopt, package), PackageLoad::Refused);
    ASSERT_EQ(explained.size(), 1U) << "one explanation per refusal";
    EXPECT_EQ(explained[0], c.reason) << "explained as: " << DescribePackageProblem(explained[0]);
    EXPECT_TRUE(explainedBeforeMessage) << "the reason is out before the message waits for OK";
    EXPECT_EQ(messages.shown.size(), 1U) << "the message itself is still shown";
  }
}

}  // namespace
}  // namespace vistel
