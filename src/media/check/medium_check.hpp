// Whether the player can play a medium as the screen or track uses it: a
// picture for a background or an image, an MPEG-1 clip for a video, a sound
// for a track. What the files say of themselves is read by the probes (no
// decoder needed, so every build can check); where decoders are given (the
// Linux build, with FFmpeg) the medium is also decoded as the player would,
// within the same limits. vistel-pack build and check share it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.hpp"
#include "media/probe/picture_probe.hpp"
#include "runtime/files.hpp"
#include "runtime/media.hpp"

namespace vistel {

enum class MediumUse { Background, Image, Video, Track };

// Decoders that decode a medium in full, as the Linux player does. Either
// may be null: that check is then left to the probes.
struct MediumDecoders {
  PictureDecoder* pictures = nullptr;
  ClipDecoder* clips = nullptr;
  // Opens the sound of a file and gives its length; null without a sound
  // decoder.
  Result<Milliseconds> (*soundLength)(std::string_view path) = nullptr;
};

struct MediumVerdict {
  // Why the player cannot play it: nothing shows, or nothing sounds.
  std::vector<std::string> problems;
  // What plays, but not as the author will expect.
  std::vector<std::string> warnings;
  // What the picture's header says, for a picture that probed.
  std::optional<PictureHeader> picture;
};

// Checks the medium in the file at `path` for `use`. `trackFileName` is the
// name the player gives a track's temporary copy, whose extension chooses
// the sound device (tracks only).
MediumVerdict CheckMediumFile(MediumUse use, FileSystem& files, std::string_view path,
                              const MediumDecoders& decoders, std::string_view trackFileName = {});

// What the content is, in words ("a JPEG picture", "a HEIC picture",
// "random bytes of no kind the player reads"), from the first bytes.
std::string DescribeContent(std::span<const std::byte> head);

}  // namespace vistel
