#include "package/repack.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <limits>
#include <memory>
#include <set>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/conversions.hpp"
#include "base/input_limits.hpp"
#include "package/extract.hpp"
#include "package/fields.hpp"
#include "package/media_check.hpp"
#include "package/range_fields.hpp"
#include "package/reader.hpp"
#include "package/writer.hpp"

namespace vistel {
namespace {

constexpr std::uint64_t kLongMax = std::numeric_limits<std::int32_t>::max();

unexpected<Error> Invalid(std::string text) {
  return Fail(ErrorCode::InvalidPackage, std::move(text));
}

struct RangeMembers {
  std::int32_t* position;
  std::int32_t* length;
};

RangeMembers RangeOf(Package& package, MediumKind kind, std::size_t index) {
  if (kind == MediumKind::Audio) {
    AudioTrack& track = package.AudioTracks[index];
    return {&track.TrackPosition, &track.TrackLength};
  }
  ScreenSettings& screen = package.Screens[index];
  switch (kind) {
    case MediumKind::Background:
      return {&screen.BackgroundPosition, &screen.BackgroundLength};
    case MediumKind::Image:
      return {&screen.ImagePosition, &screen.ImageLength};
    default:
      return {&screen.VideoPosition, &screen.VideoLength};
  }
}

// What the reader made of a field: a missing field or one that does not
// convert leaves the new record's 0.
std::int32_t ReadLong(std::string_view text, const FieldSpan& field) {
  if (!field.present) return 0;
  return TextToLong(text.substr(field.offset, field.size)).value_or(0);
}

// "screen 1 video (VideoPosition 225282, VideoLength 5856480)", as check says it.
std::string Described(const MediumEntry& medium) {
  return DescribeMedium(medium) + " (" + std::string(PositionFieldName(medium.kind)) + " " +
         std::to_string(medium.position) + ", " + std::string(LengthFieldName(medium.kind)) + " " +
         std::to_string(medium.length) + ")";
}

// A range whose bytes go into the new package.
struct MovedRange {
  std::size_t field = 0;    // into the located fields
  std::uint64_t start = 0;  // 0-based, in the old package
  std::uint64_t end = 0;    // exclusive
};

// The covered bytes as disjoint stretches in file order: ranges that overlap
// or touch fall into one stretch.
std::vector<CopyStretch> Stretches(std::vector<MovedRange>& moved) {
  std::ranges::sort(moved, {}, &MovedRange::start);
  std::vector<CopyStretch> stretches;
  for (const MovedRange& range : moved) {
    if (stretches.empty() || range.start > stretches.back().from + stretches.back().size) {
      stretches.push_back({range.start, range.end - range.start});
    } else {
      CopyStretch& last = stretches.back();
      last.size = std::max(last.size, range.end - last.from);
    }
  }
  return stretches;
}

struct Replacement {
  std::size_t offset = 0;
  std::size_t size = 0;
  std::string text;
};

std::string Spliced(std::string_view text, std::vector<Replacement>& replacements) {
  std::ranges::sort(replacements, {}, &Replacement::offset);
  std::string out;
  out.reserve(text.size() + replacements.size() * 4);
  std::size_t at = 0;
  for (const Replacement& r : replacements) {
    out.append(text.substr(at, r.offset - at));
    out += r.text;
    at = r.offset + r.size;
  }
  out.append(text.substr(at));
  return out;
}

template <class T>
bool SameValue(const T& a, const T& b) {
  if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
  } else {
    return a == b;
  }
}

enum class Positions { Compared, Ignored };

bool IsPositionField(std::string_view name) {
  for (const MediumKind kind :
       {MediumKind::Background, MediumKind::Image, MediumKind::Video, MediumKind::Audio}) {
    if (name == PositionFieldName(kind)) return true;
  }
  return false;
}

template <class Record, class Table>
bool SameRecord(const Record& a, const Record& b, const Table& table, Positions positions) {
  return std::ranges::all_of(table, [&](const auto& field) {
    if (positions == Positions::Ignored && IsPositionField(field.name)) return true;
    return std::visit([&](auto member) { return SameValue(a.*member, b.*member); }, field.member);
  });
}

template <class Record, class Table>
bool SameRecords(const std::vector<Record>& a, const std::vector<Record>& b, const Table& table,
                 Positions positions) {
  return a.size() == b.size() && std::ranges::equal(a, b, [&](const Record& x, const Record& y) {
           return SameRecord(x, y, table, positions);
         });
}

bool Same(const Package& a, const Package& b, Positions positions) {
  return SameRecord(a.Global, b.Global, kGlobalFields, positions) &&
         SameRecords(a.AudioTracks, b.AudioTracks, kAudioFields, positions) &&
         SameRecords(a.Screens, b.Screens, kScreenFields, positions);
}

// Fills the whole buffer from offset, or fails.
Status ReadExactly(InputFile& file, std::uint64_t offset, std::span<std::byte> buffer) {
  while (!buffer.empty()) {
    const Result<std::size_t> got = file.ReadAt(offset, buffer);
    if (!got) return Fail(got.error());
    if (*got == 0) return Fail(ErrorCode::InputPastEndOfFile, "the file ended early");
    offset += *got;
    buffer = buffer.subspan(*got);
  }
  return {};
}

// Streams size bytes from offset of `from` into `to` through `buffer`.
Status CopyBytes(InputFile& from, std::uint64_t offset, std::uint64_t size, OutputFile& to,
                 std::span<std::byte> buffer) {
  for (std::uint64_t done = 0; done < size;) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
    const Result<std::size_t> got = from.ReadAt(offset + done, buffer.first(want));
    if (!got) return Fail(got.error());
    if (*got == 0) {
      return Fail(ErrorCode::InputPastEndOfFile,
                  "the file ended after " + std::to_string(offset + done) + " bytes, before byte " +
                      std::to_string(offset + size) + " (was it changed meanwhile?)");
    }
    if (auto s = to.Write(buffer.first(*got)); !s) return s;
    done += *got;
  }
  return {};
}

