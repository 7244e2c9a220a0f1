// Rewrites an MPEG-1 system stream with packets and time stamps of the
// test's choosing: the clips other muxers and editors make (a clip cut at a
// group of pictures, reference pictures stamped without a decoding time,
// every picture in a packet of its own). Each picture's times are worked out
// from its place in display and decoding order at the video's frame rate,
// not copied from the input, so that pictures without stamps there get
// true ones here.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistel::testing {

struct RemuxOptions {
  // Leave out the groups of pictures before this one (from 0), and the
  // sound before its first picture: a clip cut from a longer one.
  int fromGroup = 0;
  std::size_t packetBytes = 2000;  // payload of a packet at most (players expect packs of 2 KiB)
  enum class Stamps {
    AsMuxed,     // a decoding stamp only where it differs from the presentation stamp
    NoDecoding,  // presentation stamps only, also on delayed reference pictures
    Both,        // both stamps on every stamped packet, equal ones too
  } stamps = Stamps::AsMuxed;
  bool packetPerPicture = false;  // every picture starts a packet
  // Which pictures' packets get stamps (the others get none; the first
  // packet always has them).
  enum class Stamped { Any, References, Intra, Predicted } stamped = Stamped::Any;
  // Mark every group of pictures closed, even where its first B-pictures
  // refer to the group before (as a careless cutter does).
  bool markClosed = false;
  bool sequenceEnd = false;  // end the video with a sequence end code
};

namespace remux {

using Bytes = std::vector<std::uint8_t>;

struct Stamped {
  std::size_t at = 0;  // in the elementary stream
  std::int64_t pts = -1;
  std::int64_t dts = -1;
};

struct Elementary {
  Bytes bytes;
  std::vector<Stamped> stamps;
};

inline std::int64_t ReadStamp(const std::uint8_t* p) {
  return (std::int64_t{p[0] & 0x0E} << 29) | (std::int64_t{p[1]} << 22) |
         (std::int64_t{p[2] >> 1} << 15) | (std::int64_t{p[3]} << 7) | (p[4] >> 1);
}

// The video (0xE0) and sound (0xC0) of a stream with MPEG-1 packet headers.
inline void Demux(const Bytes& b, Elementary& video, Elementary& sound) {
  std::size_t i = 0;
  while (i + 4 <= b.size()) {
    if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) {
      ++i;
      continue;
    }
    const int id = b[i + 3];
    if (id == 0xBA) {
      i += 12;
      continue;
    }
    if (id < 0xBB || i + 6 > b.size()) {
      i += 4;
      continue;
    }
    const std::size_t end = std::min(b.size(), i + 6 + (std::size_t{b[i + 4]} << 8 | b[i + 5]));
    std::size_t p = i + 6;
    while (p < end && b[p] == 0xFF) ++p;
    if (p < end && (b[p] & 0xC0) == 0x40) p += 2;
    Stamped s;
    if (p + 5 <= end && (b[p] & 0xE0) == 0x20) {
      s.pts = s.dts = ReadStamp(&b[p]);
      if ((b[p] & 0x10) != 0 && p + 10 <= end) {
        s.dts = ReadStamp(&b[p + 5]);
        p += 5;
      }
      p += 5;
    } else {
      p += 1;
    }
    Elementary* es = id == 0xE0 ? &video : id == 0xC0 ? &sound : nullptr;
    if (es != nullptr && p < end) {
      s.at = es->bytes.size();
      if (s.pts >= 0) es->stamps.push_back(s);
      es->bytes.insert(es->bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(p),
                       b.begin() + static_cast<std::ptrdiff_t>(end));
    }
    i = end;
  }
}

// One unit of a stream to put in packets: a picture with the headers before
// it, or a sound frame; with the times the new stream gives it.
struct Unit {
  std::size_t at = 0;
  std::size_t end = 0;
  std::int64_t pts = 0;
  std::int64_t dts = 0;
  int group = 0;
  int type = 0;  // picture_coding_type; 0 for sound
};

// `k` frames of num/den a second, in 90 kHz ticks, to the nearest.
inline std::int64_t Ticks(std::int64_t k, std::int64_t num, std::int64_t den) {
  return (k * 90000 * den * 2 + num) / (2 * num);
}

