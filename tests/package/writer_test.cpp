// The package writer against the reader: every field round trips, captions
// keep their line breaks, Singles keep their value, the example package's
// lines come out byte for byte, and what the layout cannot carry is refused.
#include "package/writer.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <variant>

#include "base/conversions.hpp"
#include "base/input_limits.hpp"
#include "package/fields.hpp"
#include "package/reader.hpp"
#include "package_fixtures.hpp"
#include "platform/native_files.hpp"
#include "tools/planted_link.hpp"

namespace vistel {
namespace {

using testing::ExampleConfiguration;
using testing::MemoryFileSystem;
using testing::MemoryInputFile;

// A distinct, non-default value for field number n of a table, so that a
// value landing in the wrong field shows.
template <class Record>
void SetDistinct(Record& record, const FieldMember<Record>& member, int n) {
  std::visit(
      [&](auto pointer) {
        auto& target = record.*pointer;
        using T = std::remove_cvref_t<decltype(target)>;
        if constexpr (std::is_same_v<T, std::string>) {
          target = "text " + std::to_string(n) + " caf\xE9";  // Windows-1252 byte
        } else if constexpr (std::is_same_v<T, bool>) {
          target = true;
        } else if constexpr (std::is_same_v<T, float>) {
          target = static_cast<float>(n) * -1.37F + 0.001F;
        } else {
          target = static_cast<T>(n % 2 == 0 ? n * 1009 : -n * 7);
        }
      },
      member);
}

template <class Record>
bool SameField(const Record& a, const Record& b, const FieldMember<Record>& member) {
  return std::visit([&](auto pointer) { return a.*pointer == b.*pointer; }, member);
}

Package EveryFieldSet() {
  Package package;
  int n = 1;
  for (const GlobalField& field : kGlobalFields) SetDistinct(package.Global, field.member, n++);
  package.Global.RandomEffects = false;  // one False among the Booleans
  for (int t = 0; t < 2; ++t) {
    AudioTrack track;
    for (const AudioField& field : kAudioFields) SetDistinct(track, field.member, n++);
    package.AudioTracks.push_back(track);
  }
  for (int s = 0; s < 2; ++s) {
    ScreenSettings screen;
    for (const ScreenField& field : kScreenFields) SetDistinct(screen, field.member, n++);
    package.Screens.push_back(screen);
  }
  return package;
}

Package ParseBack(const std::string& text) {
  Package package;
  const auto parsed = ParseConfiguration(text, package);
  EXPECT_TRUE(parsed.has_value()) << "expected the written text to parse, got: "
                                  << DescribePackageProblem(parsed.error());
  return package;
}

void ExpectSameRecords(const Package& expected, const Package& actual) {
  for (const GlobalField& field : kGlobalFields) {
    EXPECT_TRUE(SameField(expected.Global, actual.Global, field.member)) << field.name;
  }
  ASSERT_EQ(actual.AudioTracks.size(), expected.AudioTracks.size());
  for (std::size_t i = 0; i < expected.AudioTracks.size(); ++i) {
    for (const AudioField& field : kAudioFields) {
      EXPECT_TRUE(SameField(expected.AudioTracks[i], actual.AudioTracks[i], field.member))
          << "track " << i << " " << field.name;
    }
  }
  ASSERT_EQ(actual.Screens.size(), expected.Screens.size());
  for (std::size_t i = 0; i < expected.Screens.size(); ++i) {
    for (const ScreenField& field : kScreenFields) {
      EXPECT_TRUE(SameField(expected.Screens[i], actual.Screens[i], field.member))
          << "screen " << i << " " << field.name;
    }
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(text.substr(from, end - from));
  }
  EXPECT_EQ(from, text.size()) << "expected the text to end with CR LF";
  return lines;
}

std::size_t FieldCount(const std::string& line) {
  return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\xFF')) + 1;
}

TEST(FormatConfiguration, EveryFieldReadsBackIntoItsOwnPlace) {
  const Package written = EveryFieldSet();
  const auto text = FormatConfiguration(written);
  ASSERT_TRUE(text.has_value()) << text.error().description;
  ExpectSameRecords(written, ParseBack(*text));
}

TEST(FormatConfiguration, EveryLineCarriesEveryFieldNumberIncludingUnreadOnes) {
  Package package;
  package.AudioTracks.resize(1);
  package.Screens.resize(2);
  const auto text = FormatConfiguration(package);
  ASSERT_TRUE(text.has_value());
  const auto lines = SplitLines(*text);
  ASSERT_EQ(lines.size(), 1U + 1U + 2U * kGroupLineCount);
  EXPECT_EQ(FieldCount(lines[0]), 1U + kGlobalFields.size());
  EXPECT_TRUE(lines[1].starts_with("[AUDIO-FILE]\xFF"));
  EXPECT_EQ(FieldCount(lines[1]), 1U + kAudioFieldCount);
  for (std::size_t i = 0; i < 2U * kGroupLineCount; ++i) {
    const std::size_t kind = i % kGroupLineCount;
    EXPECT_TRUE(lines[2 + i].starts_with(kGroupSectionNames[kind])) << lines[2 + i];
    EXPECT_EQ(FieldCount(lines[2 + i]), 1U + static_cast<std::size_t>(kGroupFieldCounts[kind]))
        << lines[2 + i];
  }
}

TEST(FormatConfiguration, CaptionLineBreaksAreStoredAsZeroBytesAndComeBack) {
  Package package;
  package.Screens.resize(1);
  package.Screens[0].CaptionText = "two\r\nlines\r\n";
  const auto text = FormatConfiguration(package);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find(std::string("\xFFtwo\0lines\0\xFF", 12)), std::string::npos);
  EXPECT_EQ(ParseBack(*text).Screens[0].CaptionText, "two\r\nlines\r\n");
}

TEST(FormatConfiguration, TextsThatWouldBreakTheLayoutAreRefusedByName) {
  struct Case {
    const char* what;
    void (*spoil)(Package&);
    std::string named;
  };
  const Case cases[] = {
      {"0xFF",
       [](Package& p) {
         p.Global.SaverTitle =
             "a\xFF"
             "b";
       },
       "SaverTitle"},
      {"LF", [](Package& p) { p.Screens[1].CaptionFontName = "Ari\nal"; },
       "screens[1].CaptionFontName"},
      {"CR LF", [](Package& p) { p.AudioTracks[0].TrackFileName = "a\r\nb"; },
       "tracks[0].TrackFileName"},
      {"lone LF in a caption", [](Package& p) { p.Screens[0].CaptionText = "a\nb"; },
       "screens[0].CaptionText"},
      {"lone CR in a caption", [](Package& p) { p.Screens[0].CaptionText = "a\rb"; },
       "screens[0].CaptionText"},
      {"0x00 in a caption", [](Package& p) { p.Screens[0].CaptionText = std::string("a\0b", 3); },
       "screens[0].CaptionText"},
      {"infinite Single", [](Package& p) { p.Screens[1].ImageScale = INFINITY; },
       "screens[1].ImageScale"},
      {"no screens", [](Package& p) { p.Screens.clear(); }, "at least one"},
      {"too many tracks", [](Package& p) { p.AudioTracks.resize(limits::kMaxTracks + 1); },
       "at most " + std::to_string(limits::kMaxTracks)},
      {"too many screens", [](Package& p) { p.Screens.resize(limits::kMaxScreens + 1); },
       "at most " + std::to_string(limits::kMaxScreens)},
  };
  for (const Case& c : cases) {
    Package package;
    package.AudioTracks.resize(1);
    package.Screens.resize(2);
    c.spoil(package);
    const auto text = FormatConfiguration(package);
    ASSERT_FALSE(text.has_value()) << "expected " << c.what << " to be refused";
    EXPECT_NE(text.error().description.find(c.named), std::string::npos)
        << c.what << ": expected the message to name " << c.named << ", got "
        << text.error().description;
  }
}

TEST(FormatSingle, WritesTheFewestDigitsWithAPointAndNoExponent) {
  EXPECT_EQ(FormatSingle(2.000164F), "2.000164");
  EXPECT_EQ(FormatSingle(-86.17347F), "-86.17347");
  EXPECT_EQ(FormatSingle(5.0F), "5");
  EXPECT_EQ(FormatSingle(0.5F), "0.5");
  EXPECT_EQ(FormatSingle(1e10F), "10000000000");
  EXPECT_EQ(FormatSingle(1.5e-7F).find_first_of("eE"), std::string::npos);
}

TEST(FormatSingle, EveryKindOfFloatReadsBackExactly) {
  std::vector<float> values = {0.0F,
                               2.000164F,
                               2.000237F,
                               -86.17347F,
                               14.69351F,
                               std::numeric_limits<float>::max(),
                               -std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::min(),
                               std::numeric_limits<float>::denorm_min(),
                               16777217.0F,
                               0.1F,
                               1.0F / 3.0F};
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  for (int i = 0; i < 20000; ++i) {
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (std::isfinite(f)) values.push_back(f);
  }
  for (const float value : values) {
    const std::string text = FormatSingle(value);
    const auto back = TextToSingle(text);
    ASSERT_TRUE(back.has_value()) << "expected \"" << text << "\" to convert (seed " << seed << ")";
    ASSERT_EQ(std::bit_cast<std::uint32_t>(*back), std::bit_cast<std::uint32_t>(value))
        << "\"" << text << "\" read back as " << *back << " (seed " << seed << ")";
  }
}

TEST(FormatTrailer, IsTwentyDigitsZeroPadded) {
  EXPECT_EQ(FormatTrailer(14368804), "00000000000014368804");
  EXPECT_EQ(FormatTrailer(0), "00000000000000000000");
  EXPECT_EQ(FormatTrailer(std::numeric_limits<std::int32_t>::max()), "00000000002147483647");
}

// The example package: a 225,280-byte player followed by one zero byte, then
// the video.
TEST(PackageWriter, ExamplePackageComesOutLineForLine) {
  Package example;
  ASSERT_TRUE(ParseConfiguration(ExampleConfiguration(), example).has_value());

  MemoryFileSystem files;
  auto out = files.OpenWrite("out.scr", WriteMode::Truncate);
  ASSERT_TRUE(out.has_value());
  PackageWriter writer(**out);
  MemoryInputFile player(std::make_shared<const std::string>(225280, 'P'));
  MemoryInputFile clip(std::make_shared<const std::string>(5856480, 'V'));
  ASSERT_TRUE(writer.AppendPlayer(player).has_value());
  ASSERT_TRUE(writer.AppendZeroFill(1).has_value());
  const auto range = writer.AppendMedium(clip);
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->position, 225282);
  EXPECT_EQ(range->length, 5856480);
  const auto offset = writer.Finish(example);
  ASSERT_TRUE(offset.has_value()) << offset.error().description;

