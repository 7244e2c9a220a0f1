#include "media/probe/clip_probe.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kTicksPerSecond = 90000;
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
// The demuxer gives up on a stream after this many bytes without a start
// code, and ends it there; the probe refuses long before that.
constexpr std::uint64_t kMaxGapBytes = 50000;
// Bytes before the first pack that the format detection is known to pass.
constexpr std::uint64_t kMaxLeadingJunk = 1024;
// Streams that start later than this are not seen when the decoder opens
// the clip: it only studies the beginning.
constexpr std::uint64_t kMaxFirstPacketOffset = 1000000;
constexpr std::int64_t kMaxStartSpreadTicks = kTicksPerSecond;
// Time stamps are 33 bits; far from the wrap, none is corrected.
constexpr std::int64_t kMaxStamp = std::int64_t{1} << 32;

Error Refused(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "Cannot time the clip: " + why);
}

// 90 kHz ticks to milliseconds, to the nearest (halves away from zero).
Milliseconds TicksToMs(std::int64_t ticks) {
  return ticks >= 0 ? (ticks * 1000 + kTicksPerSecond / 2) / kTicksPerSecond
                    : -((-ticks * 1000 + kTicksPerSecond / 2) / kTicksPerSecond);
}

// The file through a window of one chunk, read as the scan moves on.
class Window {
 public:
  explicit Window(InputFile& file) : file_(file), size_(file.Size()), chunk_(kChunkBytes) {}

  std::uint64_t Size() const { return size_; }
  // The byte at `at`, or -1 past the end (or after a read error).
  int At(std::uint64_t at) {
    if (at >= size_ || failed_) return -1;
    if (at < start_ || at >= start_ + filled_) {
      auto got = file_.ReadAt(at, chunk_);
      if (!got || *got == 0) {
        if (!got) error_ = got.error();
        failed_ = true;
        return -1;
      }
      start_ = at;
      filled_ = *got;
    }
    return std::to_integer<int>(chunk_[static_cast<std::size_t>(at - start_)]);
  }
  const std::optional<Error>& ReadError() const { return error_; }

 private:
  InputFile& file_;
  std::uint64_t size_;
  std::vector<std::byte> chunk_;
  std::uint64_t start_ = 0;
  std::size_t filled_ = 0;
  bool failed_ = false;
  std::optional<Error> error_;
};

// The parser's memory of the packets it was fed: where each began and ended
// in the stream, with its stamps. A picture takes the stamps of the packet
// it starts in, if that packet began after the previous picture did.
class PacketStamps {
 public:
  explicit PacketStamps(std::int64_t base) : offset_(base), nextFrameOffset_(base) {}

  std::int64_t Offset() const { return offset_; }

  // A call of the parser on `size` bytes from Offset(); the stamps are those
  // of the packet when these bytes are its first.
  void Call(std::int64_t size, std::int64_t pts, std::int64_t dts) {
    Entry& current = ring_[index_];
    if (offset_ + size != current.end) {
      index_ = (index_ + 1) % ring_.size();
      ring_[index_] = {offset_, offset_ + size, pts, dts};
    }
    if (fetch_) {
      fetch_ = false;
      Fetch(0, false, false);
    }
  }

  void Fetch(std::int64_t off, bool remove, bool fuzzy) {
    if (!fuzzy) pts_ = dts_ = kNoTime;
    for (Entry& e : ring_) {
      const bool first = frameOffset_ == 0 && nextFrameOffset_ == 0;
      if (offset_ + off >= e.offset && (frameOffset_ < e.offset || first) && e.end != 0) {
        if (!fuzzy || e.dts != kNoTime) {
          pts_ = e.pts;
          dts_ = e.dts;
        }
        if (remove) e.offset = std::numeric_limits<std::int64_t>::max();
        if (offset_ + off < e.end) break;
      }
    }
  }

  // A frame was handed out; the next one starts at Offset() + next (next
  // may be negative: a start code begun in the previous packet).
  void FrameOut(std::int64_t next) {
    frameOffset_ = nextFrameOffset_;
    nextFrameOffset_ = offset_ + next;
    fetch_ = true;
    offset_ += std::max<std::int64_t>(next, 0);
  }
  void Advance(std::int64_t bytes) { offset_ += bytes; }

