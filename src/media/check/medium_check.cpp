#include "media/check/medium_check.hpp"

#include <algorithm>
#include <span>

#include "base/input_limits.hpp"
#include "base/text.hpp"
#include "media/mpeg1/clip_decoder.hpp"
#include "media/probe/clip_probe.hpp"
#include "media/probe/media_signature.hpp"
#include "media/probe/sound_probe.hpp"
#include "media/sound/midi_timing.hpp"

namespace vistel {
namespace {

// A JPEG's size may follow large metadata (an embedded preview, ICC
// profiles); more than this ahead of the frame header is no photo's.
constexpr std::uint64_t kPictureHeadBytes = std::uint64_t{16} << 20;

Result<std::vector<std::byte>> ReadHead(InputFile& file, std::uint64_t limit) {
  std::vector<std::byte> bytes(static_cast<std::size_t>(std::min(file.Size(), limit)));
  std::size_t at = 0;
  while (at < bytes.size()) {
    auto got = file.ReadAt(at, std::span(bytes).subspan(at));
    if (!got) return Fail(got.error());
    if (*got == 0) break;
    at += *got;
  }
  bytes.resize(at);
  return bytes;
}

bool Has(std::span<const std::byte> bytes, std::size_t offset, std::string_view text) {
  if (offset > bytes.size() || bytes.size() - offset < text.size()) return false;
  return std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    [](char c, std::byte b) { return static_cast<std::byte>(c) == b; });
}

// Where a medium of this content belongs in a show description, when that is
// another place than `use`.
std::string RightPlace(std::string_view extension, MediumUse use) {
  const bool picture = use == MediumUse::Image || use == MediumUse::Background;
  if (extension == ".jpg" || extension == ".png" || extension == ".bmp" || extension == ".gif" ||
      extension == ".tif") {
    return picture ? "" : "; give it as \"image\" or \"background\"";
  }
  if (extension == ".mpg") return use == MediumUse::Video ? "" : "; give it as \"video\"";
  if (extension == ".wav" || extension == ".mp3" || extension == ".mp2" || extension == ".mid") {
    return use == MediumUse::Track ? "" : "; give it as a track's \"file\"";
  }
  return "";
}

bool IsMidiName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string ext = AsciiLower(name.substr(dot));
  return ext == ".mid" || ext == ".midi" || ext == ".rmi";
}

void CheckPicture(MediumUse use, InputFile& file, std::string_view path,
                  const MediumDecoders& decoders, MediumVerdict& verdict) {
  // What the screen shows instead: the control keeps what it last decoded.
  const std::string instead =
      use == MediumUse::Background
          ? "; the player draws the previous background picture there again, or leaves what the "
            "previous screen showed"
          : "; the player shows the previous image screen's picture there again, or the "
            "background alone";
  auto head = ReadHead(file, kPictureHeadBytes);
  if (!head) {
    verdict.problems.push_back("cannot be read: " + head.error().description);
    return;
  }
  const auto header = ProbePicture(*head);
  if (!header) {
    if (const auto kind = SniffPictureKind(*head)) {
      verdict.problems.push_back("is a " + std::string(PictureKindName(*kind)) +
                                 " picture cut short before its size" + instead);
    } else {
      verdict.problems.push_back("is " + DescribeContent(*head) +
                                 ", not a picture the player reads (JPEG, PNG, BMP, "
                                 "GIF or TIFF)" +
                                 RightPlace(MediaExtension(*head), use) + instead);
    }
    return;
  }
  verdict.picture = header;
  const IntSize size = header->size;
  const std::string dimensions = std::to_string(size.width) + "x" + std::to_string(size.height);
  if (size.width > limits::kMaxPictureSide || size.height > limits::kMaxPictureSide ||
      std::int64_t{size.width} * size.height > limits::kMaxPicturePixels) {
    verdict.problems.push_back("is " + dimensions + " pixels, more than the player decodes (" +
                               std::to_string(limits::kMaxPictureSide) + " pixels a side, " +
                               std::to_string(limits::kMaxPicturePixels / 1000000) +
                               " million pixels)" + instead + ". Scale it down first");
    return;
  }
  if (decoders.pictures != nullptr) {
    auto decoded = decoders.pictures->DecodePicture(path, Pixel{});
    if (!decoded) {
      verdict.problems.push_back("cannot be decoded: " + decoded.error().description + instead);
      return;
    }
  }
  if (header->orientation != PictureOrientation::Upright) {
    verdict.warnings.push_back(
        "is a photo stored turned (Exif orientation: " +
        std::string(OrientationName(header->orientation)) +
        " to stand it upright); the player shows the stored pixels, so it plays turned. Turn it "
        "upright first (vistel-pack slideshow does, or any photo editor's rotate and save)");
  }
}

