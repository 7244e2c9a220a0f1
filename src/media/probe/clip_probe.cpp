#include "media/probe/clip_probe.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/input_limits.hpp"
#include "media/probe/mpeg1_picture_rate.hpp"

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
// The decoder reads the last this many ticks of a long video for its end,
// from where a seek lands, somewhat before that.
constexpr std::int64_t kEndScanTicks = 3 * kTicksPerSecond;
constexpr std::int64_t kSeekSlackTicks = kTicksPerSecond / 2;
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

// The demuxer's stamps for a sound packet without its own: the last stamp
// plus one frame, or with a decoding stamp before the presentation stamp,
// the decoding stamp plus one frame.
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

// `a` scaled by num/den, to the nearest (halves away from zero), as the
// demuxer rescales its times.
std::int64_t Rescale(std::int64_t a, std::int64_t num, std::int64_t den) {
  return a >= 0 ? (a * num + den / 2) / den : -((-a * num + den / 2) / den);
}

// The demuxer's clock at the video's frame rate: a packet lasts one frame
// period in whole ticks, rounded down; a time moved on by one frame lands
// on the frame grid, so that rates of no whole ticks do not drift.
class FrameClock {
 public:
  explicit FrameClock(Mpeg1PictureRate rate)
      : period_(std::int64_t{rate.denominator} * kTicksPerSecond), rate_(rate.numerator) {}

  std::int64_t Ticks() const { return period_ / rate_; }
  std::int64_t Next(std::int64_t ts) const {
    if (period_ % rate_ == 0) return ts + period_ / rate_;
    const std::int64_t frame = Rescale(ts, rate_, period_);
    return Rescale(frame + 1, period_, rate_) + (ts - Rescale(frame, period_, rate_));
  }

 private:
  std::int64_t period_;  // one frame is period_ / rate_ ticks
  std::int64_t rate_;
};

constexpr int kPictureI = 1;
constexpr int kPictureP = 2;
constexpr int kPictureB = 3;

// A frame of the video as the demuxer's parser hands it out.
struct ParsedFrame {
  // The type of the parser's last picture header (it keeps it for a frame
  // without one), and whether the frame holds a picture the decoder decodes.
  int type = 0;
  bool picture = false;
  // The decoder's view of the last group of pictures: closed or open.
  bool closedGroup = false;
  std::int64_t pts = kNoTime;  // the stamps the parser gave it
  std::int64_t dts = kNoTime;
  // The stamps of the packet whose first bytes completed the frame (none
  // when it ended later in a packet, or at the end of the file).
  std::int64_t callPts = kNoTime;
  std::int64_t callDts = kNoTime;
  // The video packet (counted from 1) in whose reading the parser handed it
  // out; the end of the file comes after all packets.
  std::int64_t packet = 0;
};

// A time the demuxer works out, with the earliest packet stamp it follows
// from: after a seek the demuxer knows nothing before that, so only times
// that follow from stamps after the seek are the same as in a whole read.
struct Traced {
  std::int64_t t = kNoTime;
  std::int64_t from = std::numeric_limits<std::int64_t>::max();
};

Traced Earlier(Traced value, std::int64_t from) {
  value.from = std::min(value.from, from);
  return value;
}

// The demuxer's stamps for each frame of the video as it reads the clip
// from the start, knowing of B-pictures in the stream (hasB) or learning of
// them from the first it parses. A frame without stamps of its own gets the
// last time plus one frame; with B-pictures, a reference picture's
// presentation is delayed: without a decoding stamp it takes the previous
// reference's presentation stamp, and without a presentation stamp it has
// none unless the next packet says when it is decoded. Also where the
// stream ends for the clip's length: the latest stamp plus one frame.
class FrameStamps {
 public:
  FrameStamps(FrameClock clock, bool hasB) : clock_(clock), hasB_(hasB) {}

  struct Stamps {
    Traced pts;
    Traced dts;
  };

