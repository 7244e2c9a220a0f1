#include "package/writer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/input_limits.hpp"
#include "package/fields.hpp"
#include "package/reader.hpp"

namespace vistel {
namespace {

constexpr char kFieldSeparator = '\xFF';
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;
constexpr std::uint64_t kLongMax = std::numeric_limits<std::int32_t>::max();

unexpected<Error> Invalid(std::string text) {
  return Fail(ErrorCode::InvalidPackage, std::move(text));
}

Error WithContext(std::string_view context, const Error& error) {
  return Error(error.code, std::string(context) + ": " + error.description);
}

std::string ShortestFixed(auto value) {
  std::array<char, 400> text{};
  const auto [end, ec] =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec != std::errc()) return {};
  return std::string(text.data(), end);
}

// The reader parses a Single as a double and rounds that to float.
bool ReadsBackAs(const std::string& text, float value) {
  return static_cast<float>(std::strtod(text.c_str(), nullptr)) == value;
}

enum class TextKind { Plain, Caption };

// The stored form of a String field, or why the layout cannot carry it.
Result<std::string> StoredText(std::string_view text, TextKind kind, std::string_view where) {
  std::string stored;
  stored.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kFieldSeparator) {
      return Invalid(std::string(where) +
                     " contains the byte 0xFF (\"\xC3\xBF\" in Windows-1252), which the "
                     "package uses to separate fields");
    }
    if (kind == TextKind::Caption) {
      // The reader turns every 0x00 back into CR LF, so a 0x00 of its own
      // would come back as a line break, and a lone CR or LF would not come
      // back at all in the form the caption drawing expects.
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        stored.push_back('\0');
        ++i;
        continue;
      }
      if (c == '\0') return Invalid(std::string(where) + " contains a 0x00 byte");
      if (c == '\r' || c == '\n') {
        return Invalid(std::string(where) + " has a line break that is not CR LF");
      }
    } else if (c == '\r' || c == '\n') {
      return Invalid(std::string(where) + " contains a line break");
    }
    stored.push_back(c);
  }
  return stored;
}

template <class Record>
Result<std::string> FieldText(const Record& record, const FieldMember<Record>& member,
                              TextKind kind, std::string_view where) {
  return std::visit(
      [&](auto pointer) -> Result<std::string> {
        const auto& value = record.*pointer;
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return StoredText(value, kind, where);
        } else if constexpr (std::is_same_v<T, bool>) {
          return std::string(FormatBoolean(value));
        } else if constexpr (std::is_same_v<T, float>) {
          if (!std::isfinite(value)) {
            return Invalid(std::string(where) + " is not a finite number");
          }
          return FormatSingle(value);
        } else {
          return std::to_string(value);
        }
      },
      member);
}

// One line: the section name, then fields 1..count, joined by 0xFF.
class LineBuilder {
 public:
  LineBuilder(std::string_view section, int count) : fields_(static_cast<std::size_t>(count) + 1) {
    fields_[0] = std::string(section);
  }
  void Set(int field, std::string text) {
    fields_.at(static_cast<std::size_t>(field)) = std::move(text);
  }
  void AppendTo(std::string& out) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (i != 0) out.push_back(kFieldSeparator);
      out += fields_[i];
    }
    out += kLineEnd;
  }

 private:
  std::vector<std::string> fields_;
};

std::string Indexed(std::string_view list, std::size_t index, std::string_view field) {
  return std::string(list) + "[" + std::to_string(index) + "]." + std::string(field);
}

Status AppendGlobalLine(const GlobalSettings& global, std::string& out) {
  LineBuilder line(kGlobalSection, static_cast<int>(kGlobalFields.size()));
  for (const GlobalField& field : kGlobalFields) {
    auto text = FieldText(global, field.member, TextKind::Plain, field.name);
    if (!text) return Fail(text.error());
    line.Set(field.field, std::move(*text));
  }
  line.AppendTo(out);
  return {};
}

Status AppendTrackLine(const AudioTrack& track, std::size_t index, std::string& out) {
  LineBuilder line(kAudioSection, kAudioFieldCount);
  for (const AudioField& field : kAudioFields) {
    auto text =
        FieldText(track, field.member, TextKind::Plain, Indexed("tracks", index, field.name));
    if (!text) return Fail(text.error());
    line.Set(field.field, std::move(*text));
  }
  line.AppendTo(out);
  return {};
}

Status AppendScreenGroup(const ScreenSettings& screen, std::size_t index, std::string& out) {
  std::vector<LineBuilder> lines;
  for (int i = 0; i < kGroupLineCount; ++i) {
    const auto n = static_cast<std::size_t>(i);
    lines.emplace_back(kGroupSectionNames[n], kGroupFieldCounts[n]);
  }
  for (const ScreenField& field : kScreenFields) {
    const TextKind kind = field.name == "CaptionText" ? TextKind::Caption : TextKind::Plain;
    auto text = FieldText(screen, field.member, kind, Indexed("screens", index, field.name));
    if (!text) return Fail(text.error());
    lines[static_cast<std::size_t>(field.line)].Set(field.field, std::move(*text));
  }
  for (const LineBuilder& line : lines) line.AppendTo(out);
  return {};
}