// The first picture of a clip, decoded.
Status DecodeFirstPicture(ClipDecoder& decoder, std::string_view path) {
  auto clip = decoder.OpenClip(path);
  if (!clip) return Fail(clip.error());
  if (!*clip) return Fail(ErrorCode::InvalidProcedureCall, "the clip did not open");
  if (!(*clip)->HasVideo()) return {};
  Image frame;
  auto shown = (*clip)->FrameAt(0, frame);
  if (!shown) return Fail(shown.error());
  return {};
}

void CheckClip(InputFile& file, FileSystem& files, std::string_view path,
               const MediumDecoders& decoders, MediumVerdict& verdict) {
  auto head = ReadHead(file, kMediaSignatureBytes);
  if (!head) {
    verdict.problems.push_back("cannot be read: " + head.error().description);
    return;
  }
  constexpr std::string_view kNoClip =
      "; the player shows no clip there and moves on after DisplaySeconds";
  const std::string content = DescribeContent(*head);
  const std::string extension(MediaExtension(*head));
  // What the Windows player (the project's own MPEG-1 decoder, timed by the
  // probe) makes of it, and what the Linux player (FFmpeg) does.
  const auto timing = ProbeClip(file);
  Status own;
  if (timing) {
    Mpeg1ClipDecoder decoder(files);
    own = DecodeFirstPicture(decoder, path);
  }
  if (decoders.clips != nullptr) {
    const Status linux = DecodeFirstPicture(*decoders.clips, path);
    if (!linux) {
      verdict.problems.push_back(
          (timing ? "cannot be decoded: " : "is " + content + ", not a clip the player plays: ") +
          linux.error().description + RightPlace(extension, MediumUse::Video) +
          std::string(kNoClip));
      return;
    }
    if (!timing || !own) {
      verdict.warnings.push_back(
          "plays on Linux only: the Windows player plays MPEG-1 system streams it can time and "
          "decode, and " +
          (timing ? "cannot decode its first picture: " + own.error().description
                  : "cannot time this one: " + timing.error().description));
      return;
    }
  } else if (!timing) {
    verdict.problems.push_back("is " + content + ", not an MPEG-1 clip the player plays (" +
                               timing.error().description + ")" +
                               RightPlace(extension, MediumUse::Video) + std::string(kNoClip));
    return;
  } else if (!own) {
    verdict.problems.push_back("its first picture cannot be decoded: " + own.error().description +
                               std::string(kNoClip));
    return;
  }
  if (!timing->hasVideo) {
    verdict.warnings.push_back(
        "has no pictures: the screen shows its background while the clip's sound plays");
  }
}

