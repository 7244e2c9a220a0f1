#include "music/audio_playlist.hpp"

#include <utility>

namespace vistel {
namespace {

// CurrentTrack is a 16-bit counter: stepping past 32,767 overflows.
Status AdvanceStep(std::int16_t& current) {
  if (current == INT16_MAX) return Fail(ErrorCode::Overflow);
  ++current;
  return {};
}

}  // namespace

AudioPlaylist::AudioPlaylist(MusicModule& MusicPlayer, FileSystem& files, MediaExtractor& extractor,
                             std::span<const AudioTrack> AudioTracks, bool RepeatAudio,
                             std::string TempFolder)
    : MusicPlayer_(MusicPlayer),
      files_(files),
      extractor_(extractor),
      AudioTracks_(AudioTracks),
      RepeatAudio_(RepeatAudio),
      TempFolder_(std::move(TempFolder)) {}

MusicStart AudioPlaylist::StartMusic(MusicPlacement placement) {
  if (AudioTracks_.empty() || AudioTracks_.front().TrackFileName.empty()) {
    return MusicStart::NoMusic;
  }
  if (placement == MusicPlacement::Preview) return MusicStart::NoMusic;
  PlayCurrentTrack();
  return MusicStart::Playing;
}

bool AudioPlaylist::ParseCurrentExtension() {
  if (!HasTrack(CurrentTrack_)) return false;
  (void)pathParts_.ParsePathParts(
      AudioTracks_[static_cast<std::size_t>(CurrentTrack_)].TrackFileName, "", PathSlash::Without,
      ExtDot::With, PathKind::File);
  return true;
}

std::string AudioPlaylist::TrackTempFile() const {
  return TempFolder_ + "audio" + pathParts_.PathExtension;
}

void AudioPlaylist::PlayCurrentTrack() {
  MusicPlayer_.StopPlay();
  (void)ParseCurrentExtension();
  const std::string file = TrackTempFile();
  // Skipped when it fails: the extraction below replaces the file anyway.
  if (files_.Exists(file)) (void)files_.Remove(file);
  if (HasTrack(CurrentTrack_)) {
    const AudioTrack& track = AudioTracks_[static_cast<std::size_t>(CurrentTrack_)];
    (void)extractor_.ExtractMedium(track.TrackPosition, track.TrackLength, file);
  }
  MusicPlayer_.SetFileName(file);
  MusicPlayer_.Play();
  if (MusicPlayer_.LastOpenResult() != 0 && onTrackFailure_) {
    onTrackFailure_(CurrentTrack_, file, MusicPlayer_.LastOpenResult());
  }
}

Status AudioPlaylist::AdvanceTrack() {
  (void)ParseCurrentExtension();
  MusicPlayer_.StopPlay();
  Status result;
  const std::string finished = TrackTempFile();
  if (files_.Exists(finished)) {
    // A file still locked by someone else: keep it, but go on with the list.
    result = files_.Remove(finished);
  }
  if (auto stepped = AdvanceStep(CurrentTrack_); !stepped) return stepped;
  if (!HasTrack(CurrentTrack_)) {
    if (!RepeatAudio_) return result;  // the music has ended
    CurrentTrack_ = 0;
  }
  PlayCurrentTrack();
  return result;
}

void AudioPlaylist::AudioTimerTick() {
  if (MusicPlayer_.EndOfSong()) (void)AdvanceTrack();
}

}  // namespace vistel
