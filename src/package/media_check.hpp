// Which media a package's records make the player extract, and whether each
// one's range lies where the layout says media lie: after the player and
// before the configuration text. The reader never checks this (the player just
// copies whatever the range covers); vistel-pack check and extract do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/records.hpp"

namespace vistel {

enum class MediumKind { Background, Image, Video, Audio };

struct MediumEntry {
  MediumKind kind = MediumKind::Image;
  std::size_t index = 0;  // screen or track index, from 0
  std::int32_t position = 0;
  std::int32_t length = 0;
};

// The media the player would extract, screen by screen (background, then image
// or video) and then the tracks: a background when BackgroundKind is 1; an
// image on an image screen (ScreenKind 0) when ImageLength is not 0; a video on
// every video screen (ScreenKind not 0), even with VideoLength 0; every track
// unless the first track's name is empty (no music). A listed medium may have
// a length of 0 where the show expects bytes; CheckMedium reports that.
std::vector<MediumEntry> PlayedMedia(const Package& package);
// "background", "image", "video" or "audio".
std::string_view MediumKindName(MediumKind kind);

// "screen 3 background", "track 0 audio".
std::string DescribeMedium(const MediumEntry& medium);
// The names of the record fields that hold the range ("BackgroundPosition").
std::string_view PositionFieldName(MediumKind kind);
std::string_view LengthFieldName(MediumKind kind);

// What is wrong with one medium's range in a file of fileBytes bytes whose
// configuration text starts at configOffset, or "" when nothing is.
std::string CheckMedium(const MediumEntry& medium, std::int32_t configOffset,
                        std::uint64_t fileBytes);

// Problems of the configuration text's line structure that the reader
// tolerates but that mean a damaged text: a last screen group with fewer than
// five lines (an extra empty line makes a screen of zeros that stops the
// show). audioLines is the number of [AUDIO-FILE] lines.
std::vector<std::string> CheckConfigurationLines(std::string_view text, std::size_t audioLines);
// What is unusual in the text but harmless: no final CR LF, which the reader
// treats as if it were there.
std::vector<std::string> ConfigurationWarnings(std::string_view text);

}  // namespace vistel
