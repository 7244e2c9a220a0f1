// The media services: decoding of pictures and clips, text drawing, and the
// display and sound outputs the imaging and video controls work through. On
// Linux FFmpeg, fontconfig and FreeType answer; on Windows the system's own
// services; the headless host uses the Linux decoders with simulated outputs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "base/image.hpp"
#include "runtime/events.hpp"

namespace vistel {

// ---- Pictures -------------------------------------------------------------

// The pixels of a picture decoded at some scale. The picture covers `extent`
// of them from the top-left corner: a reduced scale may round the last
// block of the picture up to a whole pixel, which `image` then holds beyond
// the extent.
struct DecodedPixels {
  Image image;
  FloatSize extent;
};

// Takes a decode's rows as they come, top to bottom, so that they are worked
// on while in the cache and the whole picture need never be held.
class PictureRowSink {
 public:
  virtual ~PictureRowSink() = default;
  // Before the first row: the size of the pixels to come and the extent the
  // picture covers of them (as in DecodedPixels). Called again, the rows
  // start over from the top (a decoder that gave up hands over to another).
  virtual Status Begin(IntSize size, FloatSize extent) = 0;
  // Room for the next rows: fills up to rows.size() pointers, each to room
  // for a row of size.width pixels, and returns how many (at least 1 while
  // rows remain). The unused top byte of what is written there is ignored.
  virtual int NextRows(std::span<Pixel*> rows) = 0;
  // The first `count` of the rows NextRows gave hold their pixels now.
  virtual void RowsDone(int count) = 0;
};

// A picture whose size is known and whose pixels are decoded on request, at
// the size the caller is about to show it: a photograph shrunk to the screen
// need not be decoded whole first.
class OpenedPicture {
 public:
  virtual ~OpenedPicture() = default;
  // The picture's own size, the size of its full decode.
  virtual IntSize Size() const = 0;
  // The pixels: the full picture, or, where the format decodes a reduced
  // scale for less work, a smaller one whose extent is still at least
  // `atLeast` in both axes (never larger than Size()). Called at most once.
  virtual Result<DecodedPixels> Decode(IntSize atLeast) = 0;
  // The same pixels given to `sink` row by row, every row on success. Called
  // at most once, instead of Decode. By default Decode, then the rows copied.
  virtual Status DecodeRows(IntSize atLeast, PictureRowSink& sink);
};

class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  // Decodes a picture file recognised by its content (the extracted media
  // have no extension). Transparent pixels are composed over backColor.
  virtual Result<Image> DecodePicture(std::string_view path, Pixel backColor) = 0;
  // Reads enough of the picture to know its size and that it can be
  // decoded; the rest when asked. The file is read by the time this
  // returns: it may be replaced afterwards. By default the picture is
  // decoded whole at once.
  virtual Result<std::unique_ptr<OpenedPicture>> OpenPicture(std::string_view path,
                                                             Pixel backColor);
};

// Gives `image` (covering `extent` of itself) to `sink`, row by row.
Status SendRows(const Image& image, FloatSize extent, PictureRowSink& sink);

// An opened picture that was decoded whole when opened.
std::unique_ptr<OpenedPicture> DecodedPicture(Image image);

// ---- Sound ----------------------------------------------------------------

struct AudioFormat {
  int sampleRate = 44100;
  int channels = 2;  // samples are interleaved signed 16-bit
  friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// What an output plays: it pulls samples from here as it needs them.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Fills as much of `samples` (interleaved) as there is; returns the number
  // of samples written, fewer only at the end of the sound. Called on the
  // output's own thread on a real device: implementations synchronise.
  virtual std::size_t Pull(std::span<std::int16_t> samples) = 0;
};

// A stream playing on an output. Destroying it stops it.
class AudioStream {
 public:
  virtual ~AudioStream() = default;
  virtual void SetPaused(bool paused) = 0;
  // Samples per channel played so far: the position clock of the sound.
  virtual std::int64_t FramesPlayed() const = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Starts pulling from source at once. A host without a device still
  // returns a stream that consumes the source in real (or virtual) time.
  virtual std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource& source) = 0;
};