  // Once decoding stamps equal to their presentation stamps run backwards,
  // the demuxer drops such decoding stamps. That changes no time it gives:
  // it takes the presentation stamp for a missing decoding stamp, and drops
  // a delayed picture's equal decoding stamp anyway.
  Result<Stamps> Frame(const ParsedFrame& f) {
    hasB_ = hasB_ || f.type == kPictureB;
    // Times from the frame's own stamps follow from its packet alone.
    const std::int64_t own = f.dts != kNoTime   ? f.dts
                             : f.pts != kNoTime ? f.pts
                                                : std::numeric_limits<std::int64_t>::max();
    Traced pts{f.pts, own};
    Traced dts{f.dts, own};
    bool delayed = hasB_ && f.type != kPictureB;
    // Equal stamps on a delayed picture: the decoding stamp is taken for
    // missing.
    if (delayed && dts.t == pts.t && dts.t != kNoTime) dts = Traced{};
    if (pts.t != kNoTime && dts.t != kNoTime && pts.t > dts.t) delayed = true;
    const std::int64_t ticks = clock_.Ticks();
    if (delayed) {
      if (dts.t == kNoTime) dts = lastReferencePts_;
      if (dts.t == kNoTime) dts = current_;
      if (dts.t != kNoTime) current_ = {dts.t + ticks, dts.from};
      if (dts.t != kNoTime && pts.t == kNoTime &&
          static_cast<std::uint64_t>(current_.t) - static_cast<std::uint64_t>(f.callDts) + 1 <= 2 &&
          f.callDts != f.callPts && f.callPts != kNoTime) {
        pts = Traced{f.callDts, std::min(f.callDts, current_.from)};
      } else if (pts.t == kNoTime) {
        pts = Traced{kNoTime, current_.from};  // missing, for want of a time
      }
      lastReferencePts_ = pts;
    } else {
      if (pts.t == kNoTime) pts = dts;
      if (pts.t == kNoTime) pts = current_;
      dts = pts;
      if (pts.t != kNoTime) current_ = {clock_.Next(pts.t), pts.from};
    }
    if (pts.t != kNoTime) {
      // The last presentation stamps, in order: a frame still without a
      // decoding stamp takes the earlier of the last two.
      sorted_[0] = pts;
      if (hasB_ && sorted_[0].t > sorted_[1].t) std::swap(sorted_[0], sorted_[1]);
      if (dts.t == kNoTime) dts = Earlier(sorted_[0], pts.from);
    }
    if (dts.t > current_.t) current_ = dts;
    for (const Traced& v : {pts, dts}) {
      if (v.t == kNoTime) continue;
      if (end_.t == kNoTime || v.t + ticks > end_.t) {
        end_ = {v.t + ticks, v.from};
      } else if (v.t + ticks == end_.t) {
        end_.from = std::max(end_.from, v.from);
      }
    }
    return Stamps{pts, dts};
  }

  const Traced& End() const { return end_; }

 private:
  FrameClock clock_;
  bool hasB_;
  Traced current_;
  Traced lastReferencePts_;
  std::array<Traced, 2> sorted_{};
  Traced end_;
};

// The pictures as the clip decoder hands them out. The picture decoder puts
// out a B-picture at once and a reference picture when the next reference
// goes in (the last one at the end), each with its own presentation stamp
// and the decoding stamp of the packet that let it out; a B-picture before
// the stream's second reference in an open group refers to a picture the
// stream does not have and is dropped. The time-stamp correction picks one
// of the two stamps; the clip moves a time that does not advance on by one
// frame period in milliseconds.
class PictureTimes {
 public:
  PictureTimes(std::int64_t start, Milliseconds frameMs) : start_(start), frameMs_(frameMs) {}

  Status Picture(int type, bool closedGroup, std::int64_t pts, std::int64_t dts) {
    if (type == kPictureB) {
      if (references_ < 2 && !closedGroup) return {};
      return Out(pts, dts);
    }
    if (references_ > 0) {
      if (auto s = Out(referencePts_, dts); !s) return s;
    }
    references_ = std::min(references_ + 1, 2);
    referencePts_ = pts;
    return {};
  }
  Status Finish() {
    if (references_ > 0) return Out(referencePts_, kNoTime);
    return {};
  }
  std::int64_t Count() const { return static_cast<std::int64_t>(ms_.size()); }
  const std::vector<Milliseconds>& Ms() const { return ms_; }