  std::int64_t Pts() const { return pts_; }
  std::int64_t Dts() const { return dts_; }

 private:
  struct Entry {
    std::int64_t offset = 0;
    std::int64_t end = 0;
    std::int64_t pts = 0;
    std::int64_t dts = 0;
  };
  std::array<Entry, 4> ring_{};
  std::size_t index_ = 0;
  std::int64_t offset_;
  std::int64_t frameOffset_ = 0;
  std::int64_t nextFrameOffset_;
  bool fetch_ = true;
  std::int64_t pts_ = kNoTime;
  std::int64_t dts_ = kNoTime;
};

// The demuxer's stamps for a packet without its own: the last stamp plus
// one frame, or with a decoding stamp before the presentation stamp, the
// decoding stamp plus one frame.
class PacketTimes {
 public:
  explicit PacketTimes(std::int64_t frameTicks) : frameTicks_(frameTicks) {}

  // Fills in the stamps; false when they run backwards (not followed).
  bool Complete(std::int64_t& pts, std::int64_t& dts) {
    if (dts != kNoTime) {
      if (dts == pts && lastOrderDts_ != kNoTime && lastOrderDts_ > dts) return false;
      lastOrderDts_ = dts;
    }
    const bool delayed = pts != kNoTime && dts != kNoTime && pts > dts;
    if (delayed) {
      current_ = dts + frameTicks_;
    } else {
      if (pts == kNoTime) pts = dts;
      if (pts == kNoTime) pts = current_;
      dts = pts;
      if (pts != kNoTime) current_ = pts + frameTicks_;
    }
    if (dts != kNoTime && dts > current_) current_ = dts;
    if (pts != kNoTime) end_ = std::max(end_, pts + frameTicks_);
    return true;
  }
  // The last stamp plus one frame: where the stream ends.
  std::int64_t End() const { return end_; }

 private:
  std::int64_t frameTicks_;
  std::int64_t current_ = kNoTime;
  std::int64_t lastOrderDts_ = kNoTime;
  std::int64_t end_ = kNoTime;
};

// The picture decoder: each picture comes out when the next has gone in,
// with its own presentation stamp and the decoding stamp of the packet that
// pushed it out; the time-stamp correction picks one of them; the clip
// moves a time that does not advance on by one frame period.
class PictureTimes {
 public:
  PictureTimes(std::int64_t start, Milliseconds frameMs) : start_(start), frameMs_(frameMs) {}

  void Packet(std::int64_t pts, std::int64_t dts) {
    if (havePending_) Out(pendingPts_, dts);
    pendingPts_ = pts;
    havePending_ = true;
  }
  void Finish() {
    if (havePending_) Out(pendingPts_, kNoTime);
    havePending_ = false;
  }
  std::int64_t Count() const { return count_; }
  Milliseconds LastMs() const { return lastMs_; }

 private:
  void Out(std::int64_t pts, std::int64_t dts) {
    if (dts != kNoTime) {
      faultyDts_ += dts <= lastDts_ ? 1 : 0;
      lastDts_ = dts;
    } else if (pts != kNoTime) {
      lastDts_ = pts;
    }
    if (pts != kNoTime) {
      faultyPts_ += pts <= lastPts_ ? 1 : 0;
      lastPts_ = pts;
    } else if (dts != kNoTime) {
      lastPts_ = dts;
    }
    std::int64_t best = (faultyPts_ <= faultyDts_ || dts == kNoTime) && pts != kNoTime ? pts : dts;
    if (best == kNoTime || (shown_ != kNoTime && best <= shown_)) {
      best = shown_ == kNoTime ? start_ : shown_ + frameMs_ * (kTicksPerSecond / 1000);
    }
    shown_ = best;
    lastMs_ = TicksToMs(best - start_);
    ++count_;
  }

