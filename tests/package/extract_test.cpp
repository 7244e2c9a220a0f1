// Media extraction on real files: exact byte ranges, replacement of the
// target, ranges at and past the end of the package, and the trace event.
#include "package/extract.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "package_fixtures.hpp"
#include "platform/native_files.hpp"
#include "tools/planted_link.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;
using testing::MemoryFileSystem;
using testing::PackageBytes;
using testing::RecordingTrace;

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ExtractMediumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / ("vistel-extract-" + std::string(test->name()) + "-" +
                                           std::to_string(std::random_device{}()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);

    PackageBytes bytes("PLAYER");
    imagePosition_ = bytes.AddMedium("IMAGE-BYTES");
    videoPosition_ = bytes.AddMedium("VIDEO");
    const std::string package = bytes.Finish("[GLOBAL]\r\n");
    configByte_ = package[bytes.Size()];
    packageSize_ = package.size();
    WriteWhole(PackagePath(), package);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string PackagePath() const { return (folder_ / "show.scr").string(); }
  std::string Target(const char* name) const { return (folder_ / name).string(); }

  ExtractResult Extract(std::int32_t position, std::int32_t length, const std::string& target) {
    return ExtractMedium(*files_, PackagePath(), position, length, target, trace_);
  }

  fs::path folder_;
  std::unique_ptr<FileSystem> files_ = MakeNativeFileSystem();
  RecordingTrace trace_;
  std::int64_t imagePosition_ = 0;
  std::int64_t videoPosition_ = 0;
  char configByte_ = 0;
  std::size_t packageSize_ = 0;
};

TEST_F(ExtractMediumTest, CopiesExactlyTheMediumsBytes) {
  const std::string vid = Target("vid");
  const ExtractResult result = Extract(static_cast<std::int32_t>(videoPosition_), 5, vid);
  // The medium's last byte is the last one before the configuration text; the
  // original's copy carried one byte of that text as well.
  EXPECT_EQ(ReadWhole(vid), "VIDEO");
  EXPECT_EQ(result.written, 5U);
  EXPECT_TRUE(result.complete);

  const std::string img = Target("img");
  EXPECT_TRUE(Extract(static_cast<std::int32_t>(imagePosition_), 11, img).complete);
  EXPECT_EQ(ReadWhole(img), "IMAGE-BYTES");
}

TEST_F(ExtractMediumTest, ZeroLengthMakesAnEmptyFile) {
  const std::string bg = Target("bg");
  WriteWhole(bg, "old background");
  const ExtractResult result = Extract(static_cast<std::int32_t>(imagePosition_), 0, bg);
  EXPECT_TRUE(fs::exists(bg));
  EXPECT_EQ(fs::file_size(bg), 0U) << "expected an empty file, not one stray byte";
  EXPECT_TRUE(result.complete);
}

TEST_F(ExtractMediumTest, ExtractingTwiceToTheSameNameLeavesOnlyTheSecondCopy) {
  const std::string img = Target("img");
  Extract(static_cast<std::int32_t>(imagePosition_), 11, img);
  Extract(static_cast<std::int32_t>(videoPosition_), 5, img);
  EXPECT_EQ(ReadWhole(img), "VIDEO") << "no tail of the longer first copy may remain";
}

TEST_F(ExtractMediumTest, PositionZeroAndOneBothStartAtTheFirstByte) {
  EXPECT_EQ((Extract(0, 6, Target("a")), ReadWhole(Target("a"))), "PLAYER");
  EXPECT_EQ((Extract(1, 6, Target("b")), ReadWhole(Target("b"))), "PLAYER");
}

TEST_F(ExtractMediumTest, RangePastTheEndIsCopiedAsFarAsItExists) {
  const std::string vid = Target("vid");
  const auto lastTwenty = static_cast<std::int32_t>(packageSize_ - 19);
  const ExtractResult result = Extract(lastTwenty, 1000, vid);
  EXPECT_EQ(result.written, 20U);
  EXPECT_FALSE(result.complete);
  EXPECT_EQ(ReadWhole(vid).size(), 20U);

  const ExtractResult beyond = Extract(static_cast<std::int32_t>(packageSize_ + 10), 4, vid);
  EXPECT_EQ(beyond.written, 0U);
  EXPECT_FALSE(beyond.complete);
  EXPECT_TRUE(fs::exists(vid));
  EXPECT_EQ(fs::file_size(vid), 0U);

  const ExtractResult huge = Extract(2, 2147483647, vid);
  EXPECT_EQ(huge.written, packageSize_ - 1);
  EXPECT_FALSE(huge.complete);
}

