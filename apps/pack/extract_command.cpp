// extract: the media as files, and a manifest of them.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <span>
#include <vector>

#include "base/text.hpp"
#include "commands.hpp"
#include "media/probe/media_signature.hpp"
#include "package/extract.hpp"
#include "package/media_check.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

using Json = nlohmann::ordered_json;

// The extension of a track's source name (after the last dot of its last
// path part), kept only when it is plain letters and digits: it names a
// file here, and the package is untrusted.
std::string TrackExtension(std::string_view trackFileName) {
  const std::size_t slash = trackFileName.find_last_of("\\/");
  const std::string_view name =
      slash == std::string_view::npos ? trackFileName : trackFileName.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size() || name.size() - dot > 16) return "";
  for (char c : name.substr(dot + 1)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain) return "";
  }
  return std::string(name.substr(dot));
}

// The first bytes of a medium's range, as far as they lie in the package;
// empty when they cannot be read.
std::vector<std::byte> MediumHead(InputFile* package, const MediumEntry& medium) {
  std::vector<std::byte> head;
  if (!package || medium.position < 0 || medium.length <= 0) return head;
  // Position 0 reads from the start, as the extraction does.
  const std::uint64_t offset = medium.position == 0 ? 0 : std::uint64_t(medium.position) - 1;
  const std::uint64_t size = package->Size();
  if (offset >= size) return head;
  head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(
      {std::uint64_t(medium.length), size - offset, kMediaSignatureBytes})));
  std::size_t have = 0;
  while (have < head.size()) {
    const auto got = package->ReadAt(offset + have, std::span(head).subspan(have));
    if (!got || *got == 0) break;
    have += *got;
  }
  head.resize(have);
  return head;
}

// Named by screen or track and kind, with the extension its content calls
// for; content of no known kind keeps a track's source extension, and a
// picture or clip goes without one.
std::string MediumFileName(const Package& package, const MediumEntry& medium,
                           std::span<const std::byte> head) {
  const std::string_view content = MediaExtension(head);
  std::array<char, 64> name{};
  if (medium.kind == MediumKind::Audio) {
    std::snprintf(name.data(), name.size(), "track-%02zu-audio", medium.index);
    return name.data() + (content.empty()
                              ? TrackExtension(package.AudioTracks[medium.index].TrackFileName)
                              : std::string(content));
  }
  std::snprintf(name.data(), name.size(), "screen-%03zu-%s", medium.index,
                std::string(MediumKindName(medium.kind)).c_str());
  return name.data() + std::string(content);
}

}  // namespace

int RunExtract(const std::vector<std::string>& args, std::string_view /*selfPath*/) {
  std::string error;
  const auto parsed = ParseArgs(args, {}, error);
  if (!parsed) return UsageError("extract", error);
  if (parsed->positionals.size() != 2) {
    return UsageError("extract", parsed->positionals.size() < 2 ? "expected PACKAGE and DIR"
                                                                : "too many arguments");
  }
  const std::string& path = parsed->positionals[0];
  const std::filesystem::path folder(parsed->positionals[1]);
  const auto files = MakeNativeFileSystem();
  const auto loaded = LoadPackageForTool(*files, path);
  if (!loaded) return kExitProblem;
  if (auto made = files->CreateDirectories(folder.string()); !made) {
    Report(folder.string() + ": " + made.error().description);
    return kExitProblem;
  }

  NullTrace trace;
  Json manifest = Json::object();
  manifest["package"] = loaded->package.PackageFileName;
  Json entries = Json::array();
  int incomplete = 0;
  // Only the media's first bytes are read here, to name their files.
  auto opened = files->OpenRead(loaded->package.PackageFileName);
  InputFile* package = opened ? opened->get() : nullptr;
  for (const MediumEntry& medium : PlayedMedia(loaded->package)) {
    const std::string name = MediumFileName(loaded->package, medium, MediumHead(package, medium));
    const std::string target = (folder / name).string();
    const ExtractResult result = ExtractMedium(*files, loaded->package.PackageFileName,
                                               medium.position, medium.length, target, trace);
    if (!result.complete) {
      ++incomplete;
      Report(path + ": " + DescribeMedium(medium) + ": only " + std::to_string(result.written) +
             " of " + std::to_string(medium.length) + " bytes could be copied to " + target);
    }
    Json entry = Json::object();
    entry["name"] = name;
    entry["medium"] = DescribeMedium(medium);
    if (medium.kind == MediumKind::Audio) {
      entry["TrackFileName"] =
          Windows1252ToUtf8(loaded->package.AudioTracks[medium.index].TrackFileName);
    }
    entry["position"] = medium.position;
    entry["length"] = medium.length;
    entry["written"] = result.written;
    entry["complete"] = result.complete;
    entries.push_back(std::move(entry));
  }
  manifest["media"] = std::move(entries);

  const std::string manifestPath = (folder / "manifest.json").string();
  const std::string text = manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  // Like the media, a new file renamed over the name: a link there is replaced.
  const Status written = WriteWholeFile(*files, manifestPath, [&](OutputFile& out) {
    return out.Write(std::as_bytes(std::span(text)));
  });
  if (!written) {
    Report(manifestPath + ": " + written.error().description);
    return kExitProblem;
  }
  std::cout << "extracted " << manifest["media"].size() << " media into " << folder.string()
            << (incomplete ? " (" + std::to_string(incomplete) + " incomplete)" : "") << "\n";
  return incomplete ? kExitProblem : kExitOk;
}

}  // namespace vistel::pack