void Assign(Package& package, MediumSlot slot, std::size_t index, MediumRange range) {
  if (slot == MediumSlot::Track) {
    AudioTrack& track = package.AudioTracks[index];
    track.TrackPosition = range.position;
    track.TrackLength = range.length;
    return;
  }
  ScreenSettings& screen = package.Screens[index];
  switch (slot) {
    case MediumSlot::Background:
      screen.BackgroundPosition = range.position;
      screen.BackgroundLength = range.length;
      break;
    case MediumSlot::Image:
      screen.ImagePosition = range.position;
      screen.ImageLength = range.length;
      break;
    case MediumSlot::Video:
      screen.VideoPosition = range.position;
      screen.VideoLength = range.length;
      break;
    case MediumSlot::Track:
      break;
  }
}

}  // namespace

std::string FormatSingle(float value) {
  std::string text = ShortestFixed(value);
  // Shortest float digits read back through a double almost always; where
  // double rounding would land on the neighbouring float, the exact value's
  // double digits do.
  if (!ReadsBackAs(text, value)) text = ShortestFixed(static_cast<double>(value));
  return text;
}

std::string FormatTrailer(std::int32_t configOffset) {
  std::string digits = std::to_string(configOffset);
  return std::string(kTrailerLength - std::min<std::size_t>(digits.size(), kTrailerLength), '0') +
         digits;
}

Result<std::string> FormatConfiguration(const Package& package) {
  if (package.Screens.empty()) return Invalid("the show has no screens; it needs at least one");
  // What the reader would refuse is not written.
  if (package.AudioTracks.size() > limits::kMaxTracks) {
    return Invalid("the show has " + std::to_string(package.AudioTracks.size()) +
                   " tracks; the player plays at most " + std::to_string(limits::kMaxTracks));
  }
  if (package.Screens.size() > limits::kMaxScreens) {
    return Invalid("the show has " + std::to_string(package.Screens.size()) +
                   " screens; the player shows at most " + std::to_string(limits::kMaxScreens));
  }
  std::string text;
  if (auto s = AppendGlobalLine(package.Global, text); !s) return Fail(s.error());
  for (std::size_t i = 0; i < package.AudioTracks.size(); ++i) {
    if (auto s = AppendTrackLine(package.AudioTracks[i], i, text); !s) return Fail(s.error());
  }
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    if (auto s = AppendScreenGroup(package.Screens[i], i, text); !s) return Fail(s.error());
  }
  if (text.size() > limits::kMaxConfigurationBytes) {
    return Invalid("the configuration text would be " + std::to_string(text.size()) +
                   " bytes, more than the " + std::to_string(limits::kMaxConfigurationBytes) +
                   " bytes the reader accepts");
  }
  return text;
}

Status PackageWriter::Expect(Stage allowed, std::string_view call) const {
  if (stage_ == allowed) return {};
  static constexpr std::array<std::string_view, 3> kStageNames = {
      "before the player", "after the player", "after the configuration text"};
  return Fail(
      ErrorCode::InvalidProcedureCall,
      std::string(call) + " called " + std::string(kStageNames[static_cast<std::size_t>(stage_)]));
}

Status PackageWriter::Write(std::span<const std::byte> bytes) {
  if (auto s = out_.Write(bytes); !s) return s;
  written_ += bytes.size();
  return {};
}

Status PackageWriter::Copy(InputFile& source, std::uint64_t* copied) {
  const std::uint64_t size = source.Size();
  if (buffer_.empty()) buffer_.resize(kCopyChunkBytes);
  std::uint64_t offset = 0;
  while (offset < size) {
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size - offset));
    auto got = source.ReadAt(offset, std::span(buffer_.data(), want));
    if (!got) return Fail(got.error());
    if (*got == 0) {
      return Fail(ErrorCode::InputPastEndOfFile, "the file ended after " + std::to_string(offset) +
                                                     " of " + std::to_string(size) + " bytes");
    }
    if (auto s = Write(std::span<const std::byte>(buffer_.data(), *got)); !s) return s;
    offset += *got;
  }
  *copied = offset;
  return {};
}

Status PackageWriter::AppendPlayer(InputFile& player) {
  if (auto s = Expect(Stage::Player, "AppendPlayer"); !s) return s;
  std::uint64_t copied = 0;
  if (auto s = Copy(player, &copied); !s) return s;
  stage_ = Stage::Media;
  return {};
}

