// The configuration text: CR LF lines of 0xFF-separated fields, read by line
// order. Fields go into the records through the tables of fields.hpp; every
// conversion runs under resume-next, so a field that is missing or does not
// convert leaves its target as it was.
//
// The text is read in one pass over string_views: the only allocations are
// the records and their strings, so the time is linear in the text.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/conversions.hpp"
#include "base/error.hpp"
#include "base/input_limits.hpp"
#include "package/fields.hpp"
#include "package/reader.hpp"

namespace vistel {
namespace {

constexpr char kFieldSeparator = '\xFF';
constexpr std::string_view kLineEnd = "\r\n";

// Fields past the last one any table names are never read, so they are not
// kept either.
constexpr std::size_t kKeptFields =
    1 + static_cast<std::size_t>(std::ranges::max(kGroupFieldCounts));
static_assert(kKeptFields > kAudioFieldCount && kKeptFields > 6);

// The fields of one line as splitting it at 0xFF gives them. An empty line
// has no field at all, not one empty field: that is what makes the original
// fail on a missing screen group, and what tells the reader to stop here.
class LineFields {
 public:
  LineFields() = default;
  explicit LineFields(std::string_view line) { Split(line); }

  void Split(std::string_view line) { count_ = line.empty() ? 0 : SplitFields(line); }
  void Clear() { count_ = 0; }

  std::optional<std::string_view> operator[](int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= count_) return std::nullopt;
    return fields_[static_cast<std::size_t>(index)];
  }

 private:
  // Fills fields_ from a non-empty line and gives their number, counted in a
  // local: a member count would go through memory at every separator.
  std::size_t SplitFields(std::string_view line) {
    // Fields are a few bytes long, so a search call per field costs more than
    // it saves; the line is scanned eight bytes at a time instead, each word
    // giving its separators as a bit mask, so there is no branch per byte.
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const char* field = begin;
    const char* at = begin;
    std::size_t count = 0;
    const auto endField = [&](const char* separator) {
      fields_[count++] = std::string_view(field, static_cast<std::size_t>(separator - field));
      field = separator + 1;
      return count == kKeptFields;
    };
    if constexpr (std::endian::native == std::endian::little) {
      for (; end - at >= kWordBytes; at += kWordBytes) {
        for (std::uint64_t mask = SeparatorMask(at); mask != 0; mask &= mask - 1) {
          if (endField(at + std::countr_zero(mask) / 8)) return count;
        }
      }
    }
    for (; at != end; ++at) {
      if (*at == kFieldSeparator && endField(at)) return count;
    }
    fields_[count++] = std::string_view(field, static_cast<std::size_t>(end - field));
    return count;
  }

  static constexpr std::ptrdiff_t kWordBytes = sizeof(std::uint64_t);

  // The top bit of each byte of the eight at `at` that is a separator; all
  // other bits clear. Exact per byte: no carry crosses from one byte to the next.
  static std::uint64_t SeparatorMask(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    const std::uint64_t zeroAtSeparators = ~word;  // the separator is 0xFF
    constexpr std::uint64_t kLow7 = 0x7F7F'7F7F'7F7F'7F7FULL;
    const std::uint64_t nonZero = ((zeroAtSeparators & kLow7) + kLow7) | zeroAtSeparators;
    return ~(nonZero | kLow7);
  }

  std::array<std::string_view, kKeptFields> fields_;
  std::size_t count_ = 0;
};

// The lines of the text, one after the other, as splitting at CR LF gives
// them: n separators make n + 1 lines, and an empty text has none.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text), exists_(!text.empty()) {
    FindLineEnd();
  }

  // The current line, or nothing past the last one.
  std::optional<std::string_view> Current() const {
    if (!exists_) return std::nullopt;
    return text_.substr(offset_, end_ - offset_);
  }
  void SplitCurrent(LineFields& fields) const {
    if (exists_) {
      fields.Split(text_.substr(offset_, end_ - offset_));
    } else {
      fields.Clear();
    }
  }
  // Whether a CR LF follows the current line, so that it is not the text's
  // last line (the original's "i < highest line index").
  bool HasLineAfter() const { return exists_ && end_ < text_.size(); }
  void Advance() {
    if (!HasLineAfter()) {
      exists_ = false;
      return;
    }
    offset_ = end_ + kLineEnd.size();
    FindLineEnd();
  }

 private:
  void FindLineEnd() { end_ = std::min(text_.find(kLineEnd, offset_), text_.size()); }

  std::string_view text_;
  bool exists_;
  std::size_t offset_ = 0;  // of the current line
  std::size_t end_ = 0;     // of the current line, before its CR LF
};

