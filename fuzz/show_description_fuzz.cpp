// Fuzzes the show description of `vistel-pack build` (SHOW.json). A
// description that parses becomes a configuration text; when the writer
// accepts the records, the package reader must read back every field of
// every record as it was given, or the package would play another show.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "package/fields.hpp"
#include "package/reader.hpp"
#include "package/show_description.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

template <class Record, class Table>
void RequireSameFields(const Record& given, const Record& read, const Table& fields) {
  for (const auto& field : fields) {
    std::visit([&](auto member) { fuzz::Require(given.*member == read.*member); }, field.member);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  const auto plan = ParseShowDescription(json, "/shows/fuzz");
  if (!plan) {
    fuzz::Require(plan.error().description.size() <= fuzz::kMaxMessageBytes);
    return 0;
  }
  const Package& given = plan->package;
  fuzz::Require(!given.Screens.empty());
  for (const MediumSource& medium : plan->media) {
    fuzz::Require(!medium.path.empty());
    fuzz::Require(medium.index < (medium.slot == MediumSlot::Track ? given.AudioTracks.size()
                                                                   : given.Screens.size()));
  }
  const auto text = FormatConfiguration(given);
  if (!text) return 0;  // a text the layout cannot carry, refused by name
  Package read;
  fuzz::Require(ParseConfiguration(*text, read).has_value());
  RequireSameFields(given.Global, read.Global, kGlobalFields);
  fuzz::Require(read.AudioTracks.size() == given.AudioTracks.size());
  for (std::size_t i = 0; i < given.AudioTracks.size(); ++i) {
    RequireSameFields(given.AudioTracks[i], read.AudioTracks[i], kAudioFields);
  }
  fuzz::Require(read.Screens.size() == given.Screens.size());
  for (std::size_t i = 0; i < given.Screens.size(); ++i) {
    RequireSameFields(given.Screens[i], read.Screens[i], kScreenFields);
  }
  return 0;
}