Result<MediumRange> PackageWriter::AppendMedium(InputFile& medium) {
  if (auto s = Expect(Stage::Media, "AppendMedium"); !s) return Fail(s.error());
  const std::uint64_t start = written_;
  const std::uint64_t size = medium.Size();
  // Position (start + 1) and length are Long fields.
  if (start + 1 > kLongMax || size > kLongMax) {
    return Invalid("the medium at offset " + std::to_string(start) + " with " +
                   std::to_string(size) +
                   " bytes lies beyond the 2 GiB that 32-bit positions and lengths can address");
  }
  std::uint64_t copied = 0;
  if (auto s = Copy(medium, &copied); !s) return Fail(s.error());
  return MediumRange{static_cast<std::int32_t>(start + 1), static_cast<std::int32_t>(copied)};
}

Status PackageWriter::AppendZeroFill(std::uint64_t count) {
  if (auto s = Expect(Stage::Media, "AppendZeroFill"); !s) return s;
  if (buffer_.size() < kCopyChunkBytes) buffer_.resize(kCopyChunkBytes);
  std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  while (count > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer_.size()));
    if (auto s = Write(std::span<const std::byte>(buffer_.data(), n)); !s) return s;
    count -= n;
  }
  return {};
}

Result<std::int32_t> PackageWriter::Finish(const Package& package) {
  if (auto s = Expect(Stage::Media, "Finish"); !s) return Fail(s.error());
  auto text = FormatConfiguration(package);
  if (!text) return Fail(text.error());
  if (written_ > kLongMax) {
    return Invalid("the configuration text would start at offset " + std::to_string(written_) +
                   ", beyond the 32-bit offset the trailer can hold");
  }
  const auto offset = static_cast<std::int32_t>(written_);
  if (auto s = Write(std::as_bytes(std::span(*text))); !s) return Fail(s.error());
  const std::string trailer = FormatTrailer(offset);
  if (auto s = Write(std::as_bytes(std::span(trailer))); !s) return Fail(s.error());
  stage_ = Stage::Finished;
  return offset;
}

Result<BuildSummary> WritePackage(FileSystem& files, const PackagePlan& plan,
                                  std::string_view playerPath, std::string_view outPath) {
  // Everything that can be refused is refused before the first byte is copied.
  if (auto text = FormatConfiguration(plan.package); !text) return Fail(text.error());
  for (const MediumSource& medium : plan.media) {
    const std::size_t count = medium.slot == MediumSlot::Track ? plan.package.AudioTracks.size()
                                                               : plan.package.Screens.size();
    if (medium.index >= count) {
      return Invalid(medium.label + " refers to record " + std::to_string(medium.index) + " of " +
                     std::to_string(count));
    }
    auto file = files.OpenRead(medium.path);
    if (!file) return Fail(WithContext(medium.label + " '" + medium.path + "'", file.error()));
    if ((*file)->Size() == 0) {
      // A length of 0 means "no medium" to the player (or breaks the screen).
      return Invalid(medium.label + " '" + medium.path + "' is empty");
    }
  }
  auto player = files.OpenRead(playerPath);
  if (!player)
    return Fail(WithContext("the player '" + std::string(playerPath) + "'", player.error()));

  auto fresh = files.CreateFresh(outPath);
  if (!fresh)
    return Fail(WithContext("a new file beside '" + std::string(outPath) + "'", fresh.error()));
  const std::string partPath = fresh->path;
  std::unique_ptr<OutputFile>& out = fresh->file;

  BuildSummary summary;
  summary.package = plan.package;
  auto build = [&]() -> Status {
    PackageWriter writer(*out);
    if (auto s = writer.AppendPlayer(**player); !s) {
      return Fail(WithContext("copying the player '" + std::string(playerPath) + "'", s.error()));
    }
    player->reset();
    std::map<std::string, MediumRange, std::less<>> stored;
    for (const MediumSource& medium : plan.media) {
      auto known = stored.find(medium.path);
      if (known == stored.end()) {
        auto file = files.OpenRead(medium.path);
        if (!file) return Fail(WithContext(medium.label + " '" + medium.path + "'", file.error()));
        auto range = writer.AppendMedium(**file);
        if (!range)
          return Fail(WithContext(medium.label + " '" + medium.path + "'", range.error()));
        known = stored.emplace(medium.path, *range).first;
      }
      Assign(summary.package, medium.slot, medium.index, known->second);
    }
    summary.storedMedia = stored.size();
    if (auto s = writer.AppendZeroFill(plan.zeroFill); !s) return s;
    auto offset = writer.Finish(summary.package);
    if (!offset) return Fail(offset.error());
    summary.package.ConfigOffset = *offset;
    summary.fileBytes = writer.BytesWritten();
    if (auto s = out->Close(); !s) return Fail(WithContext("'" + partPath + "'", s.error()));
    return {};
  };
  if (auto s = build(); !s) {
    out.reset();
    (void)files.Remove(partPath);  // best effort: the error above is the one to report
    return Fail(s.error());
  }
  out.reset();
  if (auto s = files.Rename(partPath, outPath); !s) {
    (void)files.Remove(partPath);
    return Fail(
        WithContext("renaming '" + partPath + "' to '" + std::string(outPath) + "'", s.error()));
  }
  summary.package.PackageFileName = std::string(outPath);
  return summary;
}

}  // namespace vistel
