// The walk over the text is the reader's (configuration.cpp), step for step:
// lines split at CR LF, fields at 0xFF, audio lines while field 0 is
// "[AUDIO-FILE]", then a group of five lines on every line that is not the
// text's last. Repack checks that each field found here reads as the reader
// read it, so a walk that drifted from the reader's would be caught there.
#include "package/range_fields.hpp"

#include <algorithm>

#include "base/input_limits.hpp"
#include "package/fields.hpp"

namespace vistel {
namespace {

constexpr char kFieldSeparator = '\xFF';
constexpr std::string_view kLineEnd = "\r\n";

// The reader's lines, with where each one starts: n separators make n + 1
// lines, and an empty text has none.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text), exists_(!text.empty()) { FindEnd(); }

  bool Exists() const { return exists_; }
  std::size_t Begin() const { return begin_; }
  std::string_view Line() const {
    return exists_ ? text_.substr(begin_, end_ - begin_) : std::string_view();
  }
  bool HasLineAfter() const { return exists_ && end_ < text_.size(); }
  void Advance() {
    if (!HasLineAfter()) {
      exists_ = false;
      return;
    }
    begin_ = end_ + kLineEnd.size();
    FindEnd();
  }

 private:
  void FindEnd() { end_ = std::min(text_.find(kLineEnd, begin_), text_.size()); }

  std::string_view text_;
  bool exists_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

// Field `number` of the current line (the section name is field 0).
FieldSpan FieldOf(const TextLines& lines, int number) {
  const std::string_view line = lines.Line();
  if (line.empty()) return {};  // an empty line has no field at all, as for the reader
  std::size_t from = 0;
  for (int i = 0; i < number; ++i) {
    const std::size_t separator = line.find(kFieldSeparator, from);
    if (separator == std::string_view::npos) return {};
    from = separator + 1;
  }
  const std::size_t to = std::min(line.find(kFieldSeparator, from), line.size());
  return {lines.Begin() + from, to - from, true};
}

int AudioFieldNumber(std::string_view name) {
  const auto found = std::ranges::find(kAudioFields, name, &AudioField::name);
  return found->field;
}

const ScreenField& ScreenFieldNamed(std::string_view name) {
  return *std::ranges::find(kScreenFields, name, &ScreenField::name);
}

constexpr MediumKind kScreenMedia[] = {MediumKind::Background, MediumKind::Image,
                                       MediumKind::Video};

}  // namespace

std::vector<MediumFields> LocateMediumFields(std::string_view text) {
  std::vector<MediumFields> found;
  TextLines lines(text);
  lines.Advance();  // the [GLOBAL] line

  const int trackLength = AudioFieldNumber(LengthFieldName(MediumKind::Audio));
  const int trackPosition = AudioFieldNumber(PositionFieldName(MediumKind::Audio));
  std::size_t tracks = 0;
  while (tracks < limits::kMaxTracks) {
    const FieldSpan section = FieldOf(lines, 0);
    if (!section.present || text.substr(section.offset, section.size) != kAudioSection) break;
    found.push_back(
        {MediumKind::Audio, tracks++, FieldOf(lines, trackPosition), FieldOf(lines, trackLength)});
    lines.Advance();
  }

  for (std::size_t screen = 0; screen < limits::kMaxScreens && lines.HasLineAfter(); ++screen) {
    const std::size_t first = found.size();
    for (const MediumKind kind : kScreenMedia) found.push_back({kind, screen, {}, {}});
    for (int line = 0; line < kGroupLineCount; ++line) {
      for (std::size_t i = first; i < found.size(); ++i) {
        MediumFields& medium = found[i];
        const ScreenField& position = ScreenFieldNamed(PositionFieldName(medium.kind));
        const ScreenField& length = ScreenFieldNamed(LengthFieldName(medium.kind));
        if (static_cast<int>(position.line) == line)
          medium.position = FieldOf(lines, position.field);
        if (static_cast<int>(length.line) == line) medium.length = FieldOf(lines, length.field);
      }
      lines.Advance();  // past the last line, the rest of the group has no fields
    }
  }
  return found;
}

std::string NumberInFormOf(std::string_view oldField, std::int64_t value) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  const std::size_t first =
      static_cast<std::size_t>(std::ranges::find_if_not(oldField, isBlank) - oldField.begin());
  std::size_t last = oldField.size();
  while (last > first && isBlank(oldField[last - 1])) --last;
  const std::string_view lead = oldField.substr(0, first);
  const std::string_view trail = oldField.substr(last);
  std::string_view number = oldField.substr(first, last - first);

  std::string sign;
  if (number.starts_with('+') && value >= 0) {
    sign = "+";
    number.remove_prefix(1);
  }
  std::string digits = std::to_string(value);
  const bool plainDigits =
      !number.empty() && std::ranges::all_of(number, [](char c) { return c >= '0' && c <= '9'; });
  if (!plainDigits) sign.clear();
  if (plainDigits && value >= 0 && number.size() > 1 && number.front() == '0' &&
      digits.size() < number.size()) {
    digits.insert(0, number.size() - digits.size(), '0');
  }
  return std::string(lead) + sign + digits + std::string(trail);
}

}  // namespace vistel
