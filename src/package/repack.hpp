// Repacking: the show of a package (its configuration text and its media,
// byte for byte) behind another player. Only the position fields of the
// moved media change in the text; everything else of it is kept, down to its
// separators, empty fields and whatever follows the last screen group.
//
// What is kept and what is not:
//  - No field records how long the old player is: it is taken to be every
//    byte before the first medium, and it is dropped with the zero fill and
//    any bytes that no range names.
//  - Every range that lies in the media stretch (from the first byte up to the
//    configuration text) is moved, played or not. Ranges may share bytes in
//    any way (one medium named twice, one inside another, two that overlap):
//    the bytes they cover are copied once, in their old order, and each range
//    keeps its bytes and its place among the others.
//  - A range the player extracts that reaches outside the media stretch (past
//    the file, into the text or the trailer, before the first byte, or with a
//    negative length) is refused: such a package is damaged or hostile. A
//    range the player never extracts (the image of a video screen, say) that
//    lies outside is left as it was, with a note: it never mattered.
//  - A range of length 0 is no medium and is left as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "package/records.hpp"
#include "runtime/files.hpp"

namespace vistel {

// Bytes of the old package that follow the new player, in this order.
struct CopyStretch {
  std::uint64_t from = 0;  // 0-based offset in the old package
  std::uint64_t size = 0;
};

struct RepackPlan {
  Package package;                // the records as the new package holds them
  std::string configurationText;  // the old text with the moved positions
  std::vector<CopyStretch> stretches;
  std::uint64_t mediaBytes = 0;      // the stretches' sizes together
  std::uint64_t oldPlayerBytes = 0;  // bytes before the old package's first medium
  std::size_t movedRanges = 0;       // ranges whose bytes were carried over
  std::vector<std::string> notes;    // what is odd but harmless
};

// Plans the repack of a package that ReadPackageFile accepted: `old` as it
// read it, `text` its configuration text, in a file of oldFileBytes bytes,
// behind a player of playerBytes bytes. Fails with a message naming the
// medium and its fields for a range it refuses, or when the new package
// would not fit the 32-bit positions.
Result<RepackPlan> PlanRepack(const Package& old, std::string_view text, std::uint64_t oldFileBytes,
                              std::uint64_t playerBytes);

// Whether two packages hold the same show: every field of every record, by
// the field tables (the file name and the configuration offset aside).
bool SameShow(const Package& a, const Package& b);
// Like SameShow, but the position fields of the media may differ.
bool SameShowApartFromPositions(const Package& a, const Package& b);

struct RepackSummary {
  RepackPlan plan;
  std::uint64_t playerBytes = 0;
  std::uint64_t fileBytes = 0;
};

// Writes the repacked package at outPath: the player, the stretches of the
// old package, the new text and its trailer. The package is read once
// through one open file; the new one is written under a fresh name beside
// outPath and renamed over it at the end, so a failure leaves nothing behind
// and a link at outPath is replaced, never written through. The caller makes
// sure that outPath names neither input.
Result<RepackSummary> RepackPackage(FileSystem& files, std::string_view oldPath,
                                    std::string_view playerPath, std::string_view outPath);

}  // namespace vistel