  std::int64_t start_;
  Milliseconds frameMs_;
  bool havePending_ = false;
  std::int64_t pendingPts_ = kNoTime;
  std::int64_t faultyPts_ = 0;
  std::int64_t faultyDts_ = 0;
  std::int64_t lastPts_ = std::numeric_limits<std::int64_t>::min();
  std::int64_t lastDts_ = std::numeric_limits<std::int64_t>::min();
  std::int64_t shown_ = kNoTime;
  std::int64_t count_ = 0;
  Milliseconds lastMs_ = 0;
};

struct FrameRate {
  int num = 0;
  int den = 1;
};

// MPEG-1 frame_rate_code 1..8.
constexpr std::array<FrameRate, 9> kFrameRates = {{{0, 1},
                                                   {24000, 1001},
                                                   {24, 1},
                                                   {25, 1},
                                                   {30000, 1001},
                                                   {30, 1},
                                                   {50, 1},
                                                   {60000, 1001},
                                                   {60, 1}}};

bool OverPictureLimits(std::int64_t width, std::int64_t height) {
  return width > limits::kMaxPictureSide || height > limits::kMaxPictureSide ||
         width * height > limits::kMaxPicturePixels;
}

// The video stream: split into pictures the way the demuxer's parser does,
// each picture timed as it comes out of the decoder.
class VideoStream {
 public:
  Status Packet(Window& in, std::uint64_t at, std::uint64_t size, std::uint64_t pesAt,
                std::int64_t pts, std::int64_t dts) {
    if (!stamps_) {
      if (pts == kNoTime) return Fail(Refused("the first picture has no time stamp"));
      start_ = pts;
      stamps_.emplace(static_cast<std::int64_t>(pesAt));
    }
    // Stream offsets: the parser counts the bytes it is fed.
    const std::int64_t payloadStart = stamps_->Offset();
    const std::int64_t payloadEnd = payloadStart + static_cast<std::int64_t>(size);
    std::uint64_t pos = at;
    bool firstCall = true;
    while (stamps_->Offset() < payloadEnd) {
      const std::int64_t callStart = stamps_->Offset();
      stamps_->Call(payloadEnd - callStart, firstCall ? pts : kNoTime, firstCall ? dts : kNoTime);
      firstCall = false;
      // The start code that ended the last frame begins the new one: the
      // parser finds it again as this call scans.
      if (redispatch_) {
        redispatch_ = false;
        if (auto s = StartCode(redispatchCode_, redispatchAt_, callStart); !s) return s;
      }
      bool ended = false;
      while (pos < at + size && !ended) {
        const int byte = in.At(pos);
        if (byte < 0) return Fail(Refused("the file cannot be read"));
        const std::int64_t here = payloadStart + static_cast<std::int64_t>(pos - at);
        ++pos;
        if (auto s = Byte(byte, here, callStart, ended); !s) return s;
      }
      if (!ended) {
        stamps_->Advance(payloadEnd - callStart);
        break;
      }
      // The frame ended where the start code at endAt_ begins (perhaps in
      // the previous packet); the parser goes on from there.
      if (auto s = FrameOut(); !s) return s;
      stamps_->FrameOut(endAt_ - callStart);
      state_ = 0x100U | static_cast<std::uint32_t>(endCode_);
      redispatch_ = true;
      redispatchCode_ = endCode_;
      redispatchAt_ = endAt_;
      frameBytes_ = 4;
    }
    return {};
  }

  Status Finish() {
    if (!stamps_) return {};
    if (frameBytes_ > 0 || redispatch_) {
      if (auto s = FrameOut(true); !s) return s;
    }
    pictures_->Finish();
    return {};
  }

  bool Seen() const { return stamps_.has_value(); }
  std::int64_t Start() const { return start_; }
  IntSize Size() const { return {width_, height_}; }
  Milliseconds FrameMs() const { return frameMs_; }
  std::int64_t FrameTicks() const { return frameTicks_; }
  const PacketTimes& Times() const { return *times_; }
  const PictureTimes& Pictures() const { return *pictures_; }

