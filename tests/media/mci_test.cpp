#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "base/input_limits.hpp"
#include "hosts/common/null_audio.hpp"
#include "hosts/headless/event_loop.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/mci/mci_service.hpp"
#include "media/midi/decoded_sound_files.hpp"
#include "media/midi/midi_decoder.hpp"
#include "media_test_support.hpp"
#include "midi_test_file.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

class MciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clock_.AdvanceTo(5000);  // the service must not assume a clock starting at 0
    const auto sound = testing::Sine(440, 0.5, 44100, 2.5);
    ASSERT_TRUE(EncodeAudioFile(sound, {44100, 2}, AudioFileType::Wav, wav_));
    quotedWav_ = "\"" + wav_ + "\"";
  }

  // Sends and expects success; returns the reply.
  std::string Ok(const std::string& command, std::uint32_t replySize = 128) {
    const MciReply r = mci_.SendString(command, replySize);
    EXPECT_EQ(r.rc, 0U) << command;
    return r.reply;
  }
  std::uint32_t Rc(const std::string& command) { return mci_.SendString(command, 128).rc; }
  std::string Status(const std::string& device, const std::string& item) {
    return Ok("status " + device + " " + item);
  }
  void Advance(Milliseconds ms) { clock_.AdvanceTo(clock_.NowMs() + ms); }

  ScratchFolder folder_{"mci"};
  std::string wav_ = folder_.File("tune.wav");
  std::string quotedWav_;
  VirtualClock clock_;
  NullAudioOutput output_{clock_};
  DecodedSoundFiles sounds_;
  MciStringService mci_{output_, sounds_};
};

TEST_F(MciTest, PlaysPausesResumesStopsAndEndsOnTheClock) {
  const std::string& d = quotedWav_;
  ASSERT_EQ(Rc("open " + d), 0U);
  EXPECT_EQ(Status(d, "length"), "2500");
  EXPECT_EQ(Status(d, "mode"), "stopped");
  EXPECT_EQ(Status(d, "ready"), "true");

  Ok("play " + d);
  EXPECT_EQ(Status(d, "mode"), "playing");
  Advance(1000);
  EXPECT_EQ(Status(d, "position"), "1000");

  Ok("pause " + d);
  Advance(700);
  EXPECT_EQ(Status(d, "mode"), "paused");
  EXPECT_EQ(Status(d, "position"), "1000");
  Ok("resume " + d);
  Advance(300);
  EXPECT_EQ(Status(d, "position"), "1300");

  // "stop" keeps the position; "play" goes on from there.
  Ok("stop " + d);
  Advance(400);
  EXPECT_EQ(Status(d, "mode"), "stopped");
  EXPECT_EQ(Status(d, "position"), "1300");
  Ok("play " + d);
  Advance(1199);
  EXPECT_EQ(Status(d, "mode"), "playing");
  EXPECT_EQ(Status(d, "position"), "2499");
  Advance(5000);
  EXPECT_EQ(Status(d, "mode"), "stopped") << "the end of the sound stops the device";
  EXPECT_EQ(Status(d, "position"), "2500");

  // Play at the end stays stopped there.
  Ok("play " + d);
  EXPECT_EQ(Status(d, "mode"), "stopped");
  EXPECT_EQ(Status(d, "position"), "2500");
  Ok("close " + d);
}

TEST_F(MciTest, PlayRangesSeekAndPauseViaPlay) {
  const std::string& d = quotedWav_;
  ASSERT_EQ(Rc("open " + d), 0U);
  Ok("play " + d + " from 500 to 1000");
  Advance(300);
  EXPECT_EQ(Status(d, "position"), "800");
  Advance(300);
  EXPECT_EQ(Status(d, "mode"), "stopped");
  EXPECT_EQ(Status(d, "position"), "1000") << "stops at 'to'";

  Ok("seek " + d + " to end");
  EXPECT_EQ(Status(d, "position"), "2500");
  Ok("seek " + d + " to start");
  EXPECT_EQ(Status(d, "position"), "0");
  Ok("seek " + d + " to 2000");
  EXPECT_EQ(Status(d, "position"), "2000");
  Ok("play " + d);
  Advance(250);
  Ok("seek " + d + " to 100");
  EXPECT_EQ(Status(d, "mode"), "stopped") << "a seek stops playback";
  EXPECT_EQ(Status(d, "position"), "100");

  // "play" on a paused device resumes it.
  Ok("play " + d + " from 0");
  Advance(200);
  Ok("pause " + d);
  Advance(500);
  Ok("play " + d);
  Advance(100);
  EXPECT_EQ(Status(d, "mode"), "playing");
  EXPECT_EQ(Status(d, "position"), "300");
}

