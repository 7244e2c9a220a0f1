// Finding and reading the package file: the trailer names where the
// configuration text starts, and everything between it and the trailer is the
// text. Every layout that cannot be a show is refused before anything is
// allocated from it.
#include "package/reader.hpp"

#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

// The trailer as a number: exactly 20 ASCII digits, nothing else (no blanks,
// no sign), and small enough to be a file offset the original could hold.
expected<std::uint64_t, PackageProblem> ParseTrailer(std::span<const std::byte> trailer) {
  constexpr std::uint64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::uint64_t value = 0;
  bool tooLarge = false;
  for (const std::byte b : trailer) {
    const auto c = static_cast<unsigned char>(b);
    if (c < '0' || c > '9') return unexpected(PackageProblem::TrailerNotDigits);
    // Stop accumulating once past the limit: twenty digits overflow 64 bits.
    if (!tooLarge) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      tooLarge = value > kLimit;
    }
  }
  if (tooLarge) return unexpected(PackageProblem::TrailerOutOfRange);
  return value;
}

// Fills the whole buffer from offset, or fails.
bool ReadExactly(InputFile& file, std::uint64_t offset, std::span<std::byte> buffer) {
  while (!buffer.empty()) {
    const Result<std::size_t> got = file.ReadAt(offset, buffer);
    if (!got || *got == 0) return false;
    offset += *got;
    buffer = buffer.subspan(*got);
  }
  return true;
}

}  // namespace

std::string_view DescribePackageProblem(PackageProblem problem) {
  switch (problem) {
    case PackageProblem::MissingFile:
      return "file not found";
    case PackageProblem::Unreadable:
      return "the package file cannot be read";
    case PackageProblem::ShorterThanTrailer:
      return "the file is shorter than the 20-byte trailer";
    case PackageProblem::TrailerNotDigits:
      return "the last 20 bytes are not 20 decimal digits";
    case PackageProblem::TrailerOutOfRange:
      return "the trailer's configuration offset is beyond 2147483647 or past the trailer";
    case PackageProblem::ConfigurationTooLarge:
      static_assert(limits::kMaxConfigurationBytes == 16 << 20);
      return "the configuration text is larger than 16 MiB";
    case PackageProblem::NoScreenGroup:
      return "the configuration text has no screen group after its audio lines";
    case PackageProblem::TooManyTracks:
      static_assert(limits::kMaxTracks == 10000);
      return "the configuration text has more than 10000 audio lines; no show plays that many";
    case PackageProblem::TooManyScreens:
      static_assert(limits::kMaxScreens == 10000);
      return "the configuration text has more than 10000 screen groups (every line after the "
             "last group, empty or not, makes another screen); no show has that many";
  }
  return "unknown package problem";
}

expected<void, PackageProblem> ReadPackageFile(InputFile& file, Package& package,
                                               const std::function<void()>& afterAudioLine) {
  const std::uint64_t fileLength = file.Size();
  if (fileLength < kTrailerLength) return unexpected(PackageProblem::ShorterThanTrailer);
  const std::uint64_t trailerOffset = fileLength - kTrailerLength;

  std::array<std::byte, kTrailerLength> trailer{};
  if (!ReadExactly(file, trailerOffset, trailer)) return unexpected(PackageProblem::Unreadable);
  const auto configOffset = ParseTrailer(trailer);
  if (!configOffset) return unexpected(configOffset.error());
  if (*configOffset > trailerOffset) return unexpected(PackageProblem::TrailerOutOfRange);

  const std::uint64_t textLength = trailerOffset - *configOffset;
  if (textLength > limits::kMaxConfigurationBytes) {
    return unexpected(PackageProblem::ConfigurationTooLarge);
  }
  std::string text(static_cast<std::size_t>(textLength), '\0');
  if (!ReadExactly(file, *configOffset, std::as_writable_bytes(std::span(text)))) {
    return unexpected(PackageProblem::Unreadable);
  }

  const auto parsed = ParseConfiguration(text, package, afterAudioLine);
  if (!parsed) return parsed;
  package.ConfigOffset = static_cast<std::int32_t>(*configOffset);
  return {};
}

std::string FindOwnPackageFile(FileSystem& files, const ProcessInfo& process) {
  std::string folder = process.AppFolder();
  const char separator = process.PathSeparator();
  if (folder.empty() || folder.back() != separator) folder += separator;
  const std::string base = folder + process.ExeBaseName();
  const std::string scr = base + ".scr";
  const std::string exe = base + ".exe";
  return !files.Exists(scr) && files.Exists(exe) ? exe : scr;
}

PackageLoad LoadPackage(const PackageReaderServices& services,
                        const std::optional<std::string>& packagePath, Package& package) {
  package.PackageFileName =
      packagePath ? *packagePath : FindOwnPackageFile(services.files, services.process);

  // Every refusal looks alike in the message, as the missing file always did;
  // only the explanation names the reason. The show window goes away first so
  // the message is not hidden behind it.
  const auto reject = [&services](PackageProblem problem) {
    if (services.explainRefusal) services.explainRefusal(problem);
    if (services.hideShowWindow) services.hideShowWindow();
    services.messages.Show(kInvalidPackageMessage, kMbIconExclamation, "");
    return PackageLoad::Refused;
  };

  if (!services.files.Exists(package.PackageFileName)) {
    return reject(PackageProblem::MissingFile);
  }
  auto file = services.files.OpenRead(package.PackageFileName);
  if (!file) return reject(PackageProblem::Unreadable);
  if (auto read = ReadPackageFile(**file, package, services.doEvents); !read) {
    return reject(read.error());
  }
  return PackageLoad::Loaded;
}

}  // namespace vistel
