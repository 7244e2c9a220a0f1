#include "media/fonts/glyph_cache.hpp"

#include <iterator>
#include <utility>

namespace vistel::fonts {

const GlyphBitmap* GlyphCache::Find(std::uint64_t faceId, std::uint32_t glyphIndex) {
  const auto found = index_.find({faceId, glyphIndex});
  if (found == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, found->second);
  return &found->second->bitmap;
}

const GlyphBitmap* GlyphCache::Insert(std::uint64_t faceId, std::uint32_t glyphIndex,
                                      GlyphBitmap&& bitmap) {
  const Key key{faceId, glyphIndex};
  if (const auto found = index_.find(key); found != index_.end()) Erase(found->second);
  const std::size_t cost = Cost(bitmap);
  if (cost > budgetBytes_) return nullptr;
  while (bytes_ + cost > budgetBytes_ && !entries_.empty()) Erase(std::prev(entries_.end()));
  entries_.push_front({key, std::move(bitmap)});
  index_.emplace(key, entries_.begin());
  bytes_ += cost;
  return &entries_.front().bitmap;
}

void GlyphCache::DropFace(std::uint64_t faceId) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    const auto next = std::next(it);
    if (it->key.faceId == faceId) Erase(it);
    it = next;
  }
}

void GlyphCache::Erase(std::list<Entry>::iterator entry) {
  bytes_ -= Cost(entry->bitmap);
  index_.erase(entry->key);
  entries_.erase(entry);
}

}  // namespace vistel::fonts