  const std::string& bytes = files.files.at("out.scr");
  EXPECT_EQ(bytes[225280], '\0') << "expected the zero fill after the player";
  EXPECT_EQ(bytes.substr(225281, 4), "VVVV");
  EXPECT_EQ(*offset, 225281 + 5856480);
  EXPECT_EQ(bytes.substr(bytes.size() - 20), FormatTrailer(*offset));

  // The writer leaves the unread video path (field 7) empty; all else is equal.
  std::string expected = ExampleConfiguration();
  const std::string path = "C:\\video\\clip.mpg";
  expected.erase(expected.find(path), path.size());
  const auto start = static_cast<std::size_t>(*offset);
  EXPECT_EQ(SplitLines(bytes.substr(start, bytes.size() - 20 - start)), SplitLines(expected));
}

TEST(WritePackage, MediaLandAtTheirRangesAndReadBackThroughTheReader) {
  MemoryFileSystem files;
  files.files["player"] = "PLAYER";
  files.files["bg.jpg"] = "background";
  files.files["a.png"] = "image-a";
  files.files["song.mp3"] = "music!";
  Package package = EveryFieldSet();
  PackagePlan plan{package,
                   {{MediumSlot::Background, 0, "bg.jpg", "bg0"},
                    {MediumSlot::Image, 0, "a.png", "img0"},
                    {MediumSlot::Background, 1, "bg.jpg", "bg1"},  // stored once
                    {MediumSlot::Track, 1, "song.mp3", "track1"}},
                   3};
  const auto summary = WritePackage(files, plan, "player", "out.scr");
  ASSERT_TRUE(summary.has_value()) << summary.error().description;
  EXPECT_EQ(summary->storedMedia, 3U);

  const std::string& bytes = files.files.at("out.scr");
  EXPECT_EQ(summary->fileBytes, bytes.size());
  EXPECT_TRUE(bytes.starts_with("PLAYER"));
  const auto at = [&](std::int32_t position, std::int32_t length) {
    return bytes.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length));
  };
  const Package& out = summary->package;
  EXPECT_EQ(out.Screens[0].BackgroundPosition, 7);
  EXPECT_EQ(at(out.Screens[0].BackgroundPosition, out.Screens[0].BackgroundLength), "background");
  EXPECT_EQ(at(out.Screens[0].ImagePosition, out.Screens[0].ImageLength), "image-a");
  EXPECT_EQ(out.Screens[1].BackgroundPosition, out.Screens[0].BackgroundPosition);
  EXPECT_EQ(at(out.AudioTracks[1].TrackPosition, out.AudioTracks[1].TrackLength), "music!");
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(out.ConfigOffset) - 3, 3), std::string(3, '\0'))
      << "expected the zero fill just before the configuration text";
  // Ranges the plan does not name stay as the records gave them.
  EXPECT_EQ(out.Screens[1].ImagePosition, package.Screens[1].ImagePosition);

  Package reread;
  MemoryInputFile file(std::make_shared<const std::string>(bytes));
  ASSERT_TRUE(ReadPackageFile(file, reread).has_value());
  EXPECT_EQ(reread.ConfigOffset, out.ConfigOffset);
  ExpectSameRecords(out, reread);
}

