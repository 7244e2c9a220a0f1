// vistel-pack's commands and what they share: exit codes, argument parsing,
// messages, and reading a package the way the player reads it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/image.hpp"
#include "package/records.hpp"
#include "package/writer.hpp"
#include "runtime/files.hpp"

namespace vistel::pack {

enum ExitCode : int {
  kExitOk = 0,
  kExitProblem = 1,  // the package or the show description is not sound
  kExitUsage = 2,    // the command line is wrong
};

struct Command {
  std::string_view name;
  std::string_view synopsis;  // one line for the command list
  std::string_view help;      // the whole help text of the command
  int (*run)(const std::vector<std::string>& args, std::string_view selfPath);
};

const std::vector<Command>& Commands();

int RunBuild(const std::vector<std::string>& args, std::string_view selfPath);
int RunInspect(const std::vector<std::string>& args, std::string_view selfPath);
int RunCheck(const std::vector<std::string>& args, std::string_view selfPath);
int RunExtract(const std::vector<std::string>& args, std::string_view selfPath);
int RunDemo(const std::vector<std::string>& args, std::string_view selfPath);
int RunRepack(const std::vector<std::string>& args, std::string_view selfPath);
int RunSlideshow(const std::vector<std::string>& args, std::string_view selfPath);
int RunSheet(const std::vector<std::string>& args, std::string_view selfPath);
int RunEffects(const std::vector<std::string>& args, std::string_view selfPath);

// A command's arguments split into positionals and options. Options are
// "--name VALUE", "--name=VALUE" or a flag; "-o" may stand for "--output".
struct ParsedArgs {
  std::vector<std::string> positionals;
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;
  bool help = false;
};
struct OptionGrammar {
  std::set<std::string, std::less<>> withValue;  // "--output"
  std::set<std::string, std::less<>> flags;      // "--json"
};
// Fails with the message to show for a usage error.
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const OptionGrammar& grammar, std::string& error);

// Prints "vistel-pack COMMAND: message" and the hint to the command's help on
// stderr; returns kExitUsage.
int UsageError(std::string_view command, std::string_view message);
// Prints "vistel-pack: message" on stderr.
void Report(std::string_view message);

// A package read as the player reads it, with what check needs besides.
struct LoadedPackage {
  Package package;
  std::uint64_t fileBytes = 0;
  std::string configurationText;
};
// Reads the package at path. When the player would refuse it, prints the
// player's invalid-package message and the specific problem on stderr and
// returns nothing.
std::optional<LoadedPackage> LoadPackageForTool(FileSystem& files, const std::string& path);

// ---- Writing packages (build, demo and repack) ---------------------------

// The player a package starts with: the value of --player, or else the first
// vistel-player program found next to vistel-pack, in the build tree's layout
// (BUILD/apps/pack beside BUILD/apps/player) or on PATH. It must be an ELF or
// PE executable. Otherwise prints the problem (where it looked, or what the
// file is not) and returns nothing, with the exit code in failureExit.
std::optional<std::string> ChoosePlayer(const ParsedArgs& parsed, std::string_view selfPath,
                                        std::string_view command, int& failureExit);
// Where the default player is looked for, in order.
std::vector<std::string> DefaultPlayerCandidates(std::string_view selfPath);

// Whether the folder outPath is to be written in exists; when not, says so
// (naming the folder) on stderr.
bool CheckOutputFolder(const std::string& outPath);

// Whether two paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);

// The package is the player with more bytes behind it, so it runs as the
// player does: it gets the player's permission bits.
void CopyPermissions(const std::string& from, const std::string& to);

// Writes the package of `plan` at outPath, gives it the player's permissions,
// reads it back as the player reads it and prints the one-line summary, with
// `detail` at its end (unless `summary` is quiet). A package that does not
// read back as written is removed. Returns the exit code.
enum class SummaryLine { kPrint, kQuiet };
int WriteVerifiedPackage(FileSystem& files, const PackagePlan& plan, const std::string& playerPath,
                         const std::string& outPath, std::string_view detail = {},
                         SummaryLine summary = SummaryLine::kPrint);

// What build does after its command line: reads the show description, makes
// sure no input is the output, checks every value and medium as the player
// would take it, and writes the verified package. Problems are printed; a
// permissive build prints them as warnings and writes the package anyway.
// Returns the exit code.
enum class Validation { kStrict, kPermissive };
int BuildFromDescription(const std::string& showPath, const std::string& playerPath,
                         const std::string& outPath, SummaryLine summary, Validation validation);

// Writes a contact sheet as a PNG file, replacing the file at `path` whole
// (a link there is replaced, not followed).
Status WriteSheetPicture(const Image& image, const std::string& path);

// A Single as a JSON number that prints as the float's shortest digits.
double SingleAsJsonNumber(float value);

}  // namespace vistel::pack
