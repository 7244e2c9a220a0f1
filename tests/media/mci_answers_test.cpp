// The service against the answers of Windows' winmm: the command sequences of
// Wine's winmm test suite (whose assertions hold on Windows) and of the
// command-string parser, in their order, on a 2000 ms WAV file. Rows this
// service answers otherwise on purpose say why; every other row must match.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "hosts/common/null_audio.hpp"
#include "hosts/headless/event_loop.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/mci/mci_service.hpp"
#include "media/midi/decoded_sound_files.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

constexpr std::uint32_t kAnyRc = 0xFFFFFFFF;
constexpr const char* kNoWait = "'wait' returns at once instead of blocking until the play ends";

struct Row {
  const char* command;  // {wav}: the WAV file's path; {dir}: its folder
  std::uint32_t replySize = 0;
  std::uint32_t rc = 0;
  std::uint32_t orRc = kAnyRc;    // a second answer Windows may give
  const char* reply = nullptr;    // the reply, when Windows' is known
  Milliseconds before = 0;        // time that passes before the command
  bool removeWav = false;         // the file is deleted before the command
  const char* differs = nullptr;  // why this service answers otherwise
};

// clang-format off
const Row kRows[] = {
    // Parser
    {"", 1024, 267, kAnyRc, ""},
    {"open", 1024, 292, kAnyRc, ""},
    // Opening and closing
    {"open {dir}/no-such-file-exists.wav alias y buffer 6", 1024, 275},
    {"open {dir}/no-such-file-exists.wav alias y", 1024, 275},
    {"open {dir}/no-such-dir\\file.wav alias y type waveaudio", 1024, 275},
    {"open ! alias no", 1024, 263},
    {"open !no-such-file-exists.wav alias no", 1024, 275, 263},
    {"open nosuchdevice!{wav} alias no", 1024, 275, 263},
    {"close waveaudio", 1024, 263},
    {"close all notify", 0, 0},
    {"close all notify", 1024, 0, kAnyRc, ""},
    {"open new type waveaudio", 1024, 299},
    {"cue all", 1024, 261},
    {"cue output", 0, 261},
    {"status all time format", 1024, 279},
    {"open all", 1024, 279},
    {"play x", 0, 263},
    {"close x", 0, 263},
    {"open {wav} alias x", 1024, 0, kAnyRc, "1"},
    {"status x", 1024, 273},
    {"status x track", 1024, 270},
    {"status x 4", 1024, 0, kAnyRc, "stopped"},
    {"status x length length", 1024, 284},
    {"status x length position", 1024, 284},
    {"status x position wait wait", 1024, 295},
    {"set x time format milliseconds time format ms", 1024, 284, kAnyRc, ""},
    {"set x milliseconds", 1024, 259},
    {"seek x to 0:256", 1024, 270},
    {"status x mode", 1024, 0, kAnyRc, "stopped"},
    {"close x", 0, 0},
    // Playing while the caller goes on
    {"open {wav} alias mysound notify type waveaudio", 1024, 0, kAnyRc, "1"},
    {"status mysound mode", 1024, 0, kAnyRc, "stopped"},
    {"status mysound time format", 1024, 0, kAnyRc, "milliseconds"},
    {"status mysound length", 1024, 0, kAnyRc, "2000"},
    {"play mysound notify", 0, 0},
    {"set mysound time format milliseconds", 0, 0},
    {"status mysound position", 1024, 0, kAnyRc, "500", 500},
    {"pause mysound wait", 0, 0},
    {"status mysound mode notify", 1024, 0, kAnyRc, "paused"},
    {"stop mysound wait", 0, 0},
    {"status mysound mode", 1024, 0, kAnyRc, "stopped"},
    {"resume mysound wait", 0, 302},
    {"play mysound wait", 0, 0},
    {"status mysound position", 1024, 0, kAnyRc, "2000", 0, false, kNoWait},
    {"seek mysound to start wait", 0, 0},
    {"play mysound to 1000 notify", 0, 0},
    {"pause mysound notify", 0, 0},
    {"resume mysound notify", 0, 0},
    {"seek mysound to 0 wait", 0, 0},
    {"status mysound mode", 1024, 0, kAnyRc, "stopped"},
    {"seek mysound wait", 0, 273},
    {"seek mysound to start to 0", 0, 284},
    {"PLAY mysound to 1000 notify", 0, 0},
    {"pause mysound wait", 0, 0},
    {"resume mysound wait", 0, 0},
    {"status mysound mode", 1024, 0, kAnyRc, "playing"},
    {"close mysound wait", 0, 0},
    // Play ranges and positions
    {"open waveaudio!{wav} alias mysound", 0, 0},
    // The reference's stand-in for the row above: the alias is taken when that opened.
    {"open {wav} alias mysound", 0, 0, 289},
    {"play mysound from 250 to 0", 0, 282},
    {"play MYSOUND from 250 to 0 notify", 0, 282},
    {"play mysound from 500 to 1500 wait", 0, 0},
    {"status mysound position", 1024, 0, kAnyRc, "1500", 0, false, kNoWait},
    {"play mysound to 1000", 0, 282, kAnyRc, nullptr, 0, false, kNoWait},
    {"play mysound TO 3000 notify", 0, 282},
    {"play mysound to 2000", 0, 0},
    {"stop mysound Wait", 0, 0},
    {"Seek Mysound to 250 wait Notify", 0, 0},
    {"seek mysound to 0xfa", 0, 270},
    {"seek mysound to :1", 0, 0},
    {"seek mysound to 250:0", 0, 0},
    {"status mysound position notify", 1024, 0, kAnyRc, "250"},
    {"status mysound mode", 1024, 0, kAnyRc, "stopped"},
    {"close mysound", 0, 0},
    // Opening on the fly
    {"play {wav}", 1024, 0},
    {"status {wav} mode", 0, 0},
    {"status \"{wav}\" mode", 1024, 0},
    {"status {wav} mode", 1024, 0, kAnyRc, "playing"},
    {"open {wav}", 1024, 0, 265},
    {"open {wav}", 1024, 265},
    {"open foo.wav alias {wav}", 1024, 289},
    {"close {wav}", 0, 0},
    {"status \"{wav}\" mode wait", 1024, 0, kAnyRc, "stopped"},
    {"pause \"{wav}\"", 0, 302},
    // Digital video
    {"open {wav} type MPEGVideo alias mysound", 0, 0},
    {"play mysound", 0, 0},
    {"status mysound mode", 1024, 0, kAnyRc, "playing"},
    {"setaudio mysound volume to 1000", 0, 0},
    {"close mysound", 0, 0},
    {"open {wav} type MPEGVideo alias mysound", 0, 0},
    {"play mysound", 0, 0},
    {"play mysound", 0, 0},
    {"close mysound", 0, 0},
    {"open {wav} alias mysound notify type mpegvideo", 1024, 0, kAnyRc, "1"},
    {"play mysound notify", 0, 0},
    {"pause mysound wait", 0, 0},
    {"status mysound mode notify", 1024, 0, kAnyRc, "paused"},
    {"seek mysound to start wait", 0, 0},
    {"set mysound time format milliseconds", 0, 0},
    {"play mysound to 1500 notify", 0, 0},
    {"close mysound wait", 0, 0},
    // The music module's commands, and what the parser makes of others
    {"close {wav}", 0, 263},
    {"open \"{wav}\"", 0, 0},
    {"play \"{wav}\"", 0, 0},
    {"set \"{wav}\" time format milliseconds", 0, 0},
    {"status \"{wav}\" position", 30, 0, kAnyRc, "1200", 1200},
    {"status \"{wav}\" length", 128, 0, kAnyRc, "2000"},
    {"status \"{wav}\" mode", 0, 0},
    {"set \"{wav}\" time format ms", 128, 0, kAnyRc, ""},
    {"status {wav} mode", 1024, 0, kAnyRc, "playing"},
    {"close {wav}", 0, 0},
    {"status \"{wav}\" mode", 0, 0},
    {"close /a dir/audio.wav", 0, 263},
    {"close ", 0, 263},
    {"open \"\"", 0, 281},
    {"   ", 1024, 261},
    {"set \"{wav}\" time format milliseconds", 0, 275, kAnyRc, nullptr, 0, true},
    {"close all", 0, 0},
};
// clang-format on