TEST(WritePackage, RefusesBeforeWritingAndLeavesNothingBehind) {
  MemoryFileSystem files;
  files.files["player"] = "PLAYER";
  files.files["empty.png"] = "";
  Package package;
  package.Screens.resize(1);

  const auto missing =
      WritePackage(files, {package, {{MediumSlot::Image, 0, "nope.png", "screens[0].image"}}, 0},
                   "player", "out");
  ASSERT_FALSE(missing.has_value());
  EXPECT_NE(missing.error().description.find("screens[0].image 'nope.png'"), std::string::npos)
      << missing.error().description;

  const auto empty =
      WritePackage(files, {package, {{MediumSlot::Image, 0, "empty.png", "screens[0].image"}}, 0},
                   "player", "out");
  ASSERT_FALSE(empty.has_value());
  EXPECT_NE(empty.error().description.find("is empty"), std::string::npos);

  const auto badIndex = WritePackage(
      files, {package, {{MediumSlot::Image, 3, "empty.png", "x"}}, 0}, "player", "out");
  EXPECT_FALSE(badIndex.has_value());

  const auto noPlayer = WritePackage(files, {package, {}, 0}, "missing-player", "out");
  ASSERT_FALSE(noPlayer.has_value());
  EXPECT_NE(noPlayer.error().description.find("player"), std::string::npos);

  package.Global.PublisherName = "\xFF";
  EXPECT_FALSE(WritePackage(files, {package, {}, 0}, "player", "out").has_value());

  EXPECT_EQ(files.files.size(), 2U) << "expected only the player and the empty medium";
}