Error WithContext(std::string_view context, const Error& error) {
  return Error(error.code, std::string(context) + ": " + error.description);
}

}  // namespace

bool SameShow(const Package& a, const Package& b) {
  return Same(a, b, Positions::Compared);
}

bool SameShowApartFromPositions(const Package& a, const Package& b) {
  return Same(a, b, Positions::Ignored);
}

Result<RepackPlan> PlanRepack(const Package& old, std::string_view text, std::uint64_t oldFileBytes,
                              std::uint64_t playerBytes) {
  RepackPlan plan;
  plan.package = old;
  const std::vector<MediumFields> located = LocateMediumFields(text);
  if (located.size() != old.AudioTracks.size() + 3 * old.Screens.size()) {
    return Invalid("the configuration text does not hold the records the reader read from it");
  }

  std::set<std::pair<MediumKind, std::size_t>> played;
  for (const MediumEntry& medium : PlayedMedia(old)) played.emplace(medium.kind, medium.index);

  std::vector<MovedRange> moved;
  for (std::size_t i = 0; i < located.size(); ++i) {
    const MediumFields& fields = located[i];
    const RangeMembers range = RangeOf(plan.package, fields.kind, fields.index);
    const MediumEntry medium{fields.kind, fields.index, *range.position, *range.length};
    // The walk over the text must find what the reader read, or the text
    // would be rewritten in the wrong places.
    if (ReadLong(text, fields.position) != medium.position ||
        ReadLong(text, fields.length) != medium.length) {
      return Invalid(DescribeMedium(medium) +
                     ": the configuration text does not hold the range the reader read");
    }
    if (medium.length == 0) continue;  // no medium: nothing to carry over
    const std::string problem = CheckMedium(medium, old.ConfigOffset, oldFileBytes);
    if (!problem.empty()) {
      if (played.contains({medium.kind, medium.index})) {
        return Invalid(Described(medium) + ": " + problem);
      }
      plan.notes.push_back(Described(medium) + " is never played and lies outside the media (" +
                           problem + "); it is kept as it was");
      continue;
    }
    const auto start = static_cast<std::uint64_t>(medium.position) - 1;
    moved.push_back({i, start, start + static_cast<std::uint64_t>(medium.length)});
  }

  plan.stretches = Stretches(moved);
  std::vector<std::uint64_t> newOffsets;  // of each stretch in the new package
  std::uint64_t offset = playerBytes;
  for (const CopyStretch& stretch : plan.stretches) {
    newOffsets.push_back(offset);
    offset += stretch.size;
  }
  plan.mediaBytes = offset - playerBytes;
  if (offset > kLongMax) {
    return Invalid("the new package would start its configuration text at byte " +
                   std::to_string(offset) + " (a player of " + std::to_string(playerBytes) +
                   " bytes and " + std::to_string(plan.mediaBytes) +
                   " bytes of media), beyond the 2147483647 that positions and the trailer hold");
  }
  plan.oldPlayerBytes = plan.stretches.empty() ? static_cast<std::uint64_t>(old.ConfigOffset)
                                               : plan.stretches.front().from;
  if (!plan.stretches.empty() && plan.oldPlayerBytes == 0) {
    plan.notes.emplace_back(
        "a medium starts at the file's first byte, so no player precedes the media; "
        "those bytes are carried over as the medium they are");
  }

  std::vector<Replacement> replacements;
  for (const MovedRange& range : moved) {
    const auto stretch = static_cast<std::size_t>(
        std::ranges::upper_bound(plan.stretches, range.start, {}, &CopyStretch::from) -
        plan.stretches.begin() - 1);
    const std::uint64_t newStart =
        newOffsets[stretch] + (range.start - plan.stretches[stretch].from);
    const auto newPosition = static_cast<std::int32_t>(newStart + 1);
    const MediumFields& fields = located[range.field];
    std::int32_t& position = *RangeOf(plan.package, fields.kind, fields.index).position;
    if (newPosition == position) continue;  // the field keeps its bytes too
    position = newPosition;
    const FieldSpan& field = fields.position;  // present: it read as a position of 1 or more
    replacements.push_back({field.offset, field.size,
                            NumberInFormOf(text.substr(field.offset, field.size), newPosition)});
  }
  plan.movedRanges = moved.size();
  plan.configurationText = Spliced(text, replacements);
  if (plan.configurationText.size() > limits::kMaxConfigurationBytes) {
    return Invalid("the new configuration text would be " +
                   std::to_string(plan.configurationText.size()) + " bytes, more than the " +
                   std::to_string(limits::kMaxConfigurationBytes) + " the reader accepts");
  }

  // The new text must read back as the old records with the new positions.
  Package reread;
  if (!ParseConfiguration(plan.configurationText, reread) || !SameShow(reread, plan.package)) {
    return Invalid("the rewritten configuration text does not read back as the old show");
  }
  return plan;
}

