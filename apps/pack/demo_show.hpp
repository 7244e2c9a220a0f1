// The demo show: its media written to files by code, and the show over them.
// Together they make a package that shows most of what the player can do
// (both background kinds, every image sizing mode, several placements,
// captions in two fonts, flat and 3-D, paint effects of every group, the plain
// repaint, a cross-fade, a video screen and two music tracks).
#pragma once

#include <string>
#include <vector>

#include "base/error.hpp"
#include "package/writer.hpp"

namespace vistel::pack::demo {

// The files the demo's media were written to, by their part in the show.
struct DemoMedia {
  std::string landscape;   // 1600x1200 JPEG, the "photo": shrunk to fit
  std::string backdrop;    // 1600x1200 JPEG, a background picture
  std::string checker;     // 320x240 PNG: enlarged
  std::string shapes;      // 320x240 BMP: stretched
  std::string badge;       // 360x360 PNG with alpha: at its own size
  std::string smallScene;  // 320x240 JPEG: zoomed
  std::string clip;        // 320x240 MPEG-1 with MPEG audio, 4 s
  std::string tuneWav;     // the tune as a WAV file
  std::string tuneMidi;    // the tune as a MIDI file

  // Every file, in the order they are written.
  std::vector<std::string> Files() const;
};

// The names of the media files in `folder`.
DemoMedia DemoMediaIn(const std::string& folder);

// Draws, synthesises and encodes every medium into its file, replacing files
// of the same names; the folder must exist. The bytes depend only on the
// FFmpeg build.
Status WriteDemoMedia(const DemoMedia& media);

// The show over those files: ten screens of about four seconds each, the WAV
// and the MIDI tune as music, repeated.
PackagePlan DemoShowPlan(const DemoMedia& media);

}  // namespace vistel::pack::demo