void CheckSound(InputFile& file, std::string_view path, const MediumDecoders& decoders,
                std::string_view trackFileName, MediumVerdict& verdict) {
  auto head = ReadHead(file, kMediaSignatureBytes);
  if (!head) {
    verdict.problems.push_back("cannot be read: " + head.error().description);
    return;
  }
  const std::string extension(MediaExtension(*head));
  const std::string content = DescribeContent(*head);
  constexpr std::string_view kSilent = "; the music stops at this track";
  // The music moves on when a track's position reaches its length; a length
  // of 0 never comes.
  const auto timeless = [&](Milliseconds length) {
    if (length <= 0) {
      verdict.problems.push_back("plays for no measurable time, so the player never sees it end" +
                                 std::string(kSilent));
    }
  };
  if (extension == ".mid") {
    if (!trackFileName.empty() && !IsMidiName(trackFileName)) {
      verdict.problems.push_back("is a MIDI song, but its TrackFileName \"" +
                                 std::string(trackFileName) +
                                 "\" does not end in .mid, .midi or .rmi, which the player needs "
                                 "to play it as MIDI" +
                                 std::string(kSilent));
      return;
    }
    if (file.Size() > limits::kMaxMidiFileBytes) {
      verdict.problems.push_back("is a MIDI file of " + std::to_string(file.Size()) +
                                 " bytes, more than the player reads (" +
                                 std::to_string(limits::kMaxMidiFileBytes) + ")" +
                                 std::string(kSilent));
      return;
    }
    auto whole = ReadHead(file, limits::kMaxMidiFileBytes);
    if (!whole) {
      verdict.problems.push_back("cannot be read: " + whole.error().description);
      return;
    }
    const auto bytes =
        std::span(reinterpret_cast<const std::uint8_t*>(whole->data()), whole->size());
    auto parsed = MidiTiming::Parse(bytes);
    if (!parsed) {
      verdict.problems.push_back("is a MIDI file the player cannot play: " +
                                 parsed.error().description + std::string(kSilent));
      return;
    }
    timeless(parsed->RenderedLengthMs());
    return;
  }
  if (!trackFileName.empty() && IsMidiName(trackFileName)) {
    verdict.problems.push_back("its TrackFileName \"" + std::string(trackFileName) +
                               "\" names a MIDI song, but it is " + content +
                               "; the player plays it as MIDI and fails" + std::string(kSilent));
    return;
  }
  if (decoders.soundLength != nullptr) {
    auto length = decoders.soundLength(path);
    if (!length) {
      const bool sound = extension == ".wav" || extension == ".mp3" || extension == ".mp2";
      verdict.problems.push_back(
          "is " + content +
          (sound ? " the player cannot decode: " : ", not a sound the player plays: ") +
          length.error().description + RightPlace(extension, MediumUse::Track) +
          std::string(kSilent));
      return;
    }
    timeless(*length);
    return;
  }
  if (extension == ".wav" || extension == ".mp3" || extension == ".mp2") {
    auto timing = ProbeSoundTiming(file);
    if (!timing) {
      verdict.problems.push_back("is " + content + " the player cannot play: " +
                                 timing.error().description + std::string(kSilent));
      return;
    }
    timeless(timing->lengthMs);
    return;
  }
  if (auto timing = ProbeClip(file); timing && timing->hasAudio) {
    timeless(timing->duration);
    return;
  }
  verdict.problems.push_back("is " + content +
                             ", not a sound the player plays (WAV, MP3, MP2, MIDI)" +
                             RightPlace(extension, MediumUse::Track) + std::string(kSilent));
}

}  // namespace

std::string DescribeContent(std::span<const std::byte> head) {
  if (head.empty()) return "empty";
  const std::string_view extension = MediaExtension(head);
  if (extension == ".jpg") return "a JPEG picture";
  if (extension == ".png") return "a PNG picture";
  if (extension == ".bmp") return "a BMP picture";
  if (extension == ".gif") return "a GIF picture";
  if (extension == ".tif") return "a TIFF picture";
  if (extension == ".mpg") return "an MPEG stream";
  if (extension == ".avi") return "an AVI clip";
  if (extension == ".wav") return "a WAV sound";
  if (extension == ".mp3") return "MP3 sound";
  if (extension == ".mp2") return "MPEG audio (layer I or II)";
  if (extension == ".mid") return "a MIDI song";
  // What people put in shows that the player does not read.
  if (Has(head, 4, "ftyp")) {
    if (Has(head, 8, "heic") || Has(head, 8, "heix") || Has(head, 8, "mif1") ||
        Has(head, 8, "hevc") || Has(head, 8, "msf1")) {
      return "a HEIC picture";
    }
    if (Has(head, 8, "avif")) return "an AVIF picture";
    return "an MP4/QuickTime file";
  }
  if (Has(head, 0, "RIFF") && Has(head, 8, "WEBP")) return "a WebP picture";
  if (Has(head, 0, "OggS")) return "an Ogg file";
  if (Has(head, 0, "fLaC")) return "a FLAC sound";
  if (Has(head, 0, "%PDF")) return "a PDF document";
  if (Has(head, 0, "\x30\x26\xB2\x75")) return "an ASF/WMV file";
  return "data of no kind the player reads";
}

MediumVerdict CheckMediumFile(MediumUse use, FileSystem& files, std::string_view path,
                              const MediumDecoders& decoders, std::string_view trackFileName) {
  MediumVerdict verdict;
  auto file = files.OpenRead(path);
  if (!file) {
    verdict.problems.push_back("cannot be read: " + file.error().description);
    return verdict;
  }
  if ((*file)->Size() == 0) {
    verdict.problems.push_back("is empty");
    return verdict;
  }
  switch (use) {
    case MediumUse::Background:
    case MediumUse::Image:
      CheckPicture(use, **file, path, decoders, verdict);
      break;
    case MediumUse::Video:
      CheckClip(**file, files, path, decoders, verdict);
      break;
    case MediumUse::Track:
      CheckSound(**file, path, decoders, trackFileName, verdict);
      break;
  }
  return verdict;
}

}  // namespace vistel
