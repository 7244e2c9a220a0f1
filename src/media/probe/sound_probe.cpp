// FFmpeg picks the container by scoring the file's first bytes, in probe
// buffers of 2 KiB doubling up to 1 MiB, and takes the first best score above
// the threshold (25, and above nothing at the end of the file or at 1 MiB).
// Of the containers a sound may be, WAV scores 99 on its RIFF header and MP3
// scores 51 on seven frames in a row. Weaker MP3 scores (short files, junk in
// front) leave room for other containers this does not know; such a file is
// taken only when it holds nothing but frames, which no other container's
// probe has been seen to score.
#include "media/probe/sound_probe.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "media/probe/id3v2_tags.hpp"
#include "media/probe/mpeg_audio.hpp"
#include "media/probe/probe_reader.hpp"
#include "media/probe/wav_timing.hpp"

namespace vistel {
namespace {

using probe::ProbeReader;

constexpr std::size_t kFirstProbeBytes = 2048;
constexpr std::size_t kLastProbeBytes = std::size_t{1} << 20;
constexpr int kRetryScore = 25;
// An MP3 score at least this high is one no other container reaches on MPEG
// audio: seven frames in a row, or 200 covering half the buffer.
constexpr int kSureMp3Score = 48;

enum class Container { Unknown, Wav, Mp3, WeakMp3, Other };

int WavScore(std::span<const std::uint8_t> b) {
  auto is = [&](std::size_t at, const char* text) {
    return std::equal(text, text + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
  };
  if (b.size() <= 32 || !is(8, "WAVE")) return 0;
  if (is(0, "RIFF") || is(0, "RIFX")) return 99;
  if ((is(0, "RF64") || is(0, "BW64")) && is(12, "ds64")) return 100;
  return 0;
}

// The ACT voice-recorder format has a WAV header and outscores WAV.
int ActScore(std::span<const std::uint8_t> b) {
  if (b.size() < 512 || !std::equal(b.begin(), b.begin() + 4, "RIFF") ||
      !std::equal(b.begin() + 8, b.begin() + 12, "WAVE") || b[16] != 16 || b[17] != 0 ||
      b[18] != 0 || b[19] != 0 || b[256] != 0x84) {
    return 0;
  }
  auto zeros = [&](std::size_t from, std::size_t to) {
    return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(from),
                       b.begin() + static_cast<std::ptrdiff_t>(to), [](auto v) { return v == 0; });
  };
  return zeros(44, 256) && zeros(264, 512) ? 100 : 0;
}

struct Verdict {
  Container container = Container::Unknown;
  bool decided = false;
};

// One round of FFmpeg's probe over `buffer`: the container whose score beats
// `threshold`, if any.
Container Score(std::span<const std::uint8_t> buffer, int threshold, bool countsCutFrame) {
  std::span<const std::uint8_t> content = buffer;
  bool tagBeyondBuffer = false;
  if (buffer.size() > 10) {
    const auto head = buffer.first<10>();
    if (probe::IsId3v2Header(head)) {
      const std::int64_t tag = probe::Id3v2ProbeLength(head);
      if (static_cast<std::int64_t>(buffer.size()) > tag + 16) {
        content = buffer.subspan(static_cast<std::size_t>(tag));
      } else if (tag < static_cast<std::int64_t>(kLastProbeBytes)) {
        tagBeyondBuffer = true;
      }
    }
  }
  const int wav = WavScore(content);
  const int act = ActScore(content);
  const int mp3 = probe::Mp3ProbeScore(content, countsCutFrame);
  int best = std::max({wav, act, mp3});
  // Two containers with the same best score: FFmpeg takes neither.
  const int atBest = (wav == best) + (act == best) + (mp3 == best);
  if (tagBeyondBuffer) best = std::min(best, kRetryScore - 1);
  if (best <= threshold || atBest > 1) return Container::Unknown;
  if (best == act) return Container::Other;
  if (best == wav) return Container::Wav;
  return mp3 >= kSureMp3Score ? Container::Mp3 : Container::WeakMp3;
}

Container Recognise(ProbeReader& reader) {
  const std::uint64_t size = reader.Size();
  std::array<Verdict, 2> verdicts;  // without and with cut frames counted
  std::vector<std::uint8_t> buffer;
  std::size_t read = 0;
  for (std::size_t probe = kFirstProbeBytes;; probe *= 2) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(probe, size));
    const bool atEnd = want == read;  // nothing more to read: last round
    reader.Append(read, want - read, buffer);
    read = want;
    const int threshold = atEnd || probe >= kLastProbeBytes ? 0 : kRetryScore;
    for (std::size_t v = 0; v < verdicts.size(); ++v) {
      if (verdicts[v].decided) continue;
      const Container c = Score(buffer, threshold, v == 1);
      if (c != Container::Unknown) verdicts[v] = {c, true};
    }
    const bool done =
        std::all_of(verdicts.begin(), verdicts.end(), [](const Verdict& v) { return v.decided; });
    if (done || atEnd || probe >= kLastProbeBytes) break;
  }
  if (verdicts[0].container == verdicts[1].container) return verdicts[0].container;
  const bool weak = std::any_of(verdicts.begin(), verdicts.end(), [](const Verdict& v) {
    return v.container == Container::WeakMp3 || v.container == Container::Mp3;
  });
  return weak ? Container::WeakMp3 : Container::Unknown;
}

Error Refusal(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "Cannot time the sound: " + why);
}

}  // namespace

Result<SoundTiming> ProbeSoundTiming(InputFile& file) {
  ProbeReader reader(file);
  const Container container = Recognise(reader);
  if (reader.Failure()) return Fail(*reader.Failure());
  switch (container) {
    case Container::Unknown:
      return Fail(Refusal("it is neither a WAV nor an MPEG audio file"));
    case Container::Other:
      return Fail(Refusal("it is recognised as another format than WAV"));
    case Container::Wav:
    case Container::Mp3:
    case Container::WeakMp3:
      break;
  }
  // Every demuxer starts after the ID3v2 tags in front.
  const auto start = probe::SkipId3v2Tags(reader, 0);
  if (!start) return Fail(Refusal("an ID3v2 tag has both an extended header and a footer"));
  if (container == Container::Wav) return probe::TimeWav(reader, *start);
  return probe::TimeMpegAudio(reader, *start, container == Container::WeakMp3);
}

std::string_view SoundFileKindName(SoundFileKind kind) {
  switch (kind) {
    case SoundFileKind::Wav:
      return "WAV";
    case SoundFileKind::MpegAudio:
      return "MPEG audio";
  }
  return "sound";
}

}  // namespace vistel
