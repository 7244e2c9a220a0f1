// The timing of an MPEG-1 system stream clip, read from its packets alone:
// what the Linux clip decoder (FFmpeg's) reports for the clip, for a host
// that has no such decoder and must still play the clip's show to the same
// times. Only what can be timed exactly is answered: MPEG-1 video (I-, P-
// and B-pictures, at any of MPEG-1's eight frame rates) and MPEG audio
// layer II sound, in MPEG-1 packets. Anything else is refused with the
// reason.
//
// How the Linux decoder times a clip, which this follows:
//  - the demuxer's parser cuts the video into pictures; a picture takes the
//    stamps of the packet it starts in, if it is the first to start there;
//    the demuxer fills in the others from the pictures before: one frame
//    period on, or, once it knows the stream has B-pictures, a reference
//    picture's decoding time is the previous reference's presentation time
//    and its presentation time is missing. A frame period is whole 90 kHz
//    ticks (rounded down) for a packet's length; moving a time on by one
//    frame keeps to the frame grid, so 23.976 and 59.94 frames a second do
//    not drift. Whether the demuxer knows of B-pictures depends on what it
//    read before: it forgets those of the first packet it reads on opening;
//  - the picture decoder hands out a B-picture at once and a reference
//    picture when the next reference goes in (the last one at the end). It
//    drops the B-pictures between the stream's first two references in an
//    open group (a clip cut at a group whose B-pictures look back at a
//    picture before it). Each picture carries its presentation stamp and
//    the decoding stamp of the packet that let it out; the time-stamp
//    correction picks one, and a time that does not move on (or none) is
//    the last time plus one frame period in milliseconds;
//  - the video's length runs from its first picture's stamp to its latest
//    stamp plus one frame period, as the demuxer reads them (the last three
//    seconds of a longer video after a seek); the sound's from its first
//    stamp to its last plus one audio frame (1152 samples, in whole 90 kHz
//    ticks); the clip's length is the longer of the two;
//  - the sound plays every whole or cut layer II frame, 1152 samples each,
//    at the stream's rate, always as stereo.
//
// A host with its own MPEG-1 picture decoder shows, at clip time t, the
// picture of pictureMs that the Linux decoder shows: entry k is the k-th
// picture in display order (each B-picture where it comes, each reference
// picture after the B-pictures that follow it in the stream) of all the
// stream's pictures except the B-pictures that come, in the stream, after
// its first picture (an intra picture) and before its second reference
// picture while the last group of pictures header said the group is open
// (closed_gop 0): the decoder drops those. A picture cut short by the end
// of the file counts when its first slice has at least two bytes.
#pragma once

#include <cstdint>
#include <vector>

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
  // The time of each picture the decoder hands out, in display order (see
  // above), frameCount entries: at time t, FrameAt shows the last picture
  // whose time is at most t (the first picture before its time) until
  // videoEndMs. Times never decrease and may be negative; a picture never
  // shows when the next one's time equals its own or is at most 0.
  std::vector<Milliseconds> pictureMs;
  // The sound (hasAudio): its format as MediaClip::SoundFormat reports it,
  // the sample frames MediaClip::Sound yields from the start, and its
  // length as it counts towards the clip's duration.
  AudioFormat soundFormat;
  std::int64_t soundFrames = 0;
  Milliseconds soundMs = 0;
};

// Reads the whole file in bounded chunks, holding at most a few megabytes
// besides pictureMs (at most a day's pictures at 60 a second). Fails
// (InvalidProcedureCall) for what is no MPEG-1 system stream, for pictures
// over the picture limits (as the decoder refuses them), and for what the
// decoder would time in ways this probe does not follow; the message says
// which.
Result<ClipTiming> ProbeClip(InputFile& file);

}  // namespace vistel
