// The package reader: finds the player's own package file, reads the trailer
// and the configuration text, and fills a Package.
//
// The stored format is kept exactly; what the original reader did with a
// broken file (loop for ever, size buffers from unchecked fields) is not:
// every malformed layout is rejected at once with the invalid-package message.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "package/records.hpp"
#include "runtime/files.hpp"
#include "runtime/message_box.hpp"
#include "runtime/process.hpp"

namespace vistel {

inline constexpr std::string_view kInvalidPackageMessage =
    "Invalid screen saver file.  Please ensure this file is a *.scr file.";

inline constexpr std::uint64_t kTrailerLength = 20;

// Why a package cannot be read; the player shows one message for all of them,
// vistel-pack check names them.
enum class PackageProblem {
  MissingFile,
  Unreadable,
  ShorterThanTrailer,
  TrailerNotDigits,
  TrailerOutOfRange,      // beyond a signed 32-bit value, or past the trailer itself
  ConfigurationTooLarge,  // over limits::kMaxConfigurationBytes; refused before allocating
  NoScreenGroup,          // no non-empty line after the audio lines
  TooManyTracks,          // over limits::kMaxTracks audio lines
  TooManyScreens,         // over limits::kMaxScreens screen groups
};
std::string_view DescribePackageProblem(PackageProblem problem);

// Parses a configuration text (everything between ConfigOffset and the
// trailer) into package.Global, AudioTracks and Screens. A field that is
// missing or cannot be converted leaves its target as it was: the previous
// value of a global setting, 0 / "" / False in a record (the record lists are
// rebuilt from empty). Fails when the text has no screen group after the
// audio lines, or more tracks or screens than the limits allow (every empty
// line would be a screen of zeros, a whole record for two bytes); then the
// package is left untouched. `afterAudioLine` runs after
// each audio line is stored (the player pumps pending messages there).
expected<void, PackageProblem> ParseConfiguration(
    std::string_view text, Package& package, const std::function<void()>& afterAudioLine = nullptr);

// Reads the trailer and configuration of an open package file and sets
// package.ConfigOffset; PackageFileName is the caller's.
expected<void, PackageProblem> ReadPackageFile(
    InputFile& file, Package& package, const std::function<void()>& afterAudioLine = nullptr);

// The package file of the running player: folder + base name + ".scr", or the
// ".exe" of the same base name when only that exists.
std::string FindOwnPackageFile(FileSystem& files, const ProcessInfo& process);

struct PackageReaderServices {
  FileSystem& files;
  const ProcessInfo& process;
  MessageBoxes& messages;
  // Runs before the invalid-package message: the show window hides itself.
  std::function<void()> hideShowWindow;
  // Pumps pending messages; the reader does so after each audio line.
  std::function<void()> doEvents;
  // Told why a package is refused, before the message that words every
  // refusal alike; the program passes it on to whoever runs it.
  std::function<void(PackageProblem)> explainRefusal = nullptr;
};

// What LoadPackage did: read the show, or refused the file after the
// invalid-package message was shown.
enum class PackageLoad { Loaded, Refused };

// `packagePath` replaces the search for the player's own file (the --package
// option).
[[nodiscard]] PackageLoad LoadPackage(const PackageReaderServices& services,
                                      const std::optional<std::string>& packagePath,
                                      Package& package);

}  // namespace vistel
