// The package writer: a copy of the player, the media, an optional zero fill,
// the configuration text and the 20-digit trailer, in that order.
//
// The writer is the reader's mirror and is driven by the same field tables, so
// whatever it writes reads back field for field. It refuses what the reader
// could not read back (texts holding the field or line separators, offsets
// beyond 32 bits, a show without screens) instead of writing a broken file.
// Media and player are streamed in chunks: a package of some hundred megabytes
// is never held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "package/records.hpp"
#include "runtime/files.hpp"

namespace vistel {

// Field texts as the reader converts them back. A Single is written with "."
// and no exponent, in the fewest digits that read back as the same float.
std::string FormatSingle(float value);
inline std::string_view FormatBoolean(bool value) {
  return value ? "True" : "False";
}

// The 20-digit trailer for a configuration text at 0-based offset configOffset.
std::string FormatTrailer(std::int32_t configOffset);

// The configuration text of a package: the [GLOBAL] line, one [AUDIO-FILE]
// line per track, five lines per screen, each line ending in CR LF. Every field
// number up to the line's field count is written, unread ones empty. A CR LF in
// CaptionText is stored as one 0x00 byte. Fails, naming the record and field,
// on a text the layout cannot carry or a package without screens.
Result<std::string> FormatConfiguration(const Package& package);

// 1-based position and length of a medium, as the record fields hold them.
struct MediumRange {
  std::int32_t position = 0;
  std::int32_t length = 0;
};

// Writes one package into `out`, stretch by stretch in file order: first the
// player, then any number of media and zero fills, then Finish. Calls out of
// that order fail. Positions and lengths are checked against the 32-bit limits
// of the record fields and the trailer.
class PackageWriter {
 public:
  explicit PackageWriter(OutputFile& out) : out_(out) {}

  Status AppendPlayer(InputFile& player);
  // Copies the whole medium and returns where it now lies.
  Result<MediumRange> AppendMedium(InputFile& medium);
  Status AppendZeroFill(std::uint64_t count);
  // Writes the configuration text of `package` and the trailer; returns the
  // text's 0-based offset (the ConfigOffset the reader will find).
  Result<std::int32_t> Finish(const Package& package);

  std::uint64_t BytesWritten() const { return written_; }

 private:
  enum class Stage { Player, Media, Finished };
  Status Write(std::span<const std::byte> bytes);
  Status Copy(InputFile& source, std::uint64_t* copied);
  Status Expect(Stage allowed, std::string_view call) const;

  OutputFile& out_;
  Stage stage_ = Stage::Player;
  std::uint64_t written_ = 0;
  std::vector<std::byte> buffer_;
};

// Which record fields receive a medium's range.
enum class MediumSlot { Background, Image, Video, Track };

struct MediumSource {
  MediumSlot slot = MediumSlot::Image;
  std::size_t index = 0;  // into Screens or AudioTracks
  std::string path;       // the file to embed
  std::string label;      // names the medium in messages ("screens[2].image")
};

// A package to build: the records with every field but the media ranges of
// `media` already set, and the files that supply those media.
struct PackagePlan {
  Package package;
  std::vector<MediumSource> media;
  std::uint64_t zeroFill = 0;  // zero bytes between the media and the text
};

struct BuildSummary {
  Package package;              // as written, media ranges filled in
  std::uint64_t fileBytes = 0;  // size of the package file
  std::size_t storedMedia = 0;  // distinct media files copied in
};

// Builds the package at outPath from the player file and the plan. Texts are
// checked before anything is copied. The file is written under a fresh name
// beside outPath (created exclusively, never through a link) and renamed over
// it at the end, so a failure leaves no partial package behind and never
// damages an input that shares the name, and a link at outPath is replaced,
// not written through. A file
// named twice in the plan is stored once and both ranges point at it.
Result<BuildSummary> WritePackage(FileSystem& files, const PackagePlan& plan,
                                  std::string_view playerPath, std::string_view outPath);

}  // namespace vistel