inline std::vector<Unit> Pictures(const Elementary& video) {
  // The picture_rate table of ISO/IEC 11172-2's sequence header.
  static constexpr int kRates[9][2] = {{0, 1},  {24000, 1001}, {24, 1},
                                       {25, 1}, {30000, 1001}, {30, 1},
                                       {50, 1}, {60000, 1001}, {60, 1}};
  const Bytes& b = video.bytes;
  struct Found {
    std::size_t at;
    int code;
  };
  std::vector<Found> codes;
  for (std::size_t i = 0; i + 3 < b.size(); ++i) {
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) codes.push_back({i, b[i + 3]});
  }
  int rate = 0;
  std::vector<Unit> units;
  std::vector<int> display;  // display index of each unit
  std::vector<bool> isB;
  std::size_t unitStart = 0;
  bool afterSlice = false;
  int group = -1;
  int groupBase = 0;
  int groupCount = 0;
  for (const Found& c : codes) {
    const bool slice = c.code >= 0x01 && c.code <= 0xAF;
    // A picture ends at the first other start code after its slices.
    if (!slice && afterSlice) {
      units.back().end = c.at;
      unitStart = c.at;
    }
    afterSlice = slice;
    if (c.code == 0xB3 && c.at + 7 < b.size() && rate == 0) rate = b[c.at + 7] & 0x0F;
    if (c.code == 0xB8) {
      groupBase += groupCount;
      groupCount = 0;
      ++group;
    }
    if (c.code == 0x00 && c.at + 5 < b.size()) {
      const int temporal = (b[c.at + 4] << 2) | (b[c.at + 5] >> 6);
      Unit u;
      u.at = unitStart;
      u.end = b.size();
      u.group = std::max(group, 0);
      units.push_back(u);
      display.push_back(groupBase + temporal);
      units.back().type = (b[c.at + 5] >> 3) & 7;
      isB.push_back(units.back().type == 3);
      ++groupCount;
    }
  }
  // A sequence end code belongs to the last picture.
  if (!units.empty() && b.size() >= 4 && b[b.size() - 4] == 0 && b[b.size() - 3] == 0 &&
      b[b.size() - 2] == 1 && b[b.size() - 1] == 0xB7) {
    units.back().end = b.size();
  }
  if (rate < 1 || rate > 8) return {};
  const std::int64_t num = kRates[rate][0], den = kRates[rate][1];
  const bool reordered = std::find(isB.begin(), isB.end(), true) != isB.end();
  const std::int64_t origin = video.stamps.empty() ? 45000 : video.stamps.front().dts;
  for (std::size_t k = 0; k < units.size(); ++k) {
    units[k].dts = origin + Ticks(static_cast<std::int64_t>(k), num, den);
    units[k].pts = origin + Ticks(display[k] + (reordered ? 1 : 0), num, den);
  }
  return units;
}

inline std::vector<Unit> SoundFrames(const Elementary& sound) {
  static constexpr int kRates[3] = {44100, 48000, 32000};
  static constexpr int kKbps[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                    128, 160, 192, 224, 256, 320, 384};
  const Bytes& b = sound.bytes;
  std::vector<Unit> units;
  const std::int64_t origin = sound.stamps.empty() ? 45000 : sound.stamps.front().pts;
  std::size_t i = 0;
  while (i + 4 <= b.size() && b[i] == 0xFF && (b[i + 1] & 0xFE) == 0xFC) {
    const int rate = kRates[(b[i + 2] >> 2) & 3];
    const int kbps = kKbps[(b[i + 2] >> 4) & 15];
    const std::size_t bytes =
        static_cast<std::size_t>(144000 * kbps / rate + ((b[i + 2] >> 1) & 1));
    if (bytes < 4) break;
    Unit u;
    u.at = i;
    u.end = std::min(b.size(), i + bytes);
    u.pts = u.dts = origin + Ticks(static_cast<std::int64_t>(units.size()) * 1152, rate, 1);
    units.push_back(u);
    i += bytes;
  }
  return units;
}

inline void PutStamp(Bytes& out, int marker, std::int64_t t) {
  out.push_back(static_cast<std::uint8_t>(marker | ((t >> 29) & 0x0E) | 1));
  out.push_back(static_cast<std::uint8_t>(t >> 22));
  out.push_back(static_cast<std::uint8_t>(((t >> 14) & 0xFE) | 1));
  out.push_back(static_cast<std::uint8_t>(t >> 7));
  out.push_back(static_cast<std::uint8_t>(((t << 1) & 0xFE) | 1));
}

struct Packet {
  std::int64_t order = 0;  // when the muxer sends it
  Bytes bytes;
};

