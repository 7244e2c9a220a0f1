#include "package/media_check.hpp"

#include "package/fields.hpp"
#include "package/reader.hpp"

namespace vistel {
namespace {

std::string Text(std::uint64_t n) {
  return std::to_string(n);
}

}  // namespace

std::string_view MediumKindName(MediumKind kind) {
  switch (kind) {
    case MediumKind::Background:
      return "background";
    case MediumKind::Image:
      return "image";
    case MediumKind::Video:
      return "video";
    case MediumKind::Audio:
      return "audio";
  }
  return "";
}

std::vector<MediumEntry> PlayedMedia(const Package& package) {
  std::vector<MediumEntry> media;
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    const ScreenSettings& s = package.Screens[i];
    if (s.BackgroundKind == 1) {
      media.push_back({MediumKind::Background, i, s.BackgroundPosition, s.BackgroundLength});
    }
    if (s.ScreenKind == 0) {
      if (s.ImageLength != 0)
        media.push_back({MediumKind::Image, i, s.ImagePosition, s.ImageLength});
    } else {
      media.push_back({MediumKind::Video, i, s.VideoPosition, s.VideoLength});
    }
  }
  const bool hasMusic =
      !package.AudioTracks.empty() && !package.AudioTracks.front().TrackFileName.empty();
  if (hasMusic) {
    for (std::size_t i = 0; i < package.AudioTracks.size(); ++i) {
      const AudioTrack& t = package.AudioTracks[i];
      media.push_back({MediumKind::Audio, i, t.TrackPosition, t.TrackLength});
    }
  }
  return media;
}

std::string DescribeMedium(const MediumEntry& medium) {
  const char* owner = medium.kind == MediumKind::Audio ? "track " : "screen ";
  return owner + std::to_string(medium.index) + " " + std::string(MediumKindName(medium.kind));
}

std::string_view PositionFieldName(MediumKind kind) {
  switch (kind) {
    case MediumKind::Background:
      return "BackgroundPosition";
    case MediumKind::Image:
      return "ImagePosition";
    case MediumKind::Video:
      return "VideoPosition";
    case MediumKind::Audio:
      return "TrackPosition";
  }
  return "";
}

std::string_view LengthFieldName(MediumKind kind) {
  switch (kind) {
    case MediumKind::Background:
      return "BackgroundLength";
    case MediumKind::Image:
      return "ImageLength";
    case MediumKind::Video:
      return "VideoLength";
    case MediumKind::Audio:
      return "TrackLength";
  }
  return "";
}

std::string CheckMedium(const MediumEntry& medium, std::int32_t configOffset,
                        std::uint64_t fileBytes) {
  const std::string length = std::string(LengthFieldName(medium.kind));
  const std::string position = std::string(PositionFieldName(medium.kind));
  if (medium.length == 0) {
    switch (medium.kind) {
      case MediumKind::Background:
        return "BackgroundKind is 1 but BackgroundLength is 0";
      case MediumKind::Video:
        return "a video screen (ScreenKind not 0) but VideoLength is 0";
      default:
        return length + " is 0";
    }
  }
  if (medium.length < 0) return length + " " + std::to_string(medium.length) + " is negative";
  if (medium.position < 1) {
    return position + " " + std::to_string(medium.position) +
           " lies before the file's first byte (positions count from 1)";
  }
  const auto start = static_cast<std::uint64_t>(medium.position) - 1;
  const std::uint64_t end = start + static_cast<std::uint64_t>(medium.length);  // exclusive
  const std::string range = "bytes " + Text(start) + " to " + Text(end - 1) + " (0-based)";
  if (end > fileBytes) {
    return range + " run past the end of the file, which has " + Text(fileBytes) + " bytes";
  }
  const std::uint64_t trailer = fileBytes - kTrailerLength;
  if (end > trailer) return range + " overlap the trailer, which starts at byte " + Text(trailer);
  const auto config = static_cast<std::uint64_t>(configOffset);
  if (end > config) {
    return range + " overlap the configuration text, which starts at byte " + Text(config);
  }
  return "";
}

std::vector<std::string> CheckConfigurationLines(std::string_view text, std::size_t audioLines) {
  std::vector<std::string> problems;
  constexpr std::string_view kLineEnd = "\r\n";
  std::size_t lines = 0;
  std::size_t from = 0;
  while (true) {
    const std::size_t end = text.find(kLineEnd, from);
    if (end == std::string_view::npos) break;
    ++lines;
    from = end + kLineEnd.size();
  }
  // An unterminated last line still counts for the reader.
  if (from != text.size()) ++lines;
  const std::size_t groupLines = lines > 1 + audioLines ? lines - 1 - audioLines : 0;
  if (groupLines % kGroupLineCount != 0) {
    problems.push_back("the configuration text has " + std::to_string(groupLines) +
                       " screen lines after the audio lines, not a multiple of " +
                       std::to_string(kGroupLineCount) + ": its last screen group is incomplete (" +
                       std::to_string(groupLines % kGroupLineCount) + " of " +
                       std::to_string(kGroupLineCount) + " lines)");
  }
  return problems;
}

std::vector<std::string> ConfigurationWarnings(std::string_view text) {
  std::vector<std::string> warnings;
  if (!text.empty() && !text.ends_with("\r\n")) {
    warnings.emplace_back(
        "the configuration text does not end with CR LF (the player reads it as if it did)");
  }
  return warnings;
}

}  // namespace vistel