 private:
  Status Out(std::int64_t pts, std::int64_t dts) {
    if (ms_.size() >= kMaxPictures) return Fail(Refused("the video has too many pictures"));
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
    ms_.push_back(TicksToMs(best - start_));
    return {};
  }

  // As many frames as the longest clip holds at MPEG-1's highest rate.
  static constexpr std::size_t kMaxPictures =
      static_cast<std::size_t>(limits::kMaxMediaMs / 1000 * 60);

  std::int64_t start_;
  Milliseconds frameMs_;
  int references_ = 0;
  std::int64_t referencePts_ = kNoTime;
  std::int64_t faultyPts_ = 0;
  std::int64_t faultyDts_ = 0;
  std::int64_t lastPts_ = std::numeric_limits<std::int64_t>::min();
  std::int64_t lastDts_ = std::numeric_limits<std::int64_t>::min();
  std::int64_t shown_ = kNoTime;
  std::vector<Milliseconds> ms_;
};

// How the clip decoder times the video. Its demuxer reads the clip three
// times: when the clip opens (studying the stream's beginning), for the
// clip's length (all of a short clip; the last seconds of a long one, after
// a seek), and for the pictures. Whether a reference picture's presentation
// is delayed depends on whether the demuxer knows that the stream has
// B-pictures: it learns so from the first one it parses and never forgets,
// except that on opening it starts afresh when it hands out the stream's
// first frame, after the packet that completed that frame was parsed whole.
class VideoTimeline {
 public:
  VideoTimeline(FrameClock clock, std::int64_t start, Milliseconds frameMs)
      : clock_(clock), pictures_(start, frameMs) {}

  // `filePos`: how far into the file the frame came out.
  Status Frame(const ParsedFrame& f, std::uint64_t filePos) {
    if (firstPacket_ == 0) firstPacket_ = f.packet;
    const bool b = f.type == kPictureB;
    if (decided_) {
      // Past what the opening read surely studied, a B-picture may or may
      // not have been seen.
      if (b && !knowsB_) return Fail(Refused("the video's B-pictures start late"));
      return Timed(f);
    }
    anyB_ = anyB_ || b;
    pending_.push_back(f);
    // A B-picture after the first frame's packet stays known, if the
    // opening read surely reached it: it spans seconds and megabytes.
    if (b && f.packet > firstPacket_) return Decide(true);
    if (pending_.size() >= kFramesSurelyStudied || filePos >= kBytesSurelyStudied) {
      return Decide(false);
    }
    return {};
  }

  Status Finish() {
    if (!decided_) {
      if (auto s = Decide(false); !s) return s;
    }
    return pictures_.Finish();
  }

  const PictureTimes& Pictures() const { return pictures_; }
  // Where the length read finds the video's end.
  const Traced& End() const { return length_ ? length_->End() : stamps_->End(); }
  // Whether that end holds only when the length read reads the whole clip.
  bool EndNeedsWholeRead() const { return length_.has_value() && anyB_; }

 private:
  Status Decide(bool knowsB) {
    decided_ = true;
    knowsB_ = knowsB;
    // Reading the pictures, the demuxer knows of B-pictures from the
    // length read if it had forgotten them.
    stamps_.emplace(clock_, anyB_);
    if (!knowsB) length_.emplace(clock_, false);
    for (const ParsedFrame& f : pending_) {
      if (auto s = Timed(f); !s) return s;
    }
    pending_ = {};
    return {};
  }

  Status Timed(const ParsedFrame& f) {
    if (length_) {
      if (auto s = length_->Frame(f); !s) return Fail(s.error());
    }
    auto s = stamps_->Frame(f);
    if (!s) return Fail(s.error());
    if (!f.picture) return {};
    return pictures_.Picture(f.type, f.closedGroup, s->pts.t, s->dts.t);
  }

  static constexpr std::size_t kFramesSurelyStudied = 64;
  static constexpr std::uint64_t kBytesSurelyStudied = 1000000;

