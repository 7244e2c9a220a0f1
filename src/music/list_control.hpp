// The list widget that the music module's playlist operations fill and read.
// The module reaches a list only through these five operations, so any widget
// of any host (or a plain vector in tests) can stand behind it. Each may fail
// the way a late-bound control call fails (an index out of range, a widget
// that refuses); the module's error trap reports such a failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"

namespace vistel {

class ListControl {
 public:
  virtual ~ListControl() = default;
  // "AddItem": one entry at the end.
  virtual Status AddItem(std::string_view item) = 0;
  // "ListCount": the number of entries.
  virtual Result<std::int32_t> ListCount() = 0;
  // "List": the entry at a 0-based index.
  virtual Result<std::string> List(std::int32_t index) = 0;
  // "ListIndex" (set): selects an entry; -1 selects none.
  virtual Status SetListIndex(std::int32_t index) = 0;
  // "text": the selected entry's text, "" when none is selected.
  virtual Result<std::string> Text() = 0;
};

// A list held in memory, for hosts without a widget and for tests.
class StringListControl final : public ListControl {
 public:
  Status AddItem(std::string_view item) override {
    items_.emplace_back(item);
    return {};
  }
  Result<std::int32_t> ListCount() override { return static_cast<std::int32_t>(items_.size()); }
  Result<std::string> List(std::int32_t index) override {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
      return Fail(ErrorCode::InvalidPropertyValue);
    }
    return items_[static_cast<std::size_t>(index)];
  }
  Status SetListIndex(std::int32_t index) override {
    if (index < -1 || (index >= 0 && static_cast<std::size_t>(index) >= items_.size())) {
      return Fail(ErrorCode::InvalidPropertyValue);
    }
    selected_ = index;
    return {};
  }
  Result<std::string> Text() override {
    if (selected_ < 0) return std::string();
    return items_[static_cast<std::size_t>(selected_)];
  }

  const std::vector<std::string>& Items() const { return items_; }
  std::int32_t Selected() const { return selected_; }

 private:
  std::vector<std::string> items_;
  std::int32_t selected_ = -1;
};

}  // namespace vistel