 private:
  // One byte of the stream at stream offset `here`, within a call that
  // began at `callStart`. Sets `ended` at a start code that ends the frame.
  Status Byte(int byte, std::int64_t here, std::int64_t callStart, bool& ended) {
    ++frameBytes_;
    if (capture_ > 0) {
      captured_[capturedCount_++] = static_cast<std::uint8_t>(byte);
      if (--capture_ == 0) {
        if (auto s = HeaderRead(); !s) return s;
      }
    }
    if (skipNext_) {  // the parser steps over the byte after a first slice code
      skipNext_ = false;
      return {};
    }
    state_ = (state_ << 8) | static_cast<std::uint32_t>(byte);
    if ((state_ & 0xFFFFFF00U) != 0x100U) return {};
    const int code = static_cast<int>(state_ & 0xFF);
    const std::int64_t codeAt = here - 3;
    const bool slice = code >= 0x01 && code <= 0xAF;
    if (frameStartFound_ && !slice) {
      ended = true;
      endAt_ = codeAt;
      endCode_ = code;
      frameStartFound_ = false;
      return {};
    }
    return StartCode(code, codeAt, callStart);
  }

  Status StartCode(int code, std::int64_t codeAt, std::int64_t callStart) {
    if (code >= 0x01 && code <= 0xAF) {
      if (!frameStartFound_) {
        frameStartFound_ = true;
        skipNext_ = true;
        frameHasSlice_ = true;
      }
      return {};
    }
    switch (code) {
      case 0x00:  // picture
        if (framePictures_++ > 0) return Fail(Refused("a frame holds two pictures"));
        stamps_->Fetch(codeAt - callStart, true, codeAt > callStart);
        Capture(2, Header::Picture);
        return {};
      case 0xB3:  // sequence header
        Capture(4, Header::Sequence);
        return {};
      case 0xB5:  // extension: MPEG-2 video, unless its size is the first problem
        Capture(3, Header::Extension);
        return {};
      case 0xB7:
        return Fail(Refused("the video has a sequence end code"));
      case 0xB8:  // group of pictures
      case 0xB2:  // user data
        return {};
      default:
        return Fail(Refused("the video holds an unknown start code"));
    }
  }

  enum class Header { Picture, Sequence, Extension };
  void Capture(int count, Header what) {
    capture_ = count;
    capturedCount_ = 0;
    capturing_ = what;
  }

  Status HeaderRead() {
    const auto& b = captured_;
    switch (capturing_) {
      case Header::Picture: {
        const int type = (b[1] >> 3) & 7;
        if (type == 3) return Fail(Refused("the video has B-pictures"));
        if (type != 1 && type != 2) return Fail(Refused("the video has a picture of unknown type"));
        return {};
      }
      case Header::Sequence: {
        const int width = (b[0] << 4) | (b[1] >> 4);
        const int height = ((b[1] & 0x0F) << 8) | b[2];
        const int rate = b[3] & 0x0F;
        if (width_ == 0 && height_ == 0) {
          width_ = width;
          height_ = height;
          rateCode_ = rate;
        }
        return {};
      }
      case Header::Extension: {
        if ((b[0] >> 4) == 1) {  // sequence extension: the size's high bits
          const int wide = ((b[1] & 1) << 1) | (b[2] >> 7);
          const int high = (b[2] >> 5) & 3;
          if (OverPictureLimits((std::int64_t{wide} << 12) | width_,
                                (std::int64_t{high} << 12) | height_)) {
            return Fail(Error(ErrorCode::InvalidProcedureCall,
                              "Cannot open the clip: its pictures are " +
                                  std::to_string((wide << 12) | width_) + "x" +
                                  std::to_string((high << 12) | height_) +
                                  " pixels, more than a show may hold"));
          }
        }
        return Fail(Refused("the video is MPEG-2"));
      }
    }
    return {};
  }

