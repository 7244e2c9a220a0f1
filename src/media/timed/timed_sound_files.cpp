#include "media/timed/timed_sound_files.hpp"

#include <vector>

#include "base/input_limits.hpp"
#include "media/probe/sound_probe.hpp"
#include "media/sound/midi_timing.hpp"
#include "media/timed/timed_silence.hpp"

namespace vistel {

bool TimedSoundFiles::IsFile(std::string_view path) {
  return files_.OpenRead(path).has_value();
}

Result<std::unique_ptr<AudioFileDecoder>> TimedSoundFiles::OpenMidi(std::string_view path) {
  auto file = files_.OpenRead(path);
  if (!file) return Fail(file.error());
  if ((*file)->Size() > limits::kMaxMidiFileBytes) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "not a readable MIDI file: larger than " +
                    std::to_string(limits::kMaxMidiFileBytes >> 20) + " MiB");
  }
  std::vector<std::byte> bytes(static_cast<std::size_t>((*file)->Size()));
  auto read = (*file)->ReadAt(0, bytes);
  if (!read) return Fail(read.error());
  bytes.resize(*read);
  auto timing = MidiTiming::Parse(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!timing) return Fail(timing.error());
  return std::unique_ptr<AudioFileDecoder>(std::make_unique<TimedSilence>(
      MidiTiming::kRenderRate, timing->RenderedLengthMs(), timing->RenderedFrames()));
}

Result<std::unique_ptr<AudioFileDecoder>> TimedSoundFiles::OpenSound(std::string_view path) {
  auto file = files_.OpenRead(path);
  if (!file) return Fail(file.error());
  auto timing = ProbeSoundTiming(**file);
  if (!timing) return Fail(timing.error());
  return std::unique_ptr<AudioFileDecoder>(
      std::make_unique<TimedSilence>(timing->sampleRate, timing->lengthMs, timing->frames));
}

}  // namespace vistel