// Links planted at the package's name and at the temporary name an earlier
// version wrote to: the build never creates or changes the file a link points
// at; a link at the package's name is replaced by the package.
struct PlantedLink {
  const char* at;
  bool live;
};

class WritePackageLinkTest : public ::testing::TestWithParam<PlantedLink> {};

TEST_P(WritePackageLinkTest, NeverWritesThroughALink) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("vistel-writer-links-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "elsewhere");
  const fs::path victim = folder / "elsewhere" / "victim";
  if (GetParam().live) std::ofstream(victim, std::ios::binary) << "precious";
  VISTEL_PLANT_LINK_OR_SKIP(victim, folder / GetParam().at);
  std::ofstream(folder / "player", std::ios::binary) << "PLAYER";
  std::ofstream(folder / "a.png", std::ios::binary) << "image-a";
  Package package;
  package.Screens.resize(1);
  const std::string out = (folder / "out.scr").string();
  auto files = MakeNativeFileSystem();

  const auto summary = WritePackage(
      *files, {package, {{MediumSlot::Image, 0, (folder / "a.png").string(), "img"}}, 0},
      (folder / "player").string(), out);
  ASSERT_TRUE(summary.has_value()) << summary.error().description;
  if (GetParam().live) {
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious")
        << "written through the link";
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  EXPECT_FALSE(fs::is_symlink(out));
  EXPECT_EQ(fs::file_size(out), summary->fileBytes);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Planted, WritePackageLinkTest,
    ::testing::Values(PlantedLink{"out.scr.part", false}, PlantedLink{"out.scr.part", true},
                      PlantedLink{"out.scr", false}, PlantedLink{"out.scr", true}),
    [](const auto& c) {
      return std::string(c.param.at == std::string_view("out.scr") ? "AtThePackage"
                                                                   : "AtTheOldTemporaryName") +
             (c.param.live ? "Live" : "Dangling");
    });

// An output that counts bytes and keeps none: for the 2 GiB limits.
class CountingOutput final : public OutputFile {
 public:
  std::uint64_t bytes = 0;
  Status Write(std::span<const std::byte> data) override {
    bytes += data.size();
    return {};
  }
  Status Close() override { return {}; }
};

// A medium that claims a size and must never be read.
class ClaimedSizeFile final : public InputFile {
 public:
  explicit ClaimedSizeFile(std::uint64_t size) : size_(size) {}
  std::uint64_t Size() const override { return size_; }
  Result<std::size_t> ReadAt(std::uint64_t, std::span<std::byte>) override {
    ADD_FAILURE() << "expected the medium to be refused before it is read";
    return std::size_t{0};
  }

 private:
  std::uint64_t size_;
};

TEST(PackageWriter, PositionsLengthsAndTheOffsetMustFit32Bits) {
  constexpr std::uint64_t kLongMax = std::numeric_limits<std::int32_t>::max();
  Package package;
  package.Screens.resize(1);
  MemoryInputFile player(std::make_shared<const std::string>("P"));

  {
    CountingOutput out;
    PackageWriter writer(out);
    ASSERT_TRUE(writer.AppendPlayer(player).has_value());
    ClaimedSizeFile huge(kLongMax + 1);
    EXPECT_FALSE(writer.AppendMedium(huge).has_value());
  }
  {
    CountingOutput out;
    PackageWriter writer(out);
    ASSERT_TRUE(writer.AppendPlayer(player).has_value());
    ASSERT_TRUE(writer.AppendZeroFill(kLongMax - 1).has_value());  // next position: 2^31
    ClaimedSizeFile small(1);
    EXPECT_FALSE(writer.AppendMedium(small).has_value());
    EXPECT_EQ(out.bytes, kLongMax);
    // The text may still start at offset 2^31 - 1: the trailer's largest value.
    const auto offset = writer.Finish(package);
    ASSERT_TRUE(offset.has_value()) << offset.error().description;
    EXPECT_EQ(*offset, std::numeric_limits<std::int32_t>::max());
  }
  {
    CountingOutput out;
    PackageWriter writer(out);
    ASSERT_TRUE(writer.AppendPlayer(player).has_value());
    ASSERT_TRUE(writer.AppendZeroFill(kLongMax).has_value());
    EXPECT_FALSE(writer.Finish(package).has_value());
  }
}

TEST(PackageWriter, StretchesComeInFileOrderOnly) {
  Package package;
  package.Screens.resize(1);
  MemoryInputFile player(std::make_shared<const std::string>("P"));
  MemoryInputFile medium(std::make_shared<const std::string>("M"));
  CountingOutput out;
  PackageWriter writer(out);
  EXPECT_FALSE(writer.AppendMedium(medium).has_value()) << "expected the player first";
  EXPECT_FALSE(writer.Finish(package).has_value());
  ASSERT_TRUE(writer.AppendPlayer(player).has_value());
  EXPECT_FALSE(writer.AppendPlayer(player).has_value()) << "expected one player only";
  ASSERT_TRUE(writer.Finish(package).has_value());
  EXPECT_FALSE(writer.AppendMedium(medium).has_value()) << "expected nothing after the text";
}

}  // namespace
}  // namespace vistel
