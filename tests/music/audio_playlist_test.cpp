#include "music/audio_playlist.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "hosts/headless/event_loop.hpp"
#include "music_test_support.hpp"
#include "platform/native_files.hpp"
#include "runtime/trace.hpp"

namespace vistel {
namespace {

using testing::RecordingMessages;
using testing::ScratchFolder;

constexpr std::uint32_t kMciErrFileNotFound = 275;
using testing::kMciErrInvalidDeviceName;

// An MCI device that plays "sound files" whose text says their length and
// name ("ms=1200 id=a"); the position runs with the virtual clock and stops
// at the length. Anything else fails to open. One device at a time, as the
// playlist uses it.
class SimulatedMci final : public MciService {
 public:
  struct Opened {
    Milliseconds at;
    std::string id;    // "" when the open failed
    std::string path;  // the file named by the command
  };

  explicit SimulatedMci(const Clock& clock) : clock_(clock) {}

  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    sent.emplace_back(command);
    const std::size_t space = command.find(' ');
    const std::string verb(command.substr(0, space));
    std::string_view rest = space == std::string_view::npos ? "" : command.substr(space + 1);
    std::string name;
    if (!rest.empty() && rest.front() == '"') {
      const std::size_t close = rest.find('"', 1);
      name = std::string(rest.substr(0, close + 1));
      rest = close == std::string_view::npos ? "" : rest.substr(close + 1);
    } else {
      name = std::string(rest);
      rest = "";
    }
    if (verb == "open") return Open(name);
    if (!device_ || device_->name != name) return {kMciErrInvalidDeviceName, ""};
    if (verb == "close") {
      device_.reset();
      return {};
    }
    if (verb == "play") {
      device_->startedAt = clock_.NowMs();
      return {};
    }
    if (verb == "status" && rest == " position") return Reply(Position(), replySize);
    if (verb == "status" && rest == " length") return Reply(device_->lengthMs, replySize);
    return {};
  }

  std::vector<std::string> sent;
  std::vector<Opened> opened;

 private:
  struct Device {
    std::string name;
    Milliseconds lengthMs = 0;
    std::optional<Milliseconds> startedAt;
  };

  MciReply Open(const std::string& name) {
    if (device_) return {kMciErrInvalidDeviceName, ""};
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') {
      return {kMciErrFileNotFound, ""};
    }
    const std::string path = name.substr(1, name.size() - 2);
    std::ifstream in(path);
    std::string lengthField, idField;
    in >> lengthField >> idField;
    if (!in || lengthField.rfind("ms=", 0) != 0 || idField.rfind("id=", 0) != 0) {
      opened.push_back({clock_.NowMs(), "", path});
      return {kMciErrFileNotFound, ""};
    }
    device_ = Device{name, std::stoll(lengthField.substr(3)), std::nullopt};
    opened.push_back({clock_.NowMs(), idField.substr(3), path});
    return {};
  }
  Milliseconds Position() const {
    if (!device_->startedAt) return 0;
    return std::min(clock_.NowMs() - *device_->startedAt, device_->lengthMs);
  }
  static MciReply Reply(Milliseconds value, std::uint32_t replySize) {
    std::string text = std::to_string(value);
    return {0, text.substr(0, replySize == 0 ? 0 : replySize - 1)};
  }

  const Clock& clock_;
  std::optional<Device> device_;
};

// Remove fails for chosen paths, as for a file still locked by someone else.
class LockingFileSystem final : public FileSystem {
 public:
  explicit LockingFileSystem(FileSystem& inner) : inner_(inner) {}
  bool Exists(std::string_view path) override { return inner_.Exists(path); }
  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) override {
    return inner_.OpenRead(path);
  }
  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) override {
    return inner_.OpenWrite(path, mode);
  }
  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    return inner_.CreateFresh(beside);
  }
  Status Remove(std::string_view path) override {
    if (locked.contains(std::string(path))) return Fail(ErrorCode::PermissionDenied);
    return inner_.Remove(path);
  }
  Status Rename(std::string_view from, std::string_view to) override {
    return inner_.Rename(from, to);
  }
  Status CreateDirectories(std::string_view path) override {
    return inner_.CreateDirectories(path);
  }
  std::set<std::string> locked;

 private:
  FileSystem& inner_;
};

struct TrackRecipe {
  std::string fileName;  // the source name in the configuration
  std::string content;   // the embedded bytes
};

