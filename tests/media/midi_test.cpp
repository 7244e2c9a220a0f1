#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator statistics (GCC ships no header for them).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

#include "base/input_limits.hpp"
#include "media/midi/midi_decoder.hpp"
#include "media/sound/midi_timing.hpp"
#include "media_test_support.hpp"
#include "midi_test_file.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

TEST(MidiTiming, TempoMapGivesLengthAndConvertsBothWays) {
  // Four quarters at 120 bpm (2000 ms), then two at 60 bpm (2000 ms).
  const auto bytes = testing::TwoTempoMidi();
  auto timing = MidiTiming::Parse(bytes);
  ASSERT_TRUE(timing) << timing.error().description;
  EXPECT_EQ(timing->LengthTicks(), 6 * 480);
  EXPECT_NEAR(timing->LengthMs(), 4000.0, 1e-6);
  EXPECT_NEAR(timing->TicksToMs(480), 500.0, 1e-6);
  EXPECT_NEAR(timing->TicksToMs(1920 + 240), 2500.0, 1e-6);
  EXPECT_EQ(timing->MsToTicks(500.0), 480);
  EXPECT_EQ(timing->MsToTicks(3000.0), 1920 + 480);
  EXPECT_EQ(timing->MsToTicks(3001.0), 1920 + 480) << "between ticks: the tick before";
  EXPECT_EQ(timing->MsToTicks(99999.0), 6 * 480) << "past the end clamps to the last tick";
  EXPECT_EQ(timing->MsToTicks(-5.0), 0);
}

TEST(MidiTiming, LongestTrackAndSmpteDivision) {
  // Format 1: tempo track short, notes track 3 quarters long at 120 bpm.
  auto timing = MidiTiming::Parse(testing::TwoTrackMidi());
  ASSERT_TRUE(timing) << timing.error().description;
  EXPECT_NEAR(timing->LengthMs(), 1500.0, 1e-6);

  // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
  std::vector<std::uint8_t> smpte = testing::TwoTrackMidi();
  smpte[12] = static_cast<std::uint8_t>(-25);
  smpte[13] = 40;
  timing = MidiTiming::Parse(smpte);
  ASSERT_TRUE(timing);
  EXPECT_NEAR(timing->LengthMs(), 3.0 * 480.0, 1e-6);
}

TEST(MidiTiming, RefusesWhatIsNotMidiOrCutShort) {
  const std::vector<std::uint8_t> text = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'};
  EXPECT_FALSE(MidiTiming::Parse(text));
  auto cut = testing::TwoTempoMidi();
  cut.resize(cut.size() - 10);
  EXPECT_FALSE(MidiTiming::Parse(cut)) << "a track shorter than its header says";
}

struct OverBudget {
  const char* name;
  std::vector<std::uint8_t> (*bytes)();
};

class MidiOverTheBudget : public ::testing::TestWithParam<OverBudget> {};

// The synthesiser keeps every event and the whole file in memory: a file
// with more of either than any song has is refused before it gets there.
TEST_P(MidiOverTheBudget, IsRefused) {
  const OverBudget& c = GetParam();
  ScratchFolder folder(std::string("midi-budget-") + c.name);
  testing::WriteBytes(folder.File("song.mid"), c.bytes());
  auto midi = OpenMidiFile(folder.File("song.mid"), folder.File("no-soundfont-needed.sf2"));
  ASSERT_FALSE(midi) << c.name << " accepted";
  EXPECT_NE(midi.error().description.find("MIDI"), std::string::npos) << midi.error().description;
}

INSTANTIATE_TEST_SUITE_P(Files, MidiOverTheBudget,
                         ::testing::Values(OverBudget{"events",
                                                      [] {
                                                        return testing::ManyEventsMidi(
                                                            480, 500000, 1,
                                                            limits::kMaxMidiEvents + 1);
                                                      }},
                                           OverBudget{"bytes",
                                                      [] {
                                                        auto bytes = testing::TwoTempoMidi();
                                                        bytes.resize(limits::kMaxMidiFileBytes +
                                                                     1);  // trailing junk
                                                        return bytes;
                                                      }}),
                         [](const auto& p) { return std::string(p.param.name); });

class MidiDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FindGeneralMidiSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    testing::WriteBytes(path_, testing::TwoTempoMidi());
  }
  ScratchFolder folder_{"midi"};
  std::string path_ = folder_.File("song.mid");
};

std::size_t PullAllFrames(AudioSource& source, double* peak) {
  std::vector<std::int16_t> chunk(3000);
  std::size_t frames = 0;
  int highest = 0;
  while (std::size_t n = source.Pull(chunk)) {
    frames += n / 2;
    for (std::size_t i = 0; i < n; ++i) highest = std::max(highest, std::abs(int{chunk[i]}));
  }
  if (peak != nullptr) *peak = highest / 32767.0;
  return frames;
}

TEST_F(MidiDecoderTest, RendersExactlyTheLengthOfTheTempoMap) {
  auto midi = OpenMidiFile(path_);
  ASSERT_TRUE(midi) << midi.error().description;
  EXPECT_EQ((*midi)->Format(), (AudioFormat{44100, 2}));
  EXPECT_EQ((*midi)->LengthMs(), 4000);
  double peak = 0;
  EXPECT_EQ(PullAllFrames(**midi, &peak), 4U * 44100U);
  EXPECT_GT(peak, 0.01) << "the notes should sound";
  EXPECT_EQ((*midi)->PositionMs(), 4000);
}

TEST_F(MidiDecoderTest, SeeksIntoTheSlowPart) {
  auto midi = OpenMidiFile(path_);
  ASSERT_TRUE(midi) << midi.error().description;
  std::vector<std::int16_t> some(4410 * 2);
  ASSERT_EQ((*midi)->Pull(some), some.size());
  ASSERT_TRUE((*midi)->SeekMs(3000));
  EXPECT_EQ((*midi)->PositionMs(), 3000);
  double peak = 0;
  EXPECT_EQ(PullAllFrames(**midi, &peak), 44100U);
  EXPECT_GT(peak, 0.01) << "the last note should sound after the seek";
  // Into the middle of the last note: its start lies before the target, so
  // it does not sound (a sequencer does not restart held notes).
  ASSERT_TRUE((*midi)->SeekMs(3500));
  EXPECT_EQ(PullAllFrames(**midi, &peak), 22050U);
  EXPECT_LT(peak, 0.001) << "a note begun before the seek target sounded";
  ASSERT_TRUE((*midi)->SeekMs(0));
  EXPECT_EQ(PullAllFrames(**midi, nullptr), 4U * 44100U) << "back to the start plays it all";
}

TEST_F(MidiDecoderTest, MissingPiecesAreClearErrors) {
  auto noFont = OpenMidiFile(path_, folder_.File("none.sf2"));
  ASSERT_FALSE(noFont);
  EXPECT_NE(noFont.error().description.find("soundfont"), std::string::npos)
      << noFont.error().description;
  EXPECT_FALSE(OpenMidiFile(folder_.File("missing.mid")));
  testing::WriteBytes(folder_.File("text.mid"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_FALSE(OpenMidiFile(folder_.File("text.mid")));
}

// Bytes the heap holds now (live allocations); 0 where it cannot be told.
std::ptrdiff_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<std::ptrdiff_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
  return static_cast<std::ptrdiff_t>(mallinfo2().uordblks);
#else
  return 0;
#endif
}

// A show repeating a MIDI track opens and closes it thousands of times a
// day: each pass must give back all it took.
TEST_F(MidiDecoderTest, ReopeningLeavesTheHeapAsItWas) {
  auto pass = [this] {
    auto midi = OpenMidiFile(path_);
    ASSERT_TRUE(midi) << midi.error().description;
    std::vector<std::int16_t> some(4410 * 2);
    EXPECT_EQ((*midi)->Pull(some), some.size());
  };
  for (int i = 0; i < 3; ++i) pass();  // the libraries' one-time set-up
  const std::ptrdiff_t before = HeapInUse();
  constexpr int kPasses = 25;
  for (int i = 0; i < kPasses; ++i) pass();
  const std::ptrdiff_t growth = HeapInUse() - before;
  // A leak of 2.7 KB a pass grew it by 68 KB; allocator noise is far less.
  EXPECT_LT(growth, 16 * 1024) << kPasses << " passes left " << growth << " more bytes in use";
}

}  // namespace
}  // namespace vistel
