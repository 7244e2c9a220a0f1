// The syntax of MCI command strings, parsed the way winmm parses them: the
// verb up to the first blank, the device name (a quoted text or one word,
// without its quotes), then keywords of the verb's grammar, matched without
// regard to case, some followed by a number or a text.
//
// Numbers are winmm's: decimal digits, optionally "-" (which wraps round, as
// an unsigned 32-bit value does), or up to four bytes written "b0:b1:b2:b3",
// low byte first ("250:0" is 250, ":1" is 256).
//
// Every function returns 0 or a winmm error code (mcierr below).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vistel {

// winmm's return codes (MCIERR_BASE = 256).
namespace mcierr {
inline constexpr std::uint32_t kUnrecognizedKeyword = 259;
inline constexpr std::uint32_t kUnrecognizedCommand = 261;
inline constexpr std::uint32_t kInvalidDeviceName = 263;
inline constexpr std::uint32_t kDeviceOpen = 265;
inline constexpr std::uint32_t kMissingCommandString = 267;
inline constexpr std::uint32_t kParamOverflow = 268;
inline constexpr std::uint32_t kMissingStringArgument = 269;
inline constexpr std::uint32_t kBadInteger = 270;
inline constexpr std::uint32_t kMissingParameter = 273;
inline constexpr std::uint32_t kUnsupportedFunction = 274;
inline constexpr std::uint32_t kFileNotFound = 275;
inline constexpr std::uint32_t kCannotUseAll = 279;
inline constexpr std::uint32_t kExtensionNotFound = 281;
inline constexpr std::uint32_t kOutOfRange = 282;
inline constexpr std::uint32_t kFlagsNotCompatible = 284;
inline constexpr std::uint32_t kDuplicateAlias = 289;
inline constexpr std::uint32_t kMissingDeviceName = 292;
inline constexpr std::uint32_t kBadTimeFormat = 293;
inline constexpr std::uint32_t kNoClosingQuote = 294;
inline constexpr std::uint32_t kDuplicateFlags = 295;
inline constexpr std::uint32_t kInvalidFile = 296;
inline constexpr std::uint32_t kNewRequiresAlias = 299;
inline constexpr std::uint32_t kNotifyOnAutoOpen = 300;
inline constexpr std::uint32_t kNonapplicableFunction = 302;
inline constexpr std::uint32_t kExtraCharacters = 305;
inline constexpr std::uint32_t kSeqNoMidiPresent = 343;
}  // namespace mcierr

// The items a status query names, by winmm's numbers (a query may give the
// number instead of the name: "status x 4" asks for the mode).
namespace mciitem {
inline constexpr std::uint32_t kLength = 1;
inline constexpr std::uint32_t kPosition = 2;
inline constexpr std::uint32_t kNumberOfTracks = 3;
inline constexpr std::uint32_t kMode = 4;
inline constexpr std::uint32_t kMediaPresent = 5;
inline constexpr std::uint32_t kTimeFormat = 6;
inline constexpr std::uint32_t kReady = 7;
inline constexpr std::uint32_t kCurrentTrack = 8;
inline constexpr std::uint32_t kVolume = 0x4019;  // digital video's audio volume
}  // namespace mciitem

struct MciCommandText {
  std::string verb;       // lower case
  std::string device;     // without its quotes
  std::string_view rest;  // the keywords after the device name
};

// Splits "verb device rest". A command without a blank has no device name.
std::uint32_t SplitMciCommand(std::string_view command, MciCommandText& out);

// The keywords a verb may take. An item is a name of the verb's item list (or
// its number); "time format" takes the next word as the format's name.
enum class MciKey {
  Notify,
  Wait,
  From,
  To,
  ToStart,
  ToEnd,
  Type,
  Alias,
  Shareable,
  Buffer,
  Track,
  Start,
  TimeFormat,
  Item,
};

struct MciItemName {
  std::string_view name;
  std::uint32_t item;
};

struct MciGrammar {
  std::span<const MciKey> keys;
  std::span<const MciItemName> items;  // for MciKey::Item
};

struct MciArguments {
  bool notify = false;
  bool wait = false;
  bool toStart = false;
  bool toEnd = false;
  bool shareable = false;
  bool start = false;
  std::optional<std::uint32_t> from;
  std::optional<std::uint32_t> to;
  std::optional<std::uint32_t> buffer;
  std::optional<std::uint32_t> track;
  std::optional<std::uint32_t> item;
  std::optional<std::string> type;
  std::optional<std::string> alias;
  std::optional<std::string> timeFormat;  // the word after "time format", lower case
};

// A keyword given twice is MCIERR_DUPLICATE_FLAGS, a second item or time
// format MCIERR_FLAGS_NOT_COMPATIBLE, a word of no keyword
// MCIERR_UNRECOGNIZED_KEYWORD, a keyword without its number MCIERR_BAD_INTEGER.
std::uint32_t ParseMciArguments(std::string_view text, const MciGrammar& grammar,
                                MciArguments& out);

// One winmm number, the whole word; nothing when it is none.
std::optional<std::uint32_t> ParseMciNumber(std::string_view word);

}  // namespace vistel
