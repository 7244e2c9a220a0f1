// The rendered glyphs of every face and size together, bounded in bytes: a
// caption at the largest size has glyphs of several megabytes each, so a
// count of faces or glyphs bounds nothing. The least recently used glyphs go
// first. Internal to the font service; not thread-safe (the engine draws text
// on its one user-interface thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <unordered_map>
#include <vector>

namespace vistel::fonts {

// One glyph's 8-bit coverage, as the rasteriser made it.
struct GlyphBitmap {
  int left = 0;  // offset from the pen, x to the right
  int top = 0;   // offset from the baseline, y upwards
  int width = 0;
  int rows = 0;
  std::vector<std::uint8_t> coverage;  // rows x width, no padding
};

class GlyphCache {
 public:
  // What a glyph is charged beyond its coverage (list and index nodes), so
  // that a flood of empty glyphs is bounded too.
  static constexpr std::size_t kEntryOverheadBytes = 128;

  explicit GlyphCache(std::size_t budgetBytes) : budgetBytes_(budgetBytes) {}
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // A key of its own for each face (at its size and style).
  std::uint64_t NewFaceId() { return ++lastFaceId_; }

  // The glyph if it is cached, which makes it the most recently used; null
  // otherwise. Valid until the next Insert.
  const GlyphBitmap* Find(std::uint64_t faceId, std::uint32_t glyphIndex);
  // Keeps the glyph, first dropping the least recently used ones until it
  // fits, and returns the kept copy (valid until the next Insert). A glyph
  // larger than the whole budget is not kept: null, and `bitmap` is left to
  // the caller.
  const GlyphBitmap* Insert(std::uint64_t faceId, std::uint32_t glyphIndex, GlyphBitmap&& bitmap);
  // Forgets a face's glyphs (the face is closed).
  void DropFace(std::uint64_t faceId);

  std::size_t Bytes() const { return bytes_; }
  std::size_t BudgetBytes() const { return budgetBytes_; }
  std::size_t Glyphs() const { return entries_.size(); }

  static std::size_t Cost(const GlyphBitmap& bitmap) {
    return bitmap.coverage.size() + kEntryOverheadBytes;
  }

 private:
  struct Key {
    std::uint64_t faceId;
    std::uint32_t glyphIndex;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const {
      return std::hash<std::uint64_t>{}(key.faceId * 0x9E3779B97F4A7C15ULL ^ key.glyphIndex);
    }
  };
  struct Entry {
    Key key;
    GlyphBitmap bitmap;
  };

  void Erase(std::list<Entry>::iterator entry);

  std::size_t budgetBytes_;
  std::size_t bytes_ = 0;
  std::uint64_t lastFaceId_ = 0;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index_;
};

}  // namespace vistel::fonts