std::string Expand(std::string text, const std::string& wav, const std::string& dir) {
  for (const auto& [key, value] : {std::pair{std::string("{wav}"), wav}, {"{dir}", dir}}) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
      text.replace(at, key.size(), value);
      at += value.size();
    }
  }
  return text;
}

TEST(MciAnswersTest, CommandSequencesAnswerAsWinmm) {
  testing::ScratchFolder folder("answers");
  const std::string wav = folder.File("tempfile.wav");
  ASSERT_TRUE(
      EncodeAudioFile(testing::Sine(440, 0.5, 44100, 2.0), {44100, 2}, AudioFileType::Wav, wav));
  VirtualClock clock;
  NullAudioOutput output(clock);
  DecodedSoundFiles sounds;
  MciStringService mci(output, sounds);

  int matching = 0;
  for (const Row& row : kRows) {
    clock.AdvanceTo(clock.NowMs() + row.before);
    if (row.removeWav) std::filesystem::remove(wav);
    const std::string command = Expand(row.command, wav, folder.File(""));
    const MciReply got = mci.SendString(command, row.replySize);
    const bool rcMatches = got.rc == row.rc || got.rc == row.orRc;
    const bool replyMatches = row.reply == nullptr || got.reply == row.reply;
    matching += rcMatches && replyMatches;
    if (got.rc != 0) {
      EXPECT_EQ(got.reply, "") << command << ": an error clears the reply";
    }
    if (row.differs != nullptr) continue;
    EXPECT_TRUE(rcMatches) << command << ": rc " << got.rc << ", winmm " << row.rc;
    EXPECT_TRUE(replyMatches) << command << ": \"" << got.reply << "\", winmm \"" << row.reply
                              << "\"";
  }
  std::cout << matching << " of " << std::size(kRows) << " rows answer as winmm\n";
}

}  // namespace
}  // namespace vistel