TEST_F(ExtractMediumTest, NegativeLengthOrPositionCopiesNothing) {
  const std::string img = Target("img");
  WriteWhole(img, "previous");
  const ExtractResult negativeLength = Extract(1, -5, img);
  EXPECT_EQ(negativeLength.written, 0U);
  EXPECT_FALSE(negativeLength.complete);
  EXPECT_EQ(ReadWhole(img), "");

  const ExtractResult negativePosition = Extract(-1, 5, img);
  EXPECT_EQ(negativePosition.written, 0U);
  EXPECT_FALSE(negativePosition.complete);
}

TEST_F(ExtractMediumTest, MissingPackageOrTargetFolderIsSkippedSilently) {
  const std::string vid = Target("vid");
  WriteWhole(vid, "stale video");
  const ExtractResult missing = ExtractMedium(*files_, Target("nope.scr"), 1, 5, vid, trace_);
  EXPECT_EQ(missing.written, 0U);
  EXPECT_FALSE(missing.complete);
  EXPECT_EQ(ReadWhole(vid), "") << "a stale medium of an earlier screen must not be shown";

  const ExtractResult noFolder = Extract(1, 5, (folder_ / "no" / "such" / "vid").string());
  EXPECT_EQ(noFolder.written, 0U);
  EXPECT_FALSE(noFolder.complete);
}

TEST_F(ExtractMediumTest, WritesTheExtractTraceEvent) {
  const std::string vid = Target("vid");
  Extract(static_cast<std::int32_t>(videoPosition_), 9, vid);
  ASSERT_EQ(trace_.events.size(), 1U);
  const auto& event = trace_.events[0];
  EXPECT_EQ(event.ev, "extract");
  EXPECT_EQ(std::get<std::string>(event.fields.at("file")), vid);
  EXPECT_EQ(std::get<std::int64_t>(event.fields.at("position")), videoPosition_);
  EXPECT_EQ(std::get<std::int64_t>(event.fields.at("length")), 9);
  // Five bytes of video, then the configuration text's first four.
  EXPECT_EQ(std::get<std::int64_t>(event.fields.at("written")), 9);
  EXPECT_EQ(ReadWhole(vid).substr(5, 1), std::string(1, configByte_));
}

TEST_F(ExtractMediumTest, MediaLargerThanOneChunkCopyExactly) {
  std::string medium(kExtractChunkBytes * 2 + kExtractChunkBytes / 2 + 3, '\0');
  for (std::size_t i = 0; i < medium.size(); ++i) medium[i] = static_cast<char>(i * 7 % 253);
  PackageBytes bytes;
  const auto position = static_cast<std::int32_t>(bytes.AddMedium(medium));
  WriteWhole(PackagePath(), bytes.Finish("cfg"));
  const std::string vid = Target("vid");
  const ExtractResult result = Extract(position, static_cast<std::int32_t>(medium.size()), vid);
  EXPECT_TRUE(result.complete);
  EXPECT_TRUE(ReadWhole(vid) == medium) << "the copy differs from the medium";
}

// A link planted at a temporary file's name, pointing at a file elsewhere
// that does not exist yet (dangling) or holds something (live): extraction
// replaces the link with the medium and never creates or changes the file it
// points at.
enum class Planted { Dangling, Live };
struct PlantedLink {
  const char* name;
  Planted kind;
};

class ExtractThroughLinkTest : public ExtractMediumTest,
                               public ::testing::WithParamInterface<PlantedLink> {};