  FrameClock clock_;
  std::int64_t firstPacket_ = 0;
  bool decided_ = false;
  bool knowsB_ = false;  // after opening, the demuxer knows of B-pictures
  bool anyB_ = false;
  std::vector<ParsedFrame> pending_;
  std::optional<FrameStamps> stamps_;  // as the pictures are read
  std::optional<FrameStamps> length_;  // as the length is read, if otherwise
  PictureTimes pictures_;
};

// The demuxer does not take a video stream's packets for MPEG video on
// faith: it guesses their codec from their first bytes (as it guesses the
// format of a file of raw MPEG video) each time the bytes gathered pass a
// power of two, until a guess is sure or the stream ends, when any guess
// will do. A stream it takes for anything else has no pictures. Only the
// guess of MPEG video is weighed here; no other format claims bytes that
// pass it.
class CodecGuess {
 public:
  Status Add(Window& in, std::uint64_t at, std::uint64_t size) {
    if (decided_) return {};
    const std::size_t before = bytes_.size();
    if (size > kMaxBytes - before) return Fail(Refused("the video's first packets are too large"));
    for (std::uint64_t i = 0; i < size; ++i) {
      const int byte = in.At(at + i);
      if (byte < 0) return Fail(Refused("the file cannot be read"));
      bytes_.push_back(static_cast<std::uint8_t>(byte));
    }
    if (++packets_ >= kMaxPackets) {  // the demuxer stops guessing: any guess will do
      Decide(Score() > 0);
    } else if (Log2(bytes_.size()) != Log2(before) && Score() > kSureScore) {
      Decide(true);
    }
    return {};
  }
  bool TakenForMpegVideo() const { return decided_ ? taken_ : Score() > 0; }

 private:
  static int Log2(std::size_t n) { return static_cast<int>(std::bit_width(n | 1)) - 1; }