// ---- Clips ----------------------------------------------------------------

// An open clip (MPEG-1 system streams first, anything FFmpeg opens).
class MediaClip {
 public:
  virtual ~MediaClip() = default;
  virtual IntSize FrameSize() const = 0;
  virtual Milliseconds Duration() const = 0;  // 0 when unknown
  virtual bool HasVideo() const = 0;
  virtual bool HasAudio() const = 0;
  // The frame on screen at time t from the clip's start, decoding forward
  // (seeking when t goes back). False past the last frame.
  virtual Result<bool> FrameAt(Milliseconds t, Image& frame) = 0;
  // The clip's sound, from its start; null when it has none.
  virtual AudioSource* Sound() = 0;
  virtual AudioFormat SoundFormat() const = 0;
  // Moves Sound() to time t from the clip's start, so that a rewound clip's
  // picture and sound stay together. Called only while no stream pulls from
  // Sound(). A clip that cannot seek its sound fails, and the video control
  // then plays the picture alone until the clip is opened again.
  virtual Status SeekSound(Milliseconds t) {
    (void)t;
    return Fail(ErrorCode::InvalidProcedureCall, "this clip cannot seek its sound");
  }
};

class ClipDecoder {
 public:
  virtual ~ClipDecoder() = default;
  virtual Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view path) = 0;
};

// ---- Text -----------------------------------------------------------------

struct FontRequest {
  std::string faceName;  // Windows-1252, as the package stores it ("Arial")
  float sizePoints = 8.25F;
  bool bold = false;
  bool italic = false;
  float pixelsPerInch = 96.0F;
  friend bool operator==(const FontRequest&, const FontRequest&) = default;
};

class Font {
 public:
  virtual ~Font() = default;
  virtual int LineHeightPixels() const = 0;
  virtual int AscentPixels() const = 0;
  // Advance width of one line of UTF-8 text. 64-bit: a long caption at a
  // large size is wider than an int counts.
  virtual std::int64_t TextWidthPixels(std::string_view utf8) const = 0;
  // Draws one line with its top-left corner at (x, y), clipped to the image;
  // (x, y) may lie far outside it, so that a part of a long line is drawn
  // into a picture of only the part that shows.
  virtual void DrawText(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                        Pixel color) const = 0;
};

class FontService {
 public:
  virtual ~FontService() = default;
  // Never fails for a face it does not know: it picks a sensible default.
  virtual std::unique_ptr<Font> OpenFont(const FontRequest& request) = 0;
};

// ---- Display of the controls ----------------------------------------------

// Where the controls' pictures go. The host composes the show window from
// the surface, the video in its rectangle and the caption on top.
class SurfaceOutput {
 public:
  virtual ~SurfaceOutput() = default;
  // The surface control shows this picture (its whole area, in pixels).
  // The output may keep a reference instead of a copy (a full-screen frame
  // is megabytes, an effect presents one per display refresh): the control
  // keeps the frame alive, and changes it only to present it again, until
  // its next call or the output's end.
  virtual void PresentSurface(const Image& frame) = 0;
  // Waits for the next frame of an animation: one frame period of the
  // host's clock (virtual time on the headless host, the display's pace on
  // a real one). Animations measure their progress with the clock, so a
  // slow host drops frames instead of slowing down.
  virtual void AwaitNextFrame() = 0;
};

// Where the video control's picture goes. The host shows `frame` at
// `rectPixels` of the show window (frame and rectangle have the same size),
// above the surface and below the caption, until the next call.
class VideoOutput {
 public:
  virtual ~VideoOutput() = default;
  virtual void PresentVideo(const Image& frame, IntRect rectPixels) = 0;
  // No video picture on the window any more (control hidden, clip closed).
  virtual void HideVideo() = 0;
};

}  // namespace vistel