TEST_F(MciTest, TimeFormatsAndReplyTruncation) {
  const std::string& d = quotedWav_;
  ASSERT_EQ(Rc("open " + d), 0U);
  Ok("set " + d + " time format ms");
  Ok("set " + d + " time format milliseconds");
  EXPECT_EQ(Status(d, "time format"), "milliseconds");
  EXPECT_EQ(Rc("set " + d + " time format frames"), mcierr::kBadTimeFormat)
      << "waveaudio has no frames";
  EXPECT_EQ(Rc("set " + d + " time format parsecs"), mcierr::kBadTimeFormat);
  Ok("set " + d + " time format samples");
  EXPECT_EQ(Status(d, "length"), "110250");
  Ok("seek " + d + " to 44100");
  Ok("set " + d + " time format ms");
  EXPECT_EQ(Status(d, "position"), "1000");

  // At most replySize - 1 characters; a reply that did not fit says so and,
  // like every failure, leaves the area empty.
  MciReply r = mci_.SendString("status " + d + " length", 3);
  EXPECT_EQ(r.reply, "");
  EXPECT_EQ(r.rc, mcierr::kParamOverflow);
  r = mci_.SendString("status " + d + " length", 5);
  EXPECT_EQ(r.reply, "2500");
  EXPECT_EQ(r.rc, 0U);
  // Size 0 asks for no reply: the open device still answers 0 (the music
  // module's playing test relies on it).
  r = mci_.SendString("status " + d + " mode", 0);
  EXPECT_EQ(r.rc, 0U);
  EXPECT_EQ(r.reply, "");
}

TEST_F(MciTest, DeviceNamesAndParsing) {
  // Named by the file name without its quotes; case and blanks do not matter.
  ASSERT_EQ(Rc("OPEN   " + quotedWav_ + "  "), 0U);
  Ok("play " + quotedWav_);
  EXPECT_EQ(Status(wav_, "mode"), "playing") << "unquoted is the same name";
  std::string upper = quotedWav_;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Ok("Status " + upper + "   MODE"), "playing");
  EXPECT_EQ(Rc("open " + wav_), mcierr::kDeviceOpen);
  Ok("stop " + wav_);

  ASSERT_EQ(Rc("open " + quotedWav_ + " alias tune"), 0U) << "a second device under an alias";
  Ok("play tune notify");
  Ok("play tune wait");  // returns at once on this clock
  EXPECT_EQ(Status("tune", "mode"), "playing");
  EXPECT_EQ(Status(quotedWav_, "mode"), "stopped") << "devices are independent";
  Ok("close all");
  EXPECT_EQ(Rc("status tune mode"), mcierr::kInvalidDeviceName);

  EXPECT_EQ(Rc(""), mcierr::kMissingCommandString);
  EXPECT_EQ(Rc("   "), mcierr::kUnrecognizedCommand) << "the empty verb";
  EXPECT_EQ(Rc("dance " + quotedWav_), mcierr::kUnrecognizedCommand);
  EXPECT_EQ(Rc("play"), mcierr::kMissingDeviceName);
  EXPECT_EQ(Rc("open \"" + wav_), mcierr::kNoClosingQuote);
  EXPECT_EQ(Rc("close nothing"), mcierr::kInvalidDeviceName);
  EXPECT_EQ(Rc("close \"\""), mcierr::kInvalidDeviceName) << "the empty quoted name";

  ASSERT_EQ(Rc("open " + quotedWav_), 0U);
  EXPECT_EQ(Rc("status " + quotedWav_), mcierr::kMissingParameter);
  EXPECT_EQ(Rc("status " + quotedWav_ + " colour"), mcierr::kUnrecognizedKeyword);
  EXPECT_EQ(Rc("play " + quotedWav_ + " from"), mcierr::kBadInteger);
  EXPECT_EQ(Rc("play " + quotedWav_ + " from soon"), mcierr::kBadInteger);
  EXPECT_EQ(Rc("play " + quotedWav_ + " from 9000"), mcierr::kOutOfRange);
  EXPECT_EQ(Rc("play " + quotedWav_ + " from 2000 to 1000"), mcierr::kOutOfRange);
  EXPECT_EQ(Rc("seek " + quotedWav_ + " to -5000"), mcierr::kOutOfRange);
  EXPECT_EQ(Rc("stop " + quotedWav_ + " now"), mcierr::kUnrecognizedKeyword);
}