  // The parser hands out the frame gathered so far; `last` at the end of
  // the file.
  Status FrameOut(bool last = false) {
    if (!times_) {
      if (width_ <= 0 || height_ <= 0) {
        return Fail(Refused("the video does not start with a sequence header"));
      }
      if (rateCode_ < 1 || rateCode_ > 8) return Fail(Refused("the video has no frame rate"));
      const FrameRate rate = kFrameRates[static_cast<std::size_t>(rateCode_)];
      if ((kTicksPerSecond * rate.den) % rate.num != 0) {
        return Fail(Refused("the frame rate is no whole number of 90 kHz ticks"));
      }
      frameTicks_ = kTicksPerSecond * rate.den / rate.num;
      frameMs_ = std::max<Milliseconds>(1, 1000 * rate.den / rate.num);
      times_.emplace(frameTicks_);
      pictures_.emplace(start_, frameMs_);
    }
    // The end of a cut file may leave a last packet with headers but no
    // slice: it is timed like any packet, but no picture comes of it.
    const bool picture = framePictures_ == 1 && frameHasSlice_;
    if (!picture && !last) return Fail(Refused("a frame of the video is not one whole picture"));
    std::int64_t pts = stamps_->Pts();
    std::int64_t dts = stamps_->Dts();
    if (!times_->Complete(pts, dts)) return Fail(Refused("the video's time stamps run backwards"));
    if (picture) pictures_->Packet(pts, dts);
    framePictures_ = 0;
    frameHasSlice_ = false;
    return {};
  }

  std::optional<PacketStamps> stamps_;
  std::optional<PacketTimes> times_;
  std::optional<PictureTimes> pictures_;
  std::int64_t start_ = kNoTime;
  std::uint32_t state_ = 0xFFFFFFFFU;
  bool frameStartFound_ = false;
  bool skipNext_ = false;
  std::int64_t frameBytes_ = 0;
  int framePictures_ = 0;
  bool frameHasSlice_ = false;
  bool redispatch_ = false;
  int redispatchCode_ = 0;
  std::int64_t redispatchAt_ = 0;
  std::int64_t endAt_ = 0;
  int endCode_ = 0;
  int capture_ = 0;
  std::size_t capturedCount_ = 0;
  Header capturing_ = Header::Picture;
  std::array<int, 4> captured_{};
  int width_ = 0;
  int height_ = 0;
  int rateCode_ = 0;
  Milliseconds frameMs_ = 0;
  std::int64_t frameTicks_ = 0;
};

// MPEG audio layer II frame headers.
struct AudioHeader {
  int sampleRate = 0;
  int bytes = 0;
};

