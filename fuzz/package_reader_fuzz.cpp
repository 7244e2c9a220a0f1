// Fuzzes the package reader on whole package files held in memory: the
// trailer, the bounds checks and the configuration parser, the check of the
// player in front, then extraction of every medium the records name, and the
// plan of a repack behind another
// player. Whatever the bytes, reading must end, stay inside the file and
// either refuse the package or give at least one screen; a repack plan keeps
// the show and moves only bytes of the media stretch.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "package/extract.hpp"
#include "package/media_check.hpp"
#include "package/player_file.hpp"
#include "package/reader.hpp"
#include "package/repack.hpp"
#include "scratch_file.hpp"

namespace {

using namespace vistel;
using fuzz::Require;

class BytesFile final : public InputFile {
 public:
  explicit BytesFile(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset >= bytes_.size()) return std::size_t{0};
    const std::size_t count = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
    std::memcpy(buffer.data(), bytes_.data() + offset, count);
    return count;
  }

 private:
  std::string_view bytes_;
};

class CountingOutput final : public OutputFile {
 public:
  explicit CountingOutput(std::uint64_t& total) : total_(total) {}
  Status Write(std::span<const std::byte> bytes) override {
    total_ += bytes.size();
    return {};
  }
  Status Close() override { return {}; }

 private:
  std::uint64_t& total_;
};

// The package is the fuzz input; every target file only counts its bytes.
class FuzzFiles final : public FileSystem {
 public:
  explicit FuzzFiles(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t written = 0;
  bool Exists(std::string_view) override { return true; }
  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view) override {
    return std::unique_ptr<InputFile>(std::make_unique<BytesFile>(bytes_));
  }
  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view, WriteMode) override {
    written = 0;
    return std::unique_ptr<OutputFile>(std::make_unique<CountingOutput>(written));
  }
  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    written = 0;
    return FreshOutput{std::string(beside) + ".fresh", std::make_unique<CountingOutput>(written)};
  }
  Status Remove(std::string_view) override { return {}; }
  Status Rename(std::string_view, std::string_view) override { return {}; }
  Status CreateDirectories(std::string_view) override { return {}; }

 private:
  std::string_view bytes_;
};

void ExtractWithinBounds(FuzzFiles& files, std::uint64_t size, std::int32_t position,
                         std::int32_t length) {
  NullTrace trace;
  const ExtractResult result = ExtractMedium(files, "package", position, length, "medium", trace);
  Require(result.written == files.written);
  Require(result.written <= size);
  Require(length < 0 || result.written <= static_cast<std::uint64_t>(length));
  Require(!result.complete || result.written == static_cast<std::uint64_t>(length));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The input as a configuration text of its own.
  Package direct;
  if (ParseConfiguration(bytes, direct)) Require(!direct.Screens.empty());

  // The input as a whole package file.
  BytesFile file(bytes);
  // Its start as the player of a package: a kind, or a refusal that says why.
  if (const auto player = ClassifyPlayerFile(file); !player) {
    Require(!player.error().description.empty());
  }
  Package package;
  int pumps = 0;
  if (!ReadPackageFile(file, package, [&pumps] { ++pumps; })) return 0;
  Require(!package.Screens.empty());
  Require(pumps == static_cast<int>(package.AudioTracks.size()));
  Require(package.ConfigOffset >= 0 &&
          static_cast<std::uint64_t>(package.ConfigOffset) + 20 <= size);

  FuzzFiles files(bytes);
  for (const AudioTrack& track : package.AudioTracks) {
    ExtractWithinBounds(files, size, track.TrackPosition, track.TrackLength);
  }
  for (const ScreenSettings& screen : package.Screens) {
    ExtractWithinBounds(files, size, screen.BackgroundPosition, screen.BackgroundLength);
    ExtractWithinBounds(files, size, screen.ImagePosition, screen.ImageLength);
    ExtractWithinBounds(files, size, screen.VideoPosition, screen.VideoLength);
  }

  const auto offset = static_cast<std::size_t>(package.ConfigOffset);
  const std::string_view text = bytes.substr(offset, size - 20 - offset);
  // A plan fails only on a played medium outside the media stretch: any other
  // failure means the walk over the text has drifted from the reader's.
  bool playedOutside = false;
  for (const MediumEntry& medium : PlayedMedia(package)) {
    playedOutside |= medium.length != 0 && !CheckMedium(medium, package.ConfigOffset, size).empty();
  }
  const auto plan = PlanRepack(package, text, size, 11);
  Require(plan.has_value() != playedOutside);
  if (plan) {
    Require(SameShowApartFromPositions(package, plan->package));
    std::uint64_t end = 0;
    for (const CopyStretch& stretch : plan->stretches) {
      Require(stretch.size > 0 && stretch.from >= end && stretch.from + stretch.size <= offset);
      end = stretch.from + stretch.size;
    }
  }
  return 0;
}
