#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <span>

#include "commands.hpp"
#include "package/reader.hpp"

namespace vistel::pack {

std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const OptionGrammar& grammar, std::string& error) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    if (arg == "-o") arg = "--output";
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.erase(eq);
    }
    if (grammar.withValue.contains(arg)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          error = "option " + arg + " needs a value";
          return std::nullopt;
        }
        inlineValue = args[++i];
      }
      if (parsed.values.contains(arg)) {
        error = "option " + arg + " is given twice";
        return std::nullopt;
      }
      parsed.values[arg] = *inlineValue;
    } else if (grammar.flags.contains(arg) && !inlineValue) {
      parsed.flags.insert(arg);
    } else {
      error = "unknown option " + args[i];
      return std::nullopt;
    }
  }
  return parsed;
}

int UsageError(std::string_view command, std::string_view message) {
  std::cerr << "vistel-pack " << command << ": " << message << "\n"
            << "Try 'vistel-pack " << command << " --help'.\n";
  return kExitUsage;
}

void Report(std::string_view message) {
  std::cerr << "vistel-pack: " << message << "\n";
}

std::optional<LoadedPackage> LoadPackageForTool(FileSystem& files, const std::string& path) {
  auto refuse = [&](PackageProblem problem) -> std::optional<LoadedPackage> {
    std::cerr << kInvalidPackageMessage << "\n";
    Report(path + ": " + std::string(DescribePackageProblem(problem)));
    return std::nullopt;
  };
  if (!files.Exists(path)) return refuse(PackageProblem::MissingFile);
  auto file = files.OpenRead(path);
  if (!file) return refuse(PackageProblem::Unreadable);

  LoadedPackage loaded;
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  loaded.package.PackageFileName = ec ? path : absolute.lexically_normal().string();
  loaded.fileBytes = (*file)->Size();
  if (auto read = ReadPackageFile(**file, loaded.package); !read) return refuse(read.error());

  // The reader has checked the offset and the size of the text already.
  const auto offset = static_cast<std::uint64_t>(loaded.package.ConfigOffset);
  loaded.configurationText.resize(
      static_cast<std::size_t>(loaded.fileBytes - kTrailerLength - offset));
  auto buffer = std::as_writable_bytes(std::span(loaded.configurationText));
  std::uint64_t at = offset;
  while (!buffer.empty()) {
    auto got = (*file)->ReadAt(at, buffer);
    if (!got || *got == 0) return refuse(PackageProblem::Unreadable);
    at += *got;
    buffer = buffer.subspan(*got);
  }
  return loaded;
}

double SingleAsJsonNumber(float value) {
  // The JSON writer prints a double's shortest digits; the double nearest to
  // the float's shortest digits has exactly those.
  std::array<char, 64> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size() - 1, value);
  *result.ptr = '\0';
  return std::strtod(text.data(), nullptr);
}

}  // namespace vistel::pack