std::optional<AudioHeader> ParseAudioHeader(std::uint32_t h) {
  if ((h & 0xFFE00000U) != 0xFFE00000U) return std::nullopt;
  const unsigned version = (h >> 19) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  const unsigned layer = (h >> 17) & 3;    // 2 is layer II
  const unsigned bitrateIndex = (h >> 12) & 15;
  const unsigned rateIndex = (h >> 10) & 3;
  const unsigned padding = (h >> 9) & 1;
  if (version == 1 || layer != 2 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  static constexpr int kRates[3] = {44100, 48000, 32000};
  static constexpr int kMpeg1[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                     128, 160, 192, 224, 256, 320, 384};
  static constexpr int kLowRates[15] = {0,  8,  16, 24,  32,  40,  48, 56,
                                        64, 80, 96, 112, 128, 144, 160};
  const int shift = version == 3 ? 0 : version == 2 ? 1 : 2;
  AudioHeader out;
  out.sampleRate = kRates[rateIndex] >> shift;
  const int kbps = version == 3 ? kMpeg1[bitrateIndex] : kLowRates[bitrateIndex];
  out.bytes = 144000 * kbps / out.sampleRate + static_cast<int>(padding);
  return out;
}

constexpr int kSamplesPerAudioFrame = 1152;

// The sound stream: split into layer II frames as the demuxer's parser does,
// each frame timed by the demuxer's rules, counted as the decoder decodes.
class AudioStream {
 public:
  Status Packet(Window& in, std::uint64_t at, std::uint64_t size, std::uint64_t pesAt,
                std::int64_t pts, std::int64_t dts) {
    if (!stamps_) {
      if (pts == kNoTime) return Fail(Refused("the sound's first packet has no time stamp"));
      start_ = pts;
      stamps_.emplace(static_cast<std::int64_t>(pesAt));
    }
    std::int64_t left = static_cast<std::int64_t>(size);
    std::uint64_t pos = at;
    bool firstCall = true;
    while (left > 0) {
      stamps_->Call(left, firstCall ? pts : kNoTime, firstCall ? dts : kNoTime);
      firstCall = false;
      std::int64_t consumed = 0;
      bool ended = false;
      while (consumed < left && !ended) {
        const int byte = in.At(pos);
        if (byte < 0) return Fail(Refused("the file cannot be read"));
        ++pos;
        ++consumed;
        if (auto s = Byte(byte, ended); !s) return s;
      }
      if (ended) {
        if (auto s = FrameOut(); !s) return s;
        stamps_->FrameOut(consumed);
      } else {
        stamps_->Advance(consumed);
      }
      left -= consumed;
    }
    return {};
  }

  Status Finish() {
    if (!stamps_) return {};
    if (frameBytes_ > 0) return FrameOut();
    return {};
  }

  bool Seen() const { return stamps_.has_value(); }
  std::int64_t Start() const { return start_; }
  int SampleRate() const { return sampleRate_; }
  std::int64_t Frames() const { return decodedFrames_; }
  std::int64_t End() const { return times_ ? times_->End() : kNoTime; }

 private:
  Status Byte(int byte, bool& ended) {
    ++frameBytes_;
    if (remaining_ > 0) {
      if (--remaining_ == 0) ended = true;
      return {};
    }
    header_ = (header_ << 8) | static_cast<std::uint32_t>(byte);
    if (frameBytes_ < 4) return {};
    const auto parsed = ParseAudioHeader(header_);
    if (!parsed) return Fail(Refused("the sound is not MPEG audio layer II throughout"));
    if (sampleRate_ == 0) {
      sampleRate_ = parsed->sampleRate;
      frameTicks_ = kTicksPerSecond * kSamplesPerAudioFrame / sampleRate_;
      times_.emplace(frameTicks_);
    } else if (parsed->sampleRate != sampleRate_) {
      return Fail(Refused("the sound changes its sample rate"));
    }
    remaining_ = parsed->bytes - 4;
    if (remaining_ <= 0) ended = true;
    return {};
  }

  Status FrameOut() {
    if (!times_) {
      // Bytes before any header: the decoder has nothing to time them by.
      return Fail(Refused("the sound ends before its first whole header"));
    }
    std::int64_t pts = stamps_->Pts();
    std::int64_t dts = stamps_->Dts();
    if (!times_->Complete(pts, dts)) return Fail(Refused("the sound's time stamps run backwards"));
    // A frame cut short by the end of the file still decodes from its
    // header on; a few bytes without one do not.
    if (frameBytes_ >= 4) ++decodedFrames_;
    frameBytes_ = 0;
    remaining_ = 0;
    header_ = 0;
    return {};
  }

  std::optional<PacketStamps> stamps_;
  std::optional<PacketTimes> times_;
  std::int64_t start_ = kNoTime;
  std::uint32_t header_ = 0;
  std::int64_t frameBytes_ = 0;
  std::int64_t remaining_ = 0;
  int sampleRate_ = 0;
  std::int64_t frameTicks_ = 0;
  std::int64_t decodedFrames_ = 0;
};

std::int64_t ReadStamp(Window& in, std::uint64_t at) {
  std::int64_t b[5];
  for (int i = 0; i < 5; ++i) b[i] = in.At(at + static_cast<std::uint64_t>(i));
  return ((b[0] & 0x0E) << 29) | (((b[1] << 8 | b[2]) >> 1) << 15) | ((b[3] << 8 | b[4]) >> 1);
}

class SystemStream {
 public:
  explicit SystemStream(InputFile& file) : in_(file) {}

  Result<ClipTiming> Run() {
    if (auto s = Start(); !s) return Fail(s.error());
    std::uint64_t pos = scanFrom_;
    std::uint32_t state = 0xFFFFFFFFU;
    std::uint64_t sinceCode = 0;
    while (true) {
      const int byte = in_.At(pos);
      if (byte < 0) break;
      ++pos;
      state = (state << 8) | static_cast<std::uint32_t>(byte);
      if ((state & 0xFFFFFF00U) != 0x100U) {
        if (++sinceCode > kMaxGapBytes) {
          return Fail(Refused("a long stretch of the file is no packet"));
        }
        continue;
      }
      sinceCode = 0;
      const int code = static_cast<int>(state & 0xFF);
      state = 0xFFFFFFFFU;
      const std::uint64_t codeAt = pos - 4;
      if (code == 0xBA || code == 0xBB || code < 0xB9)
        continue;                  // scanned through, as the demuxer does
      if (code == 0xB9) continue;  // end code
      if (code == 0xBE) {          // padding
        const int hi = in_.At(pos), lo = in_.At(pos + 1);
        if (hi < 0 || lo < 0) break;
        pos += 2 + static_cast<std::uint64_t>(hi << 8 | lo);
        continue;
      }
      if (code == 0xBC || code == 0xBD || code == 0xBF || code == 0xFD) {
        return Fail(Refused("the clip has streams other than MPEG video and sound"));
      }
      if (code < 0xC0 || code > 0xEF) continue;
      auto next = Pes(code, codeAt, pos);
      if (!next) return Fail(next.error());
      if (*next == 0) break;
      pos = *next;
    }
    if (in_.ReadError()) return Fail(*in_.ReadError());
    return Finish();
  }

 private:
  Status Start() {
    // Files that begin with these tags are read as another kind of stream.
    for (std::string_view tag : {std::string_view("IMKH"), std::string_view("Sofdec")}) {
      bool same = true;
      for (std::size_t i = 0; i < tag.size() && same; ++i) {
        same = in_.At(i) == static_cast<unsigned char>(tag[i]);
      }
      if (same) return Fail(Refused("the clip is no MPEG-1 system stream"));
    }
    // The first start code must open an MPEG-1 pack, after at most a little
    // junk that no format detection mistakes for anything.
    std::uint32_t state = 0xFFFFFFFFU;
    for (std::uint64_t pos = 0; pos < kMaxLeadingJunk + 4; ++pos) {
      const int byte = in_.At(pos);
      if (byte < 0) break;
      state = (state << 8) | static_cast<std::uint32_t>(byte);
      if (byte == 0xFF) return Fail(Refused("the bytes before the first pack look like sound"));
      if ((state & 0xFFFFFF00U) != 0x100U) continue;
      const int pack = in_.At(pos + 1);
      if ((state & 0xFF) != 0xBA || pack < 0 || (pack & 0xF0) != 0x20) break;
      scanFrom_ = pos - 3;
      return {};
    }
    return Fail(Refused("the clip is no MPEG-1 system stream"));
  }

  // A PES packet at codeAt, its length field at `at`. The position after
  // it, or 0 at the end of the file.
  Result<std::uint64_t> Pes(int code, std::uint64_t codeAt, std::uint64_t at) {
    const int hi = in_.At(at), lo = in_.At(at + 1);
    if (hi < 0 || lo < 0) return std::uint64_t{0};
    std::int64_t len = hi << 8 | lo;
    std::uint64_t pos = at + 2;
    int c = 0;
    while (true) {
      if (len < 1) return Fail(Refused("a packet header runs past its packet"));
      c = in_.At(pos++);
      if (c < 0) return std::uint64_t{0};
      --len;
      if (c != 0xFF) break;
    }
    if ((c & 0xC0) == 0x40) {
      in_.At(pos++);
      c = in_.At(pos++);
      if (c < 0) return std::uint64_t{0};
      len -= 2;
    }
    std::int64_t pts = kNoTime, dts = kNoTime;
    if ((c & 0xE0) == 0x20) {
      if (in_.At(pos + 3) < 0) return std::uint64_t{0};
      pts = dts = ReadStamp(in_, pos - 1);
      pos += 4;
      len -= 4;
      if ((c & 0x10) != 0) {
        if (in_.At(pos + 4) < 0) return std::uint64_t{0};
        dts = ReadStamp(in_, pos);
        pos += 5;
        len -= 5;
      }
    } else if ((c & 0xC0) == 0x80) {
      return Fail(Refused("the clip has MPEG-2 packets"));
    } else if (c != 0x0F) {
      return Fail(Refused("a packet header is damaged"));
    }
    if (len < 0) return Fail(Refused("a packet header runs past its packet"));
    if (len == 0) return Fail(Refused("a packet is empty"));
    for (std::int64_t t : {pts, dts}) {
      if (t != kNoTime && t >= kMaxStamp) return Fail(Refused("a time stamp is near its wrap"));
    }
    // A packet cut by the end of the file gives what there is of it.
    const std::uint64_t size = std::min<std::uint64_t>(static_cast<std::uint64_t>(len),
                                                       in_.Size() > pos ? in_.Size() - pos : 0);
    if (size == 0) return std::uint64_t{0};
    const bool video = code >= 0xE0;
    int& id = video ? videoId_ : audioId_;
    if (id == 0) {
      if (codeAt > kMaxFirstPacketOffset) {
        return Fail(Refused("a stream starts too far into the file"));
      }
      id = code;
    } else if (id != code) {
      return Fail(Refused("the clip has more than one stream of a kind"));
    }
    Status fed = video ? video_.Packet(in_, pos, size, codeAt, pts, dts)
                       : audio_.Packet(in_, pos, size, codeAt, pts, dts);
    if (!fed) return Fail(fed.error());
    const std::uint64_t after = pos + static_cast<std::uint64_t>(len);
    return after >= in_.Size() ? std::uint64_t{0} : after;
  }

  Result<ClipTiming> Finish() {
    if (auto s = video_.Finish(); !s) return Fail(s.error());
    if (auto s = audio_.Finish(); !s) return Fail(s.error());
    ClipTiming t;
    t.hasVideo = video_.Seen();
    t.hasAudio = audio_.Seen() && audio_.SampleRate() > 0;
    if (!t.hasVideo && !t.hasAudio) return Fail(Refused("the clip has no picture or sound"));
    if (t.hasVideo && t.hasAudio) {
      const std::int64_t spread = video_.Start() - audio_.Start();
      if (spread > kMaxStartSpreadTicks || -spread > kMaxStartSpreadTicks) {
        return Fail(Refused("the picture and the sound start far apart"));
      }
    }
    Milliseconds videoMs = 0;
    if (t.hasVideo) {
      const IntSize size = video_.Size();
      if (OverPictureLimits(size.width, size.height)) {
        return Fail(Error(ErrorCode::InvalidProcedureCall,
                          "Cannot open the clip: its pictures are " + std::to_string(size.width) +
                              "x" + std::to_string(size.height) +
                              " pixels, more than a show may hold"));
      }
      if (video_.FrameTicks() == 0 || video_.Pictures().Count() == 0) {
        return Fail(Refused("the video has no whole picture"));
      }
      t.frameSize = size;
      t.frameMs = video_.FrameMs();
      t.frameCount = video_.Pictures().Count();
      t.lastFrameMs = video_.Pictures().LastMs();
      t.videoEndMs = t.frameCount > 0 ? t.lastFrameMs + t.frameMs : 0;
      videoMs = TicksToMs(video_.Times().End() - video_.Start());
    }
    if (t.hasAudio) {
      t.soundFormat = {audio_.SampleRate(), 2};
      t.soundFrames = audio_.Frames() * kSamplesPerAudioFrame;
      t.soundMs = std::clamp<Milliseconds>(TicksToMs(audio_.End() - audio_.Start()), 0,
                                           limits::kMaxMediaMs);
    }
    t.duration = std::clamp<Milliseconds>(std::max(videoMs, t.soundMs), 0, limits::kMaxMediaMs);
    return t;
  }

  Window in_;
  std::uint64_t scanFrom_ = 0;
  int videoId_ = 0;
  int audioId_ = 0;
  VideoStream video_;
  AudioStream audio_;
};

}  // namespace

Result<ClipTiming> ProbeClip(InputFile& file) {
  return SystemStream(file).Run();
}

}  // namespace vistel