// One statement of the reader: converts the field for its target's type and
// stores it, or leaves the target as it was.
template <class Record>
void StoreField(ResumeNext& statements, Record& record, const FieldMember<Record>& member,
                std::optional<std::string_view> field) {
  if (!field) return;  // a missing field: the original's subscript error, skipped
  std::visit(
      [&](auto pointer) {
        auto& target = record.*pointer;
        using Target = std::remove_cvref_t<decltype(target)>;
        if constexpr (std::is_same_v<Target, std::string>) {
          target.assign(field->data(), field->size());
        } else if constexpr (std::is_same_v<Target, std::int32_t>) {
          statements.Assign(target, TextToLong(*field));
        } else if constexpr (std::is_same_v<Target, std::int16_t>) {
          statements.Assign(target, TextToInteger(*field));
        } else if constexpr (std::is_same_v<Target, float>) {
          statements.Assign(target, TextToSingle(*field));
        } else {
          static_assert(std::is_same_v<Target, bool>);
          statements.Assign(target, TextToBoolean(*field));
        }
      },
      member);
}

// Each 0x00 byte of a caption stands for a line break.
void ExpandCaptionLineBreaks(std::string& caption) {
  if (caption.find('\0') == std::string::npos) return;
  std::string expanded;
  expanded.reserve(caption.size() + 8);
  for (const char c : caption) {
    if (c == '\0') {
      expanded += kLineEnd;
    } else {
      expanded += c;
    }
  }
  caption = std::move(expanded);
}

// The fields of the lines of one group. Kept from group to group: each
// LineFields is a couple of kilobytes, and clearing them anew for every group
// costs more than reading the group's numbers.
using GroupFields = std::array<LineFields, kGroupLineCount>;

void ReadScreenGroup(ResumeNext& statements, LineReader& lines, GroupFields& group,
                     ScreenSettings& screen) {
  for (auto& fields : group) {
    lines.SplitCurrent(fields);  // lines past the end of a short last group have no fields
    lines.Advance();
  }
  for (const ScreenField& field : kScreenFields) {
    StoreField(statements, screen, field.member,
               group[static_cast<std::size_t>(field.line)][field.field]);
  }
  ExpandCaptionLineBreaks(screen.CaptionText);
}

}  // namespace

expected<void, PackageProblem> ParseConfiguration(std::string_view text, Package& package,
                                                  const std::function<void()>& afterAudioLine) {
  // Everything is read into a copy first, so a rejected text changes nothing.
  ResumeNext statements;
  LineReader lines(text);

  GlobalSettings global = package.Global;
  LineFields fields;
  lines.SplitCurrent(fields);
  for (const GlobalField& field : kGlobalFields) {
    StoreField(statements, global, field.member, fields[field.field]);
  }
  lines.Advance();

  std::vector<AudioTrack> tracks;
  for (lines.SplitCurrent(fields); fields[0] == kAudioSection; lines.SplitCurrent(fields)) {
    if (tracks.size() == limits::kMaxTracks) return unexpected(PackageProblem::TooManyTracks);
    AudioTrack& track = tracks.emplace_back();
    for (const AudioField& field : kAudioFields) {
      StoreField(statements, track, field.member, fields[field.field]);
    }
    lines.Advance();
    if (afterAudioLine) afterAudioLine();
  }

  // The first screen group must start with a non-empty line; without one the
  // original never leaves its audio loop.
  const auto firstGroupLine = lines.Current();
  if (!firstGroupLine || firstGroupLine->empty()) return unexpected(PackageProblem::NoScreenGroup);

  // A group starts on every line that is not the text's last, so a text
  // without its final CR LF still yields its last group, and a short last
  // group is filled as far as its lines exist.
  std::vector<ScreenSettings> screens;
  GroupFields group;
  while (lines.HasLineAfter()) {
    if (screens.size() == limits::kMaxScreens) return unexpected(PackageProblem::TooManyScreens);
    ReadScreenGroup(statements, lines, group, screens.emplace_back());
  }
  if (screens.empty()) return unexpected(PackageProblem::NoScreenGroup);

  package.Global = std::move(global);
  package.AudioTracks = std::move(tracks);
  package.Screens = std::move(screens);
  return {};
}

}  // namespace vistel