TEST_P(ExtractThroughLinkTest, ReplacesTheLinkAndLeavesItsTargetAlone) {
  const fs::path elsewhere = folder_ / "elsewhere";
  fs::create_directories(elsewhere);
  const fs::path victim = elsewhere / "victim";
  if (GetParam().kind == Planted::Live) WriteWhole(victim, "precious");
  const std::string target = Target(GetParam().name);
  VISTEL_PLANT_LINK_OR_SKIP(victim, target);

  const ExtractResult result = Extract(static_cast<std::int32_t>(videoPosition_), 5, target);
  if (GetParam().kind == Planted::Live) {
    EXPECT_EQ(ReadWhole(victim), "precious") << "written through the link";
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  EXPECT_FALSE(fs::is_symlink(target)) << "expected the link replaced by the medium";
  EXPECT_EQ(ReadWhole(target), "VIDEO");
  EXPECT_TRUE(result.complete);
}

INSTANTIATE_TEST_SUITE_P(
    TemporaryNames, ExtractThroughLinkTest,
    ::testing::Values(PlantedLink{"bg", Planted::Dangling}, PlantedLink{"img", Planted::Dangling},
                      PlantedLink{"vid", Planted::Dangling},
                      PlantedLink{"audio.mp3", Planted::Dangling}, PlantedLink{"bg", Planted::Live},
                      PlantedLink{"img", Planted::Live}, PlantedLink{"vid", Planted::Live},
                      PlantedLink{"audio.mid", Planted::Live}),
    [](const auto& c) {
      std::string name = c.param.name;
      std::replace(name.begin(), name.end(), '.', '_');
      return name + (c.param.kind == Planted::Live ? "_live" : "_dangling");
    });

// A package that exists only as a size: reads produce a pattern, and the
// largest buffer asked for is recorded.
class PatternFile final : public InputFile {
 public:
  explicit PatternFile(std::uint64_t size, std::size_t* largestRead)
      : size_(size), largestRead_(largestRead) {}
  std::uint64_t Size() const override { return size_; }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    *largestRead_ = std::max(*largestRead_, buffer.size());
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size_ - offset));
    std::fill_n(buffer.begin(), count, std::byte{0x5A});
    return count;
  }

 private:
  std::uint64_t size_;
  std::size_t* largestRead_;
};

class CountingSink final : public OutputFile {
 public:
  explicit CountingSink(std::uint64_t* total) : total_(total) {}
  Status Write(std::span<const std::byte> bytes) override {
    *total_ += bytes.size();
    return {};
  }
  Status Close() override { return {}; }

 private:
  std::uint64_t* total_;
};

class PatternFileSystem final : public FileSystem {
 public:
  std::size_t largestRead = 0;
  std::uint64_t written = 0;
  bool Exists(std::string_view) override { return false; }
  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view) override {
    return std::unique_ptr<InputFile>(
        std::make_unique<PatternFile>(std::uint64_t{3} << 30, &largestRead));
  }
  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view, WriteMode) override {
    return std::unique_ptr<OutputFile>(std::make_unique<CountingSink>(&written));
  }
  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    return FreshOutput{std::string(beside) + ".fresh", std::make_unique<CountingSink>(&written)};
  }
  Status Remove(std::string_view) override { return {}; }
  Status Rename(std::string_view, std::string_view) override { return {}; }
  Status CreateDirectories(std::string_view) override { return {}; }
};

TEST(ExtractMediumStreaming, LargeMediaPassThroughABoundedBuffer) {
  PatternFileSystem files;
  NullTrace trace;
  const std::int32_t length = 96 << 20;
  const ExtractResult result = ExtractMedium(files, "pkg", 1 << 30, length, "vid", trace);
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(files.written, static_cast<std::uint64_t>(length));
  EXPECT_LE(files.largestRead, kExtractChunkBytes)
      << "expected reads of at most one chunk, got " << files.largestRead << " bytes";
}

TEST(ExtractMediumInMemory, TargetThatCannotBeCreatedLeavesNothingBehind) {
  MemoryFileSystem files;
  files.files["pkg"] = PackageBytes("ABC").Finish("cfg");
  files.unwritable.insert("vid");
  RecordingTrace trace;
  const ExtractResult result = ExtractMedium(files, "pkg", 1, 3, "vid", trace);
  EXPECT_EQ(result.written, 0U);
  EXPECT_FALSE(result.complete);
  EXPECT_FALSE(files.Exists("vid"));
  ASSERT_EQ(trace.events.size(), 1U) << "a skipped extraction is still traced";
  EXPECT_EQ(std::get<std::int64_t>(trace.events[0].fields.at("written")), 0);
}

}  // namespace
}  // namespace vistel
