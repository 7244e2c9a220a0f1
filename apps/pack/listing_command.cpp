// inspect: every field of every record, by the records' field names.
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <type_traits>
#include <variant>

#include "base/text.hpp"
#include "commands.hpp"
#include "package/fields.hpp"

namespace vistel::pack {
namespace {

using Json = nlohmann::ordered_json;

template <class Record>
Json FieldValue(const Record& record, const FieldMember<Record>& member) {
  return std::visit(
      [&](auto pointer) -> Json {
        const auto& value = record.*pointer;
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return Windows1252ToUtf8(value);
        } else if constexpr (std::is_same_v<T, float>) {
          return SingleAsJsonNumber(value);
        } else {
          return value;
        }
      },
      member);
}

template <class Record, class Table>
Json RecordObject(const Record& record, const Table& table) {
  Json object = Json::object();
  for (const auto& field : table)
    object[std::string(field.name)] = FieldValue(record, field.member);
  return object;
}

Json PackageJson(const Package& package) {
  Json root = Json::object();
  root["PackageFileName"] = package.PackageFileName;  // a native path, not ANSI text
  root["ConfigOffset"] = package.ConfigOffset;
  for (const GlobalField& field : kGlobalFields) {
    root[std::string(field.name)] = FieldValue(package.Global, field.member);
  }
  Json tracks = Json::array();
  for (const AudioTrack& track : package.AudioTracks)
    tracks.push_back(RecordObject(track, kAudioFields));
  root["AudioTracks"] = std::move(tracks);
  Json screens = Json::array();
  for (const ScreenSettings& screen : package.Screens) {
    screens.push_back(RecordObject(screen, kScreenFields));
  }
  root["Screens"] = std::move(screens);
  return root;
}

// One "name value" line; texts are shown as JSON strings so that line breaks
// and blanks stay visible.
void PrintFields(std::ostream& out, const Json& object, std::string_view indent) {
  std::size_t width = 0;
  for (const auto& [key, value] : object.items()) width = std::max(width, key.size());
  for (const auto& [key, value] : object.items()) {
    out << indent << std::left << std::setw(static_cast<int>(width)) << key << "  "
        << value.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
  }
}

void PrintListing(std::ostream& out, const Package& package, const Json& root) {
  out << "Package file   " << package.PackageFileName << "\n"
      << "Config offset  " << package.ConfigOffset << "\n\n[GLOBAL]\n";
  Json global = Json::object();
  for (const GlobalField& field : kGlobalFields)
    global[std::string(field.name)] = root[std::string(field.name)];
  PrintFields(out, global, "  ");
  out << "\nAudio tracks: " << package.AudioTracks.size() << "\n";
  for (std::size_t i = 0; i < package.AudioTracks.size(); ++i) {
    out << "  track " << i << "\n";
    PrintFields(out, root["AudioTracks"][i], "    ");
  }
  out << "\nScreens: " << package.Screens.size() << "\n";
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    out << "  screen " << i << "\n";
    PrintFields(out, root["Screens"][i], "    ");
  }
}

}  // namespace

int RunInspect(const std::vector<std::string>& args, std::string_view /*selfPath*/) {
  std::string error;
  const auto parsed = ParseArgs(args, {{}, {"--json"}}, error);
  if (!parsed) return UsageError("inspect", error);
  if (parsed->positionals.size() != 1) {
    return UsageError("inspect",
                      parsed->positionals.empty() ? "missing PACKAGE" : "expected one PACKAGE");
  }
  const auto files = MakeNativeFileSystem();
  const auto loaded = LoadPackageForTool(*files, parsed->positionals.front());
  if (!loaded) return kExitProblem;
  const Json root = PackageJson(loaded->package);
  if (parsed->flags.contains("--json")) {
    std::cout << root.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  } else {
    PrintListing(std::cout, loaded->package, root);
  }
  return kExitOk;
}

}  // namespace vistel::pack