// A show's music end to end on the headless clock: a package file with the
// tracks' bytes, the extractor, the player over the simulated device, the
// playlist and the 500 ms audio timer.
class PlaylistRig {
 public:
  PlaylistRig(const ScratchFolder& scratch, const std::vector<TrackRecipe>& tracks, bool repeat)
      : loop_(clock, trace_),
        native_(MakeNativeFileSystem()),
        files(*native_),
        mci(clock),
        extractor_(files, scratch.Path("show.scr"), trace_),
        player(MusicModule::Services{mci, messages, files, loop_, [this] { loop_.AdvanceBy(10); }}),
        temp(scratch.Folder()) {
    std::ofstream package(scratch.Path("show.scr"), std::ios::binary);
    package << "PLAYER";
    std::int32_t position = 7;  // 1-based, after the player bytes
    for (const TrackRecipe& recipe : tracks) {
      package << recipe.content;
      AudioTrack track;
      track.TrackFileName = recipe.fileName;
      track.TrackPosition = position;
      track.TrackLength = static_cast<std::int32_t>(recipe.content.size());
      tracks_.push_back(track);
      position += track.TrackLength;
    }
    package.close();
    playlist = std::make_unique<AudioPlaylist>(player, files, extractor_, tracks_, repeat, temp);
    tmrAudio = loop_.CreateTimer("tmrAudio", [this] { playlist->AudioTimerTick(); });
    tmrAudio->SetInterval(500);
    tmrAudio->SetEnabled(true);
  }

  void RunUntil(Milliseconds endMs) { loop_.RunUntil(endMs); }

  // "id@ms" for each open, "!@ms" for one that failed.
  std::string Opens() const {
    std::ostringstream text;
    for (const auto& open : mci.opened) {
      text << (open.id.empty() ? "!" : open.id) << "@" << open.at << " ";
    }
    return text.str();
  }

  VirtualClock clock;

 private:
  NullTrace trace_;
  HeadlessEventLoop loop_;
  std::unique_ptr<FileSystem> native_;
  std::vector<AudioTrack> tracks_;

 public:
  LockingFileSystem files;
  SimulatedMci mci;
  RecordingMessages messages;

 private:
  MediaExtractor extractor_;

 public:
  MusicModule player;
  std::string temp;
  std::unique_ptr<AudioPlaylist> playlist;
  std::unique_ptr<Timer> tmrAudio;
};

std::vector<TrackRecipe> ThreeTracks() {
  return {{"C:\\music\\a.mp3", "ms=1200 id=a"},
          {"b.wav", "ms=2000 id=b"},
          {"D:\\c.mp3", "ms=700 id=c"}};
}

TEST(AudioPlaylistTest, ThreeTracksPlayInOrderAndStopAfterTheLast) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch, ThreeTracks(), /*repeat=*/false);
  ASSERT_EQ(rig.playlist->StartMusic(MusicPlacement::Show), MusicStart::Playing);
  rig.RunUntil(20000);
  // Each end is seen at the first tick at or after it; c is shorter than a
  // second and still ends.
  EXPECT_EQ(rig.Opens(), "a@0 b@1500 c@3500 ");
  EXPECT_EQ(rig.playlist->CurrentTrack(), 3) << "one past the last track";
  EXPECT_TRUE(rig.tmrAudio->Enabled()) << "the timer keeps ticking after the end";
  EXPECT_FALSE(rig.player.EndOfSong()) << "no device is open any more";
  EXPECT_FALSE(std::filesystem::exists(rig.temp + "audio.mp3"));
  EXPECT_FALSE(std::filesystem::exists(rig.temp + "audio.wav"));
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(AudioPlaylistTest, RepeatStartsOverAfterTheLastTrack) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch, ThreeTracks(), /*repeat=*/true);
  rig.playlist->StartMusic(MusicPlacement::Show);
  rig.RunUntil(9000);
  EXPECT_EQ(rig.Opens(), "a@0 b@1500 c@3500 a@4500 b@6000 c@8000 a@9000 ");
  EXPECT_EQ(rig.playlist->CurrentTrack(), 0);
}

TEST(AudioPlaylistTest, ASingleRepeatedTrackIsExtractedAgainEachTime) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch, {{"loop.mid", "ms=900 id=l"}}, /*repeat=*/true);
  rig.playlist->StartMusic(MusicPlacement::Show);
  rig.RunUntil(3100);
  EXPECT_EQ(rig.Opens(), "l@0 l@1000 l@2000 l@3000 ");
  EXPECT_EQ(rig.playlist->CurrentTrack(), 0);
  EXPECT_TRUE(std::filesystem::exists(rig.temp + "audio.mid"));
}

