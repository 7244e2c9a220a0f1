// The timing of an MPEG-1 system stream clip, read from its packets alone:
// what the Linux clip decoder (FFmpeg's) reports for the clip, for a host
// that has no such decoder and must still play the clip's show to the same
// times. Only what can be timed exactly is answered: MPEG-1 video without
// B-pictures at a frame rate of whole 90 kHz ticks, MPEG audio layer II
// sound, in MPEG-1 packets. Anything else is refused with the reason.
//
// How the Linux decoder times a clip, which this follows:
//  - a picture's time is its packet's time stamp when the picture starts in
//    a packet that carries one (a packet's stamp belongs to the first
//    picture that starts in it); a picture without one follows its
//    predecessor by one frame period; the decoder hands out each picture
//    one picture late, with the stamps its time-stamp correction picks, and
//    a picture whose time does not move on follows its predecessor by one
//    frame period in milliseconds;
//  - the video's length runs from its first stamp to its last stamp plus
//    one frame period; the sound's from its first stamp to its last plus
//    one audio frame (1152 samples, in whole 90 kHz ticks); the clip's
//    length is the longer of the two;
//  - the sound plays every whole or cut layer II frame, 1152 samples each,
//    at the stream's rate, always as stereo.
#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"
#include "runtime/media.hpp"

namespace vistel {

struct ClipTiming {
  bool hasVideo = false;
  bool hasAudio = false;
  IntSize frameSize;          // 0x0 without video
  Milliseconds duration = 0;  // MediaClip::Duration
  // Pictures the decoder hands out, and the time of the last of them from
  // the clip's start. From videoEndMs on, FrameAt answers false; a clip
  // without pictures answers false from 0.
  std::int64_t frameCount = 0;
  Milliseconds lastFrameMs = 0;
  Milliseconds videoEndMs = 0;
  Milliseconds frameMs = 0;  // one frame period, as the decoder counts it
  // The sound (hasAudio): its format as MediaClip::SoundFormat reports it,
  // the sample frames MediaClip::Sound yields from the start, and its
  // length as it counts towards the clip's duration.
  AudioFormat soundFormat;
  std::int64_t soundFrames = 0;
  Milliseconds soundMs = 0;
};

// Reads the whole file in bounded chunks. Fails (InvalidProcedureCall) for
// what is no MPEG-1 system stream, for pictures over the picture limits (as
// the decoder refuses them), and for what the decoder would time in ways
// this probe does not follow; the message says which.
Result<ClipTiming> ProbeClip(InputFile& file);

}  // namespace vistel
