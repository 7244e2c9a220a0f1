#include "media/mci/mci_verbs.hpp"

#include <array>

namespace vistel {
namespace {

using enum MciKey;

constexpr std::array kOpenKeys = {Notify, Wait, Type, Alias, Shareable, Buffer};
constexpr std::array kPlainKeys = {Notify, Wait};
constexpr std::array kPlayKeys = {Notify, Wait, From, To};
// "to start" and "to end" before "to", which would take "start" for its number.
constexpr std::array kSeekKeys = {Notify, Wait, ToStart, ToEnd, To};
constexpr std::array kStatusKeys = {Notify, Wait, Item, Track, Start};
constexpr std::array kSetKeys = {Notify, Wait, TimeFormat};
constexpr std::array kSetAudioKeys = {Notify, Wait, Item, To};

constexpr std::array<MciItemName, 8> kStatusItems = {{
    {"position", mciitem::kPosition},
    {"length", mciitem::kLength},
    {"number of tracks", mciitem::kNumberOfTracks},
    {"media present", mciitem::kMediaPresent},
    {"mode", mciitem::kMode},
    {"ready", mciitem::kReady},
    {"time format", mciitem::kTimeFormat},
    {"current track", mciitem::kCurrentTrack},
}};
constexpr std::array<MciItemName, 9> kVideoStatusItems = {{
    {"position", mciitem::kPosition},
    {"length", mciitem::kLength},
    {"number of tracks", mciitem::kNumberOfTracks},
    {"media present", mciitem::kMediaPresent},
    {"mode", mciitem::kMode},
    {"ready", mciitem::kReady},
    {"time format", mciitem::kTimeFormat},
    {"current track", mciitem::kCurrentTrack},
    {"volume", mciitem::kVolume},
}};
constexpr std::array<MciItemName, 1> kSetAudioItems = {{{"volume", mciitem::kVolume}}};

constexpr MciGrammar kOpen{kOpenKeys, {}};
constexpr MciGrammar kPlain{kPlainKeys, {}};
constexpr MciGrammar kPlay{kPlayKeys, {}};
constexpr MciGrammar kSeek{kSeekKeys, {}};
constexpr MciGrammar kStatus{kStatusKeys, kStatusItems};
constexpr MciGrammar kVideoStatus{kStatusKeys, kVideoStatusItems};
constexpr MciGrammar kSet{kSetKeys, {}};
constexpr MciGrammar kSetAudio{kSetAudioKeys, kSetAudioItems};

const char* ModeText(MciMode mode) {
  switch (mode) {
    case MciMode::Playing:
      return "playing";
    case MciMode::Paused:
      return "paused";
    case MciMode::Stopped:
      break;
  }
  return "stopped";
}

const char* TimeFormatText(MciTimeFormat format) {
  switch (format) {
    case MciTimeFormat::Frames:
      return "frames";
    case MciTimeFormat::Samples:
      return "samples";
    case MciTimeFormat::Ms:
      break;
  }
  return "milliseconds";
}

// A time format by name or by winmm's number for it.
std::optional<MciTimeFormat> TimeFormatNamed(const std::string& word) {
  if (word == "milliseconds" || word == "ms" || word == "0") return MciTimeFormat::Ms;
  if (word == "frames" || word == "3") return MciTimeFormat::Frames;
  if (word == "samples" || word == "9") return MciTimeFormat::Samples;
  return std::nullopt;
}

// A position in the device's time format, in ms; out of range past the end.
std::uint32_t PositionArgument(const MciDevice& device, std::uint32_t units, Milliseconds& ms) {
  ms = device.FromUnits(units);
  return ms > device.LengthMs() ? mcierr::kOutOfRange : 0;
}

std::uint32_t PlayVerb(const MciArguments& args, MciDevice& device, AudioOutput& output) {
  Milliseconds from = -1;
  Milliseconds to = -1;
  if (args.from) {
    if (const auto rc = PositionArgument(device, *args.from, from); rc != 0) return rc;
  }
  if (args.to) {
    if (const auto rc = PositionArgument(device, *args.to, to); rc != 0) return rc;
    // Play goes forward only, from "from" or from where the device is.
    if (to < (from >= 0 ? from : device.PositionMs())) return mcierr::kOutOfRange;
  }
  device.Play(output, from, to);
  return 0;
}

std::uint32_t SeekVerb(const MciArguments& args, MciDevice& device) {
  const int targets = int{args.toStart} + int{args.toEnd} + int{args.to.has_value()};
  if (targets == 0) return mcierr::kMissingParameter;
  if (targets > 1) return mcierr::kFlagsNotCompatible;
  Milliseconds target = 0;
  if (args.toEnd) {
    target = device.LengthMs();
  } else if (args.to) {
    if (const auto rc = PositionArgument(device, *args.to, target); rc != 0) return rc;
  }
  device.Stop(target);
  return 0;
}

std::uint32_t StatusVerb(const MciArguments& args, MciDevice& device, std::string& reply) {
  if (!args.item) return mcierr::kMissingParameter;
  // Every medium here is one track.
  if (args.track && *args.track != 1) return mcierr::kOutOfRange;
  switch (*args.item) {
    case mciitem::kPosition:
      reply = std::to_string(args.start ? 0 : device.ToUnits(device.PositionMs()));
      return 0;
    case mciitem::kLength:
      reply = std::to_string(device.ToUnits(device.LengthMs()));
      return 0;
    case mciitem::kMode:
      reply = ModeText(device.Mode());
      return 0;
    case mciitem::kReady:
    case mciitem::kMediaPresent:
      reply = "true";
      return 0;
    case mciitem::kNumberOfTracks:
    case mciitem::kCurrentTrack:
      reply = "1";
      return 0;
    case mciitem::kTimeFormat:
      reply = TimeFormatText(device.TimeFormat());
      return 0;
    case mciitem::kVolume:
      if (device.Type() != MciDeviceType::MpegVideo) break;
      reply = std::to_string(device.Volume());
      return 0;
    default:
      break;
  }
  return mcierr::kUnsupportedFunction;
}

std::uint32_t SetVerb(const MciArguments& args, MciDevice& device) {
  if (!args.timeFormat) return mcierr::kMissingParameter;
  const auto format = TimeFormatNamed(*args.timeFormat);
  if (!format || !device.Supports(*format)) return mcierr::kBadTimeFormat;
  device.SetTimeFormat(*format);
  return 0;
}

std::uint32_t SetAudioVerb(const MciArguments& args, MciDevice& device) {
  if (!args.item || !args.to) return mcierr::kMissingParameter;
  if (*args.item != mciitem::kVolume) return mcierr::kUnsupportedFunction;
  if (*args.to > MciDevice::kFullVolume) return mcierr::kOutOfRange;
  device.SetVolume(static_cast<int>(*args.to));
  return 0;
}

// The waveaudio driver pauses and resumes only what plays (or is paused).
std::uint32_t PauseOrResume(std::string_view verb, MciDevice& device) {
  if (device.Type() == MciDeviceType::WaveAudio && device.Mode() == MciMode::Stopped) {
    return mcierr::kNonapplicableFunction;
  }
  if (verb == "pause") {
    device.Pause();
  } else {
    device.Resume();
  }
  return 0;
}

}  // namespace

const MciGrammar* FindMciGrammar(std::string_view verb, std::optional<MciDeviceType> type) {
  if (verb == "open") return &kOpen;
  if (verb == "close" || verb == "stop" || verb == "pause" || verb == "resume") return &kPlain;
  if (verb == "play") return &kPlay;
  if (verb == "seek") return &kSeek;
  if (verb == "set") return &kSet;
  const bool video = type == MciDeviceType::MpegVideo;
  if (verb == "status") return video ? &kVideoStatus : &kStatus;
  if (verb == "setaudio" && video) return &kSetAudio;
  return nullptr;
}

std::uint32_t RunMciVerb(std::string_view verb, const MciArguments& args, MciDevice& device,
                         AudioOutput& output, std::string& reply) {
  if (verb == "play") return PlayVerb(args, device, output);
  if (verb == "seek") return SeekVerb(args, device);
  if (verb == "status") return StatusVerb(args, device, reply);
  if (verb == "set") return SetVerb(args, device);
  if (verb == "setaudio") return SetAudioVerb(args, device);
  if (verb == "stop") {
    device.Stop();
    return 0;
  }
  if (verb == "pause" || verb == "resume") return PauseOrResume(verb, device);
  return mcierr::kUnrecognizedCommand;
}

}  // namespace vistel