TEST(AudioPlaylistTest, TracksWithTheSameExtensionReuseOneTemporaryFile) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch,
                  {{"C:\\x\\song.mp3", "ms=500 id=s"},
                   {"other.mp3", "ms=500 id=o"},
                   {"song.wav", "ms=500 id=w"},
                   {"C:\\no.ext\\plain", "ms=500 id=p"}},
                  /*repeat=*/false);
  rig.playlist->StartMusic(MusicPlacement::Show);
  rig.RunUntil(5000);
  ASSERT_EQ(rig.mci.opened.size(), 4u) << rig.Opens();
  EXPECT_EQ(rig.mci.opened[0].path, rig.temp + "audio.mp3");
  EXPECT_EQ(rig.mci.opened[1].path, rig.temp + "audio.mp3");
  EXPECT_EQ(rig.mci.opened[2].path, rig.temp + "audio.wav");
  EXPECT_EQ(rig.mci.opened[3].path, rig.temp + "audio");
  EXPECT_EQ(rig.Opens(), "s@0 o@500 w@1000 p@1500 ");
}

TEST(AudioPlaylistTest, ATrackThatCannotBeOpenedStopsTheMusicWithoutAMessage) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch,
                  {{"a.mp3", "ms=1000 id=a"}, {"bad.mp3", "damaged"}, {"c.mp3", "ms=500 id=c"}},
                  /*repeat=*/true);
  rig.playlist->StartMusic(MusicPlacement::Show);
  rig.RunUntil(10000);
  EXPECT_EQ(rig.Opens(), "a@0 !@1000 ");
  EXPECT_EQ(rig.playlist->CurrentTrack(), 1) << "the list stays at the broken track";
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(AudioPlaylistTest, ATrackFileThatCannotBeDeletedDoesNotStopTheMusic) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch, {{"a.mp3", "ms=600 id=a"}, {"b.wav", "ms=600 id=b"}},
                  /*repeat=*/false);
  rig.playlist->StartMusic(MusicPlacement::Show);
  rig.files.locked.insert(rig.temp + "audio.mp3");

  const Status advanced = rig.playlist->AdvanceTrack();
  ASSERT_FALSE(advanced) << "the failed delete comes back to the caller";
  EXPECT_EQ(advanced.error().code, ErrorCode::PermissionDenied);
  EXPECT_EQ(rig.playlist->CurrentTrack(), 1);
  EXPECT_TRUE(std::filesystem::exists(rig.temp + "audio.mp3"));
  EXPECT_EQ(rig.Opens(), "a@0 b@0 ");

  // The timer's tick ignores the failure and the show runs on.
  rig.RunUntil(2000);
  EXPECT_EQ(rig.playlist->CurrentTrack(), 2);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(AudioPlaylistTest, NoMusicWithoutTracksWithAnUnnamedFirstTrackOrInThePreview) {
  ScratchFolder scratch;
  {
    PlaylistRig rig(scratch, {}, /*repeat=*/true);
    EXPECT_EQ(rig.playlist->StartMusic(MusicPlacement::Show), MusicStart::NoMusic);
    EXPECT_TRUE(rig.mci.sent.empty());
  }
  {
    PlaylistRig rig(scratch, {{"", "ms=500 id=x"}}, /*repeat=*/false);
    EXPECT_EQ(rig.playlist->StartMusic(MusicPlacement::Show), MusicStart::NoMusic);
    EXPECT_TRUE(rig.mci.sent.empty());
  }
  {
    PlaylistRig rig(scratch, ThreeTracks(), /*repeat=*/false);
    EXPECT_EQ(rig.playlist->StartMusic(MusicPlacement::Preview), MusicStart::NoMusic);
    EXPECT_TRUE(rig.mci.sent.empty());
    EXPECT_FALSE(std::filesystem::exists(rig.temp + "audio.mp3")) << "nothing is extracted";
  }
}

TEST(AudioPlaylistTest, PlayCurrentTrackClosesExtractsAndPlaysTheQuotedTemporaryFile) {
  ScratchFolder scratch;
  PlaylistRig rig(scratch, {{"a.mp3", "ms=600 id=a"}}, /*repeat=*/false);
  rig.playlist->PlayCurrentTrack();
  const std::string quoted = "\"" + rig.temp + "audio.mp3\"";
  // The player's own first close names the new file unquoted (and fails).
  const std::vector<std::string> expected = {"close ", "close " + rig.temp + "audio.mp3",
                                             "open " + quoted, "play " + quoted};
  EXPECT_EQ(rig.mci.sent, expected);
  std::ifstream in(rig.temp + "audio.mp3");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "ms=600 id=a") << "exactly the track's bytes";
}

}  // namespace
}  // namespace vistel
