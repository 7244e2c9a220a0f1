// The show's background music: the package's audio tracks in configuration
// order, each copied to a temporary "audio" file named by its extension (the
// extension lets the MCI service pick the device) and played by the music
// player; the audio timer's tick moves on when a track has ended, starting
// over after the last one when RepeatAudio is set.
//
// A track that cannot be copied or opened plays nothing and never ends, so
// the music stops there while the show goes on, without a message: MCI
// failures are not errors.
//
// Single-threaded, like the player it drives.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/error.hpp"
#include "music/music_module.hpp"
#include "music/path_parts.hpp"
#include "package/extract.hpp"
#include "package/records.hpp"
#include "runtime/files.hpp"

namespace vistel {

// Where the show runs, as far as the music cares: the preview has none.
enum class MusicPlacement { Show, Preview };
// What starting the music did: NoMusic means the audio timer is to be disabled.
enum class MusicStart { Playing, NoMusic };

class AudioPlaylist {
 public:
  // Everything is borrowed and must outlive the playlist. TempFolder ends in
  // the path separator.
  AudioPlaylist(MusicModule& MusicPlayer, FileSystem& files, MediaExtractor& extractor,
                std::span<const AudioTrack> AudioTracks, bool RepeatAudio, std::string TempFolder);

  // Start-up's step after the first screen: plays track 0, or tells the caller
  // to disable the audio timer when there is no music or the show is a preview.
  MusicStart StartMusic(MusicPlacement placement);

  // Copies the current track out of the package and plays it; a step that
  // fails is skipped and the next one runs.
  void PlayCurrentTrack();

  // Closes the finished track, deletes its file, steps to the next track and
  // plays it (or, after the last, starts over or stops). A finished track's
  // file that cannot be deleted no longer stops the music: the list still
  // moves on, and the failure comes back for the caller to ignore or log.
  Status AdvanceTrack();

  // The audio timer's tick (every 500 ms while enabled).
  void AudioTimerTick();

  std::int16_t CurrentTrack() const { return CurrentTrack_; }

  // Told of a track that did not open (its index, its temporary file and the
  // MCI result code), so that the user learns why the music stopped.
  using TrackFailure = std::function<void(std::int16_t, const std::string&, std::uint32_t)>;
  void SetTrackFailure(TrackFailure onFailure) { onTrackFailure_ = std::move(onFailure); }
  // The file the current track was (or would be) copied to.
  std::string TrackTempFile() const;

 private:
  bool HasTrack(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < AudioTracks_.size();
  }
  // The extension of the current track's source name into PathExtension; an
  // index outside the list leaves the previous one (the step fails).
  bool ParseCurrentExtension();

  MusicModule& MusicPlayer_;
  FileSystem& files_;
  MediaExtractor& extractor_;
  std::span<const AudioTrack> AudioTracks_;
  bool RepeatAudio_;
  std::string TempFolder_;
  PathParts pathParts_;
  std::int16_t CurrentTrack_ = 0;
  TrackFailure onTrackFailure_;
};

}  // namespace vistel