// Packets of the units' bytes from `first` on, each stamped with the first
// unit that begins in it.
inline void Packetize(const Bytes& es, const std::vector<Unit>& units, std::size_t first, int id,
                      const RemuxOptions& o, bool video, std::vector<Packet>& out) {
  if (first >= units.size()) return;
  std::size_t at = units[first].at;
  const std::size_t end = units.back().end;
  std::size_t next = first;  // the next unit to begin
  std::int64_t order = units[first].dts;
  while (at < end) {
    std::size_t stop = std::min(end, at + o.packetBytes);
    if (o.packetPerPicture && video) {  // no packet runs past a picture's beginning
      for (std::size_t k = next; k < units.size(); ++k) {
        if (units[k].at > at) {
          stop = std::min(stop, units[k].at);
          break;
        }
      }
    }
    const Unit* begins = next < units.size() && units[next].at < stop ? &units[next] : nullptr;
    while (next < units.size() && units[next].at < stop) ++next;
    if (begins != nullptr) order = begins->dts;
    const Unit* stamped = begins;
    if (stamped != nullptr && video && !out.empty() &&
        ((o.stamped == RemuxOptions::Stamped::References && stamped->type == 3) ||
         (o.stamped == RemuxOptions::Stamped::Intra && stamped->type != 1) ||
         (o.stamped == RemuxOptions::Stamped::Predicted && stamped->type != 2))) {
      stamped = nullptr;
    }
    Bytes header;
    if (stamped != nullptr) {
      const bool both = o.stamps == RemuxOptions::Stamps::Both ||
                        (o.stamps == RemuxOptions::Stamps::AsMuxed && stamped->dts != stamped->pts);
      if (both) {
        PutStamp(header, 0x30, stamped->pts);
        PutStamp(header, 0x10, stamped->dts);
      } else {
        PutStamp(header, 0x20, stamped->pts);
      }
    } else {
      header.push_back(0x0F);
    }
    Packet p;
    p.order = order;
    const std::size_t length = header.size() + (stop - at);
    p.bytes = {0,
               0,
               1,
               static_cast<std::uint8_t>(id),
               static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length & 255)};
    p.bytes.insert(p.bytes.end(), header.begin(), header.end());
    p.bytes.insert(p.bytes.end(), es.begin() + static_cast<std::ptrdiff_t>(at),
                   es.begin() + static_cast<std::ptrdiff_t>(stop));
    out.push_back(std::move(p));
    at = stop;
  }
}

}  // namespace remux

inline std::vector<std::uint8_t> RemuxMpeg1(const std::vector<std::uint8_t>& in,
                                            const RemuxOptions& o) {
  using namespace remux;
  Elementary video, sound;
  Demux(in, video, sound);
  if (o.sequenceEnd) video.bytes.insert(video.bytes.end(), {0, 0, 1, 0xB7});
  if (o.markClosed) {
    Bytes& v = video.bytes;
    for (std::size_t i = 0; i + 7 < v.size(); ++i) {
      if (v[i] == 0 && v[i + 1] == 0 && v[i + 2] == 1 && v[i + 3] == 0xB8) v[i + 7] |= 0x40;
    }
  }
  const std::vector<Unit> pictures = Pictures(video);
  const std::vector<Unit> frames = SoundFrames(sound);
  std::size_t firstPicture = 0;
  while (firstPicture < pictures.size() && pictures[firstPicture].group < o.fromGroup) {
    ++firstPicture;
  }
  std::size_t firstFrame = 0;
  if (o.fromGroup > 0 && firstPicture < pictures.size()) {
    while (firstFrame < frames.size() && frames[firstFrame].pts < pictures[firstPicture].pts) {
      ++firstFrame;
    }
  }
  std::vector<Packet> packets;
  Packetize(video.bytes, pictures, firstPicture, 0xE0, o, true, packets);
  Packetize(sound.bytes, frames, firstFrame, 0xC0, o, false, packets);
  std::stable_sort(packets.begin(), packets.end(),
                   [](const Packet& a, const Packet& b) { return a.order < b.order; });
  Bytes out;
  for (const Packet& p : packets) {
    out.insert(out.end(), {0, 0, 1, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x00, 0x01});
    if (out.size() == 12) {  // a system header, as players expect
      out.insert(out.end(), {0, 0, 1, 0xBB, 0, 12, 0x80, 0x00, 0x01, 0x04, 0xE1, 0xFF, 0xE0, 0xE0,
                             0xE6, 0xC0, 0xC0, 0x20});
    }
    out.insert(out.end(), p.bytes.begin(), p.bytes.end());
  }
  out.insert(out.end(), {0, 0, 1, 0xB9});
  return out;
}

}  // namespace vistel::testing