Result<RepackSummary> RepackPackage(FileSystem& files, std::string_view oldPath,
                                    std::string_view playerPath, std::string_view outPath) {
  const std::string oldName = "'" + std::string(oldPath) + "'";
  auto opened = files.OpenRead(oldPath);
  if (!opened) return Fail(WithContext(oldName, opened.error()));
  InputFile& old = **opened;
  Package package;
  if (auto read = ReadPackageFile(old, package); !read) {
    return Invalid(oldName + ": " + std::string(DescribePackageProblem(read.error())));
  }
  const std::uint64_t oldBytes = old.Size();
  // The reader has bounded the text's size already.
  std::string text(static_cast<std::size_t>(oldBytes - kTrailerLength -
                                            static_cast<std::uint64_t>(package.ConfigOffset)),
                   '\0');
  if (auto s = ReadExactly(old, static_cast<std::uint64_t>(package.ConfigOffset),
                           std::as_writable_bytes(std::span(text)));
      !s) {
    return Fail(WithContext(oldName, s.error()));
  }

  auto player = files.OpenRead(playerPath);
  if (!player)
    return Fail(WithContext("the player '" + std::string(playerPath) + "'", player.error()));
  RepackSummary summary;
  summary.playerBytes = (*player)->Size();
  auto plan = PlanRepack(package, text, oldBytes, summary.playerBytes);
  if (!plan) return Fail(WithContext(oldName, plan.error()));
  summary.plan = std::move(*plan);
  RepackPlan& result = summary.plan;
  const auto configOffset = static_cast<std::int32_t>(summary.playerBytes + result.mediaBytes);

  auto fresh = files.CreateFresh(outPath);
  if (!fresh) {
    return Fail(WithContext("a new file beside '" + std::string(outPath) + "'", fresh.error()));
  }
  std::vector<std::byte> buffer(kExtractChunkBytes);
  auto write = [&](OutputFile& out) -> Status {
    if (auto s = CopyBytes(**player, 0, summary.playerBytes, out, buffer); !s) {
      return Fail(WithContext("copying the player '" + std::string(playerPath) + "'", s.error()));
    }
    for (const CopyStretch& stretch : result.stretches) {
      if (auto s = CopyBytes(old, stretch.from, stretch.size, out, buffer); !s) {
        return Fail(WithContext("copying the media of " + oldName, s.error()));
      }
    }
    if (auto s = out.Write(std::as_bytes(std::span(result.configurationText))); !s) return s;
    const std::string trailer = FormatTrailer(configOffset);
    if (auto s = out.Write(std::as_bytes(std::span(trailer))); !s) return s;
    return out.Close();
  };
  Status written = write(*fresh->file);
  fresh->file.reset();
  if (written) written = files.Rename(fresh->path, outPath);
  if (!written) {
    (void)files.Remove(fresh->path);  // best effort: the error above is the one to report
    return Fail(WithContext("'" + std::string(outPath) + "'", written.error()));
  }
  result.package.PackageFileName = std::string(outPath);
  result.package.ConfigOffset = configOffset;
  summary.fileBytes =
      summary.playerBytes + result.mediaBytes + result.configurationText.size() + kTrailerLength;
  return summary;
}

}  // namespace vistel