TEST_F(MciTest, OpenFailuresGiveWinmmCodes) {
  EXPECT_EQ(Rc("open \"" + folder_.File("absent.wav") + "\""), mcierr::kFileNotFound);
  EXPECT_EQ(Rc("open \"\""), mcierr::kExtensionNotFound) << "no name, no type";
  EXPECT_EQ(Rc("open \"" + folder_.File("absent") + "\""), mcierr::kExtensionNotFound);
  testing::WriteBytes(folder_.File("noise.wav"), {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'});
  EXPECT_EQ(Rc("open \"" + folder_.File("noise.wav") + "\""), mcierr::kInvalidFile);
  testing::WriteBytes(folder_.File("noise.xyz"), {'n', 'o', 'p', 'e'});
  EXPECT_EQ(Rc("open \"" + folder_.File("noise.xyz") + "\""), mcierr::kExtensionNotFound);
  EXPECT_EQ(Rc("open " + quotedWav_ + " type cdaudio"), mcierr::kInvalidDeviceName);
  EXPECT_EQ(Rc("open " + quotedWav_ + " alias"), mcierr::kMissingStringArgument);

  // A sound under a name that names no type: FFmpeg still reads it.
  const std::string bare = folder_.File("tune.dat");
  std::filesystem::copy_file(wav_, bare);
  ASSERT_EQ(Rc("open \"" + bare + "\""), 0U);
  EXPECT_EQ(Status("\"" + bare + "\"", "length"), "2500");
  ASSERT_EQ(Rc("open \"" + bare + "\" type waveaudio alias typed"), 0U);
  Ok("set typed time format samples");  // waveaudio only
}

TEST_F(MciTest, AFileNotOpenOpensForOneCommandOrForAsLongAsItPlays) {
  EXPECT_EQ(Rc("play " + wav_ + " notify"), mcierr::kNotifyOnAutoOpen) << "asked before opening";
  EXPECT_EQ(Ok("open " + wav_ + " alias first"), "1") << "nothing stayed open";
  Ok("close first");

  Ok("play " + wav_);
  Advance(1000);
  EXPECT_EQ(Status(quotedWav_, "position"), "1000");
  EXPECT_EQ(Rc("status " + wav_ + " mode notify"), mcierr::kNotifyOnAutoOpen);
  EXPECT_EQ(Status(wav_, "mode"), "playing") << "the refused command left it playing";
  Ok("pause " + wav_);
  Advance(5000);
  EXPECT_EQ(Status(wav_, "mode"), "paused") << "a paused device stays open";
  Ok("resume " + wav_);
  Advance(5000);
  // Played to its end, it was closed: this status opened it afresh.
  EXPECT_EQ(Status(wav_, "position"), "0");
  EXPECT_EQ(Ok("open " + quotedWav_), "1");

  // Only a name with a device type's extension is taken for a file.
  EXPECT_EQ(Rc("status tune mode"), mcierr::kInvalidDeviceName);
  EXPECT_EQ(Rc("status " + folder_.File("absent.wav") + " mode"), mcierr::kFileNotFound);
  EXPECT_EQ(Rc("setaudio " + folder_.File("absent.wav") + " volume to 5"),
            mcierr::kUnrecognizedCommand)
      << "no device opens for a verb that only some types have";
}

TEST_F(MciTest, DeviceIdsAreTheLowestFreeNumbers) {
  EXPECT_EQ(Ok("open " + wav_ + " alias a"), "1");
  EXPECT_EQ(Ok("open " + wav_ + " alias b"), "2");
  EXPECT_EQ(Ok("open " + wav_ + " alias c"), "3");
  Ok("close b");
  EXPECT_EQ(Ok("open " + wav_ + " alias d"), "2");
  EXPECT_EQ(Rc("open " + wav_ + " alias D"), mcierr::kDuplicateAlias);
}

TEST(MciNumberTest, WinmmNumbersAreDecimalOrColonSeparatedBytes) {
  struct Case {
    const char* word;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {"0", 0U},
      {"12345678", 12345678U},
      {"4294967295", 0xFFFFFFFFU},
      {"-1", 0xFFFFFFFFU},
      {"250:0", 250U},
      {":1", 256U},
      {"1:::", 1U},
      {":::1", 0x01000000U},
      {"255:255:255:255", 0xFFFFFFFFU},
      {"2::3", 0x030002U},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"::", std::nullopt},
      {"256:0", std::nullopt},
      {"1:256", std::nullopt},
      {"-1:0", std::nullopt},
      {"0::::1", std::nullopt},
      {"4294967296", std::nullopt},
      {"0xfa", std::nullopt},
      {"12a", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseMciNumber(c.word), c.value) << '"' << c.word << '"';
}

TEST(MciVolumeTest, TheSourceScalesSamplesByTheVolume) {
  class Constant final : public AudioSource {
   public:
    std::size_t Pull(std::span<std::int16_t> samples) override {
      std::fill(samples.begin(), samples.end(), std::int16_t{-30000});
      return samples.size();
    }
  } inner;
  std::atomic<int> volume{MciDevice::kFullVolume};
  LimitedSource source(inner, 2, 6, volume);
  std::array<std::int16_t, 4> samples{};
  source.Pull(samples);
  EXPECT_EQ(samples[0], -30000);
  volume = 500;
  source.Pull(samples);
  EXPECT_EQ(samples[3], -15000);
  volume = 0;
  ASSERT_EQ(source.Pull(samples), 4U);
  EXPECT_EQ(samples[1], 0);
}

// Length within one codec frame; playing to the end on the clock.
void ExpectLengthAndEnd(MciStringService& mci, const std::string& device, Milliseconds expected,
                        Milliseconds tolerance, const std::function<void(Milliseconds)>& advance) {
  ASSERT_EQ(mci.SendString("open " + device, 0).rc, 0U) << device;
  const auto length = std::atoll(mci.SendString("status " + device + " length", 128).reply.c_str());
  EXPECT_NEAR(static_cast<double>(length), static_cast<double>(expected),
              static_cast<double>(tolerance))
      << device;
  ASSERT_EQ(mci.SendString("play " + device, 0).rc, 0U);
  advance(1000);
  EXPECT_EQ(mci.SendString("status " + device + " position", 128).reply, "1000");
  advance(length);
  EXPECT_EQ(mci.SendString("status " + device + " mode", 128).reply, "stopped");
  EXPECT_EQ(mci.SendString("status " + device + " position", 128).reply, std::to_string(length));
}

TEST_F(MciTest, CompressedSoundsPlayAsMpegVideo) {
  const auto sound = testing::Sine(440, 0.5, 44100, 3.0);
  const auto advance = [this](Milliseconds ms) { Advance(ms); };
  for (AudioFileType type : {AudioFileType::Mp3, AudioFileType::Mp2}) {
    if (!CanEncodeAudio(type)) continue;
    const std::string path = folder_.File(type == AudioFileType::Mp3 ? "tune.mp3" : "tune.mp2");
    ASSERT_TRUE(EncodeAudioFile(sound, {44100, 2}, type, path));
    // Within two codec frames (26 ms each): the encoder's delay and padding.
    ExpectLengthAndEnd(mci_, "\"" + path + "\"", 3000, 53, advance);
    const std::string ms = Status("\"" + path + "\"", "length");
    Ok("set \"" + path + "\" time format frames");
    EXPECT_EQ(Status("\"" + path + "\"", "length"), std::to_string(std::atoll(ms.c_str()) / 40))
        << "25 frames per second";
  }

  // The sound of an MPEG-1 clip.
  const std::string clip = folder_.File("clip.mpg");
  Mpeg1ClipSettings settings{{64, 48}, 25, 50, 4};
  const ClipSound clipSound{{44100, 2}, std::span<const std::int16_t>(sound).first(44100 * 2 * 2)};
  ASSERT_TRUE(EncodeMpeg1Clip(
      settings, [](int, Image& frame) { frame = testing::TestPattern(64, 48); }, &clipSound, clip));
  ExpectLengthAndEnd(mci_, "\"" + clip + "\"", 2000, 53, advance);
}

TEST_F(MciTest, MidiPlaysOnTheSequencer) {
  if (!FindGeneralMidiSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::string path = folder_.File("song.mid");
  testing::WriteBytes(path, testing::TwoTempoMidi());
  const auto advance = [this](Milliseconds ms) { Advance(ms); };
  ExpectLengthAndEnd(mci_, "\"" + path + "\"", 4000, 0, advance);
  EXPECT_EQ(Rc("set \"" + path + "\" time format frames"), mcierr::kBadTimeFormat);
  Ok("play \"" + path + "\" from 3500");
  Advance(200);
  EXPECT_EQ(Status("\"" + path + "\"", "position"), "3700");
}

// A short MP3 whose length header (the Xing or Info frame) is rewritten.
std::vector<std::uint8_t> ClaimingMp3() {
  ScratchFolder folder("mp3-claim");
  const auto sound = testing::Sine(440, 0.5, 44100, 1.5);
  if (!EncodeAudioFile(sound, {44100, 2}, AudioFileType::Mp3, folder.File("a.mp3"))) return {};
  auto bytes = testing::ReadBytes(folder.File("a.mp3"));
  for (std::size_t i = 0; i + 12 < bytes.size(); ++i) {
    if (std::string_view(reinterpret_cast<const char*>(&bytes[i]), 4) == "Info" ||
        std::string_view(reinterpret_cast<const char*>(&bytes[i]), 4) == "Xing") {
      if ((bytes[i + 7] & 1U) != 0) std::fill_n(bytes.begin() + static_cast<long>(i) + 8, 4, 0xFF);
      break;
    }
  }
  return bytes;
}

struct AbsurdLength {
  const char* name;
  const char* extension;
  std::vector<std::uint8_t> (*bytes)();
  bool opens;
};

class MciAbsurdLengths : public MciTest, public ::testing::WithParamInterface<AbsurdLength> {};

// Songs whose stated or computed length is beyond any show: nonsense MIDI is
// refused, a sound's header claim is held to a day; either way the length
// the device reports fits the music module's 32 bits, and playing it
// overflows nothing.
TEST_P(MciAbsurdLengths, AreRefusedOrHeldToADay) {
  const AbsurdLength& c = GetParam();
  if (std::string(c.extension) == ".mid" && !FindGeneralMidiSoundfont()) {
    GTEST_SKIP() << "no General MIDI soundfont installed";
  }
  if (std::string(c.extension) == ".mp3" && !CanEncodeAudio(AudioFileType::Mp3)) {
    GTEST_SKIP() << "no MP3 encoder in this FFmpeg";
  }
  const std::string device = "\"" + folder_.File(std::string("song") + c.extension) + "\"";
  testing::WriteBytes(folder_.File(std::string("song") + c.extension), c.bytes());
  const std::uint32_t rc = Rc("open " + device);
  EXPECT_EQ(rc, c.opens ? 0U : mcierr::kInvalidFile) << c.name;
  if (rc != 0) return;
  const long long length = std::atoll(Status(device, "length").c_str());
  EXPECT_GT(length, 0) << c.name;
  EXPECT_LE(length, limits::kMaxMediaMs) << c.name;
  Ok("play " + device);
  Advance(1000);
  EXPECT_EQ(Status(device, "position"), "1000") << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Songs, MciAbsurdLengths,
    ::testing::Values(
        // A quarter note of 16.7 s, one tick a quarter, a hundred gaps of
        // 2^28 ticks: 14,000 years.
        AbsurdLength{"slow_tempo", ".mid",
                     [] { return testing::ManyEventsMidi(1, 0xFFFFFF, 0x0FFFFFFF, 100); }, false},
        // 25 frames a second, one tick a frame: 124 days.
        AbsurdLength{"smpte", ".mid",
                     [] { return testing::ManyEventsMidi(0xE701, 500000, 0x0FFFFFFF, 1); }, false},
        // 1 us a quarter at 32767 ticks a quarter: a short song of more ticks
        // than the synthesiser counts.
        AbsurdLength{"ticks", ".mid",
                     [] { return testing::ManyEventsMidi(0x7FFF, 1, 0x0FFFFFFF, 20); }, false},
        // An MP3 whose header counts 2^32 - 1 frames: three and a half years.
        AbsurdLength{"mp3_claim", ".mp3", ClaimingMp3, true}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vistel