  // The raw MPEG video format's score for the bytes: start codes of
  // sequence headers (whole ones), pictures and slices in sensible
  // numbers, and none of a system stream or another codec.
  int Score() const {
    std::uint32_t code = 0xFFFFFFFFU;
    std::uint32_t last = 0;
    int pictures = 0, sequences = 0, slices = 0, outOfOrder = 0, foreign = 0, videoPackets = 0;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
      code = (code << 8) | bytes_[i];
      if ((code & 0xFFFFFF00U) != 0x100U) continue;
      if (code == 0x1B3 && WholeSequenceHeader(i + 1)) ++sequences;
      if (code == 0x100) ++pictures;
      if (code == 0x1BA || code == 0x1B6 || (code & 0x1E0) == 0x1C0) ++foreign;
      if ((code & 0x1F0) == 0x1E0) ++videoPackets;
      if (code >= 0x101 && code <= 0x1AF) {
        const bool inOrder = last >= 0x101 && last <= 0x1AF ? code >= last : code == 0x101;
        ++(inOrder ? slices : outOfOrder);
      }
      last = code;
    }
    if (sequences == 0 || sequences * 9 > pictures * 10 || pictures * 9 > slices * 10 ||
        foreign > 0 || slices <= outOfOrder) {
      return 0;
    }
    return videoPackets > 0 ? 12 : pictures > 1 ? 51 : 25;
  }

  // The header from `at` (after its start code): its marker bit, and a
  // start code right after it and its quantiser matrices. The guess reads
  // zeros past the bytes it has.
  bool WholeSequenceHeader(std::size_t at) const {
    auto byte = [&](std::size_t i) { return at + i < bytes_.size() ? bytes_[at + i] : 0; };
    if ((byte(6) & 0x20) == 0) return false;
    std::size_t matrices = 0;
    if ((byte(7) & 2) != 0) matrices += 64;
    if ((byte(7 + matrices) & 1) != 0) matrices += 64;
    if (at + matrices > bytes_.size()) return false;
    return byte(8 + matrices) == 0 && byte(9 + matrices) == 0 && (byte(10 + matrices) & 0xFE) == 0;
  }

  void Decide(bool taken) {
    decided_ = true;
    taken_ = taken;
    bytes_ = {};
  }

  static constexpr int kSureScore = 24;
  static constexpr int kMaxPackets = 2500;
  static constexpr std::size_t kMaxBytes = std::size_t{1} << 20;
  std::vector<std::uint8_t> bytes_;
  int packets_ = 0;
  bool decided_ = false;
  bool taken_ = false;
};

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
      stamps_.emplace(static_cast<std::int64_t>(pesAt));
    }
    ++packets_;
    if (auto s = guess_.Add(in, at, size); !s) return s;
    // Stream offsets: the parser counts the bytes it is fed.
    const std::int64_t payloadStart = stamps_->Offset();
    const std::int64_t payloadEnd = payloadStart + static_cast<std::int64_t>(size);
    std::uint64_t pos = at;
    bool firstCall = true;
    while (stamps_->Offset() < payloadEnd) {
      const std::int64_t callStart = stamps_->Offset();
      callPts_ = firstCall ? pts : kNoTime;
      callDts_ = firstCall ? dts : kNoTime;
      stamps_->Call(payloadEnd - callStart, callPts_, callDts_);
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
      filePos_ = pos;
      if (auto s = FrameOut(); !s) return s;
      stamps_->FrameOut(endAt_ - callStart);
      if (endCode_ == kNoCode) {  // the next frame starts afresh
        state_ = 0xFFFFFFFFU;
        frameBytes_ = 0;
        continue;
      }
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
      callPts_ = callDts_ = kNoTime;  // the parser's last call has no packet
      if (auto s = FrameOut(true); !s) return s;
    }
    return timeline_ ? timeline_->Finish() : Status{};
  }

  bool Seen() const { return stamps_.has_value(); }
  bool Timed() const { return timeline_.has_value(); }
  std::int64_t Start() const { return start_; }
  IntSize Size() const { return {width_, height_}; }
  Milliseconds FrameMs() const { return frameMs_; }
  const VideoTimeline& Timeline() const { return *timeline_; }
  const CodecGuess& Guess() const { return guess_; }

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
    if (code == 0xB7) {  // a sequence end code ends its frame, itself included
      ended = true;
      endAt_ = here + 1;
      endCode_ = kNoCode;
      frameStartFound_ = false;
      return {};
    }
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
      // The decoder gives up on a picture with a slice below it.
      if (height_ > 0 && code - 1 >= (height_ + 15) / 16) {
        return Fail(Refused("a slice lies below the picture"));
      }
      if (!frameStartFound_) {
        frameStartFound_ = true;
        skipNext_ = true;
      }
      ++frameSlices_;
      lastSliceEnd_ = frameBytes_;
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
      case 0xB8:  // group of pictures
        Capture(4, Header::Group);
        return {};
      case 0xB2:  // user data
        return {};
      default:
        return Fail(Refused("the video holds an unknown start code"));
    }
  }

  enum class Header { Picture, Sequence, Extension, Group };
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
        if (type != kPictureI && type != kPictureP && type != kPictureB) {
          return Fail(Refused("the video has a picture of unknown type"));
        }
        parserType_ = type;
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
        } else if (width != width_ || height != height_ || rate != rateCode_) {
          return Fail(Refused("the video changes its picture size or frame rate"));
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
      case Header::Group:  // the decoder keeps the last group's closed_gop
        closedGroup_ = (b[3] & 0x40) != 0;
        return {};
    }
    return {};
  }

  // The parser hands out the frame gathered so far; `last` at the end of
  // the file.
  Status FrameOut(bool last = false) {
    ParsedFrame f;
    // The end of a cut file may leave a last packet with headers but no
    // slice: it is timed like any packet, but no picture comes of it.
    // The decoder gives up on a frame whose last slice has less than two
    // bytes (the frame's own, without the start code that ended it): before
    // the picture starts when that is its first slice, and otherwise after,
    // in a way not followed here.
    const std::int64_t frameEnd = last || endCode_ == kNoCode ? frameBytes_ : frameBytes_ - 4;
    const bool slicesWhole = frameSlices_ > 0 && frameEnd - lastSliceEnd_ >= 2;
    if (frameSlices_ > 1 && !slicesWhole) return Fail(Refused("a slice of the video is cut short"));
    f.picture = framePictures_ == 1 && slicesWhole;
    if (!f.picture && !last) return Fail(Refused("a frame of the video is not one whole picture"));
    if (ended_ && (f.picture || !last)) {
      return Fail(Refused("the video goes on after its sequence end code"));
    }
    ended_ = endCode_ == kNoCode;
    f.type = parserType_;
    f.closedGroup = closedGroup_;
    f.pts = stamps_->Pts();
    f.dts = stamps_->Dts();
    f.callPts = callPts_;
    f.callDts = callDts_;
    framePictures_ = 0;
    frameSlices_ = 0;
    f.packet = last ? std::numeric_limits<std::int64_t>::max() : packets_;
    if (!timeline_) {
      if (width_ <= 0 || height_ <= 0) {
        return Fail(Refused("the video does not start with a sequence header"));
      }
      if (rateCode_ < 1 || rateCode_ > 8) return Fail(Refused("the video has no frame rate"));
      if (!f.picture) return Fail(Refused("the video has no whole picture"));
      if (f.type != kPictureI)
        return Fail(Refused("the video does not start with an intra picture"));
      // The decoder counts its times from the first picture's stamp.
      if (f.pts == kNoTime) return Fail(Refused("the first picture has no time stamp"));
      start_ = f.pts;
      const Mpeg1PictureRate rate = *Mpeg1PictureRateOf(static_cast<unsigned>(rateCode_));
      frameMs_ = std::max<Milliseconds>(1, 1000 * rate.denominator / rate.numerator);
      timeline_.emplace(FrameClock(rate), start_, frameMs_);
    }
    return timeline_->Frame(f, filePos_);
  }

  std::optional<PacketStamps> stamps_;
  CodecGuess guess_;
  std::optional<VideoTimeline> timeline_;
  std::int64_t packets_ = 0;
  std::int64_t start_ = kNoTime;
  std::int64_t callPts_ = kNoTime;
  std::int64_t callDts_ = kNoTime;
  std::uint64_t filePos_ = 0;
  int parserType_ = 0;
  bool closedGroup_ = false;
  std::uint32_t state_ = 0xFFFFFFFFU;
  bool frameStartFound_ = false;
  bool skipNext_ = false;
  std::int64_t frameBytes_ = 0;
  int framePictures_ = 0;
  std::int64_t frameSlices_ = 0;
  std::int64_t lastSliceEnd_ = 0;  // frameBytes_ at the end of its start code
  bool redispatch_ = false;
  int redispatchCode_ = 0;
  std::int64_t redispatchAt_ = 0;
  std::int64_t endAt_ = 0;
  static constexpr int kNoCode = -1;
  int endCode_ = 0;     // the start code that ended the last frame
  bool ended_ = false;  // by a sequence end code
  int capture_ = 0;
  std::size_t capturedCount_ = 0;
  Header capturing_ = Header::Picture;
  std::array<int, 4> captured_{};
  int width_ = 0;
  int height_ = 0;
  int rateCode_ = 0;
  Milliseconds frameMs_ = 0;
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
      if (!video_.Guess().TakenForMpegVideo()) {
        return Fail(Refused("the decoder would not take the video for MPEG video"));
      }
      if (!video_.Timed() || video_.Timeline().Pictures().Count() == 0) {
        return Fail(Refused("the video has no whole picture"));
      }
      const VideoTimeline& timeline = video_.Timeline();
      // The decoder learns the video's length from the stamps of its last
      // seconds, read after a seek when the clip is long: the end must
      // follow from stamps that such a read sees.
      const Traced& end = timeline.End();
      if (end.t - video_.Start() > kEndScanTicks) {
        if (timeline.EndNeedsWholeRead()) {
          return Fail(Refused("the video's B-pictures are known too late for its length"));
        }
        if (end.from < end.t - kEndScanTicks + kSeekSlackTicks) {
          return Fail(Refused("the video's end depends on stamps long before it"));
        }
      }
      t.frameSize = size;
      t.frameMs = video_.FrameMs();
      t.pictureMs = timeline.Pictures().Ms();
      t.frameCount = timeline.Pictures().Count();
      t.lastFrameMs = t.pictureMs.back();
      t.videoEndMs = t.lastFrameMs + t.frameMs;
      videoMs = TicksToMs(end.t - video_.Start());
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
