// inspect: every field of every record, by the records' field names.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/text.hpp"
#include "commands.hpp"
#include "package/fields.hpp"
#include "platform/native_files.hpp"

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

std::string Dumped(const Json& value, int indent = -1) {
  return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// The JSON document is written as it goes, one record at a time, exactly as
// dumping the whole document with an indent of 2 would write it: a package
// of thousands of screens never stands in memory as one document.
class JsonListing {
 public:
  explicit JsonListing(std::ostream& out) : out_(out) {}

  void Member(std::string_view name, const Json& value) {
    Open(name);
    out_ << Dumped(value);
  }

  template <class Record, class Table>
  void Records(std::string_view name, const std::vector<Record>& records, const Table& table) {
    Open(name);
    if (records.empty()) {
      out_ << "[]";
      return;
    }
    out_ << "[\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
      // Each line of the record, indented by the two levels it lies at.
      const std::string text = Dumped(RecordObject(records[i], table), 2);
      std::size_t from = 0;
      while (from < text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        out_ << "    " << std::string_view(text).substr(from, end - from);
        if (end < text.size()) out_ << '\n';
        from = end + 1;
      }
      out_ << (i + 1 < records.size() ? ",\n" : "\n");
    }
    out_ << "  ]";
  }

  void Close() { out_ << (first_ ? "{}" : "\n}") << "\n"; }

 private:
  void Open(std::string_view name) {
    out_ << (first_ ? "{\n" : ",\n") << "  " << Dumped(Json(std::string(name))) << ": ";
    first_ = false;
  }

  std::ostream& out_;
  bool first_ = true;
};

void PrintJson(std::ostream& out, const Package& package) {
  JsonListing listing(out);
  listing.Member("PackageFileName", package.PackageFileName);  // a native path, not ANSI text
  listing.Member("ConfigOffset", package.ConfigOffset);
  for (const GlobalField& field : kGlobalFields) {
    listing.Member(field.name, FieldValue(package.Global, field.member));
  }
  listing.Records("AudioTracks", package.AudioTracks, kAudioFields);
  listing.Records("Screens", package.Screens, kScreenFields);
  listing.Close();
}

// One "name value" line; texts are shown as JSON strings so that line breaks
// and blanks stay visible.
void PrintFields(std::ostream& out, const Json& object, std::string_view indent) {
  std::size_t width = 0;
  for (const auto& [key, value] : object.items()) width = std::max(width, key.size());
  for (const auto& [key, value] : object.items()) {
    out << indent << std::left << std::setw(static_cast<int>(width)) << key << "  " << Dumped(value)
        << "\n";
  }
}

// Record by record, like the JSON.
void PrintListing(std::ostream& out, const Package& package) {
  out << "Package file   " << package.PackageFileName << "\n"
      << "Config offset  " << package.ConfigOffset << "\n\n[GLOBAL]\n";
  PrintFields(out, RecordObject(package.Global, kGlobalFields), "  ");
  out << "\nAudio tracks: " << package.AudioTracks.size() << "\n";
  for (std::size_t i = 0; i < package.AudioTracks.size(); ++i) {
    out << "  track " << i << "\n";
    PrintFields(out, RecordObject(package.AudioTracks[i], kAudioFields), "    ");
  }
  out << "\nScreens: " << package.Screens.size() << "\n";
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    out << "  screen " << i << "\n";
    PrintFields(out, RecordObject(package.Screens[i], kScreenFields), "    ");
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
  if (parsed->flags.contains("--json")) {
    PrintJson(std::cout, loaded->package);
  } else {
    PrintListing(std::cout, loaded->package);
  }
  return kExitOk;
}

}  // namespace vistel::pack
