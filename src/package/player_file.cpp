#include "package/player_file.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace vistel {
namespace {

constexpr std::string_view kNotKnown = "is not an ELF or PE executable";
// The MS-DOS header's field that holds the offset of the PE signature.
constexpr std::uint64_t kNewHeaderOffsetField = 0x3C;

Error NotPlayer(std::string_view what) {
  return Error{ErrorCode::InvalidPackage, std::string(what)};
}

// Reads exactly bytes.size() bytes at offset; false when the file ends first.
Result<bool> ReadExactly(InputFile& file, std::uint64_t offset, std::span<std::byte> bytes) {
  std::size_t have = 0;
  while (have < bytes.size()) {
    const auto got = file.ReadAt(offset + have, bytes.subspan(have));
    if (!got) return Fail(got.error());
    if (*got == 0) return false;
    have += *got;
  }
  return true;
}

bool Is(std::span<const std::byte> bytes, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (bytes[i] != static_cast<std::byte>(text[i])) return false;
  }
  return true;
}

// What a file that is no executable looks like, to say what it is instead.
std::string Looks(std::span<const std::byte, 4> head) {
  if (Is(head, "\xFF\xD8\xFF")) return " (it starts like a JPEG picture)";
  if (Is(head, "\x89PNG")) return " (it starts like a PNG picture)";
  bool text = true;
  for (std::byte b : head) {
    const auto c = std::to_integer<unsigned>(b);
    text = text && (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') && c < 0x7F;
  }
  return text ? " (it starts like text)" : "";
}

}  // namespace

Result<PlayerFileKind> ClassifyPlayerFile(InputFile& file) {
  const std::uint64_t size = file.Size();
  if (size == 0) return Fail(NotPlayer("is empty, not an ELF or PE executable"));
  std::array<std::byte, 4> head{};
  const auto read = ReadExactly(file, 0, head);
  if (!read) return Fail(read.error());
  if (*read && Is(head,
                  "\x7F"
                  "ELF"))
    return PlayerFileKind::Elf;
  if (size >= 2 && Is(std::span(head).first(2), "MZ")) {
    std::array<std::byte, 4> field{};
    const auto gotField = ReadExactly(file, kNewHeaderOffsetField, field);
    if (!gotField) return Fail(gotField.error());
    if (!*gotField) {
      return Fail(NotPlayer(
          "starts with MZ but is too short for a PE header: not an ELF or PE executable"));
    }
    std::uint64_t at = 0;
    for (std::size_t i = 4; i-- > 0;) at = (at << 8U) | std::to_integer<std::uint64_t>(field[i]);
    std::array<std::byte, 4> signature{};
    const auto gotSignature = ReadExactly(file, at, signature);
    if (!gotSignature) return Fail(gotSignature.error());
    if (!*gotSignature || !Is(signature, std::string_view("PE\0\0", 4))) {
      return Fail(NotPlayer("starts with MZ but has no PE header at byte " + std::to_string(at) +
                            ": not an ELF or PE executable"));
    }
    return PlayerFileKind::Pe;
  }
  if (!*read)
    return Fail(NotPlayer("is too short for an ELF or PE header: " + std::string(kNotKnown)));
  return Fail(NotPlayer(std::string(kNotKnown) + Looks(head)));
}

Result<PlayerFileKind> CheckPlayerFile(FileSystem& files, std::string_view path) {
  std::error_code ec;
  const auto status = std::filesystem::status(std::filesystem::path(path), ec);
  if (std::filesystem::is_directory(status)) {
    return Fail(NotPlayer("is a folder, not an ELF or PE executable"));
  }
  if (!files.Exists(path))
    return Fail(NotPlayer("no such player file, so not an ELF or PE executable"));
  auto file = files.OpenRead(path);
  if (!file) return Fail(file.error());
  return ClassifyPlayerFile(**file);
}

std::string_view PlayerFileKindName(PlayerFileKind kind) {
  return kind == PlayerFileKind::Elf ? "ELF executable" : "PE executable";
}

}  // namespace vistel
