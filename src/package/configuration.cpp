// The configuration text: CR LF lines of 0xFF-separated fields, read by line
// order. Fields go into the records through the tables of fields.hpp; every
// conversion runs under resume-next, so a field that is missing or does not
// convert leaves its target as it was.
//
// The text is read in one pass over string_views: the only allocations are
// the records and their strings, so the time is linear in the text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/conversions.hpp"
#include "base/error.hpp"
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
  explicit LineFields(std::string_view line) {
    if (line.empty()) return;
    std::size_t start = 0;
    while (count_ < kKeptFields) {
      const std::size_t end = line.find(kFieldSeparator, start);
      fields_[count_++] = line.substr(start, end == std::string_view::npos ? end : end - start);
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }

  std::optional<std::string_view> operator[](int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= count_) return std::nullopt;
    return fields_[static_cast<std::size_t>(index)];
  }
  bool Empty() const { return count_ == 0; }

 private:
  std::array<std::string_view, kKeptFields> fields_{};
  std::size_t count_ = 0;
};

// The lines of the text, one after the other, as splitting at CR LF gives
// them: n separators make n + 1 lines, and an empty text has none.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {
    if (text.empty()) return;
    count_ = 1;
    for (std::size_t at = text.find(kLineEnd); at != std::string_view::npos;
         at = text.find(kLineEnd, at + kLineEnd.size())) {
      ++count_;
    }
    FindLineEnd();
  }

  std::size_t Count() const { return count_; }
  std::size_t Index() const { return index_; }
  // The current line, or nothing past the last one.
  std::optional<std::string_view> Current() const {
    if (index_ >= count_) return std::nullopt;
    return text_.substr(offset_, end_ - offset_);
  }
  LineFields CurrentFields() const {
    const auto line = Current();
    return line ? LineFields(*line) : LineFields();
  }
  void Advance() {
    if (index_ >= count_) return;
    ++index_;
    offset_ = std::min(end_ + kLineEnd.size(), text_.size());
    FindLineEnd();
  }

 private:
  void FindLineEnd() {
    end_ = std::min(text_.find(kLineEnd, offset_), text_.size());
  }

  std::string_view text_;
  std::size_t count_ = 0;
  std::size_t index_ = 0;
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

ScreenSettings ReadScreenGroup(ResumeNext& statements, LineReader& lines) {
  std::array<LineFields, kGroupLineCount> group;
  for (auto& fields : group) {
    fields = lines.CurrentFields();  // lines past the end of a short last group have no fields
    lines.Advance();
  }
  ScreenSettings screen;
  for (const ScreenField& field : kScreenFields) {
    StoreField(statements, screen, field.member,
               group[static_cast<std::size_t>(field.line)][field.field]);
  }
  ExpandCaptionLineBreaks(screen.CaptionText);
  return screen;
}

}  // namespace

expected<void, PackageProblem> ParseConfiguration(std::string_view text, Package& package,
                                                  const std::function<void()>& afterAudioLine) {
  // Everything is read into a copy first, so a rejected text changes nothing.
  ResumeNext statements;
  LineReader lines(text);

  GlobalSettings global = package.Global;
  const LineFields globalFields = lines.CurrentFields();
  for (const GlobalField& field : kGlobalFields) {
    StoreField(statements, global, field.member, globalFields[field.field]);
  }
  lines.Advance();

  std::vector<AudioTrack> tracks;
  for (LineFields fields = lines.CurrentFields(); fields[0] == kAudioSection;
       fields = lines.CurrentFields()) {
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

  // A group starts on every line before the last one, so a text without its
  // final CR LF still yields its last group, and a short last group is filled
  // as far as its lines exist.
  const std::size_t highest = lines.Count() - 1;
  std::vector<ScreenSettings> screens;
  if (lines.Index() < highest) {
    const std::size_t remaining = highest - lines.Index();
    constexpr auto groupLines = static_cast<std::size_t>(kGroupLineCount);
    screens.reserve((remaining + groupLines - 1) / groupLines);
  }
  while (lines.Index() < highest) screens.push_back(ReadScreenGroup(statements, lines));
  if (screens.empty()) return unexpected(PackageProblem::NoScreenGroup);

  package.Global = std::move(global);
  package.AudioTracks = std::move(tracks);
  package.Screens = std::move(screens);
  return {};
}

}  // namespace vistel
