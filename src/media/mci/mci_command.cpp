#include "media/mci/mci_command.hpp"

#include <cctype>
#include <limits>

#include "base/text.hpp"

namespace vistel {
namespace {

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

// The word at pos, up to the next blank; pos moves past it.
std::string_view TakeWord(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && text[pos] != ' ') ++pos;
  return text.substr(start, pos - start);
}

// A quoted text (without its quotes) or a word; pos moves past it. A quoted
// text must end in a quote followed by a blank or the end.
std::uint32_t TakeString(std::string_view text, std::size_t& pos, std::string& out) {
  if (pos < text.size() && text[pos] == '"') {
    const std::size_t close = text.find('"', pos + 1);
    if (close == std::string_view::npos) return mcierr::kNoClosingQuote;
    out = std::string(text.substr(pos + 1, close - pos - 1));
    pos = close + 1;
    if (pos < text.size() && text[pos] != ' ') return mcierr::kExtraCharacters;
    return 0;
  }
  out = std::string(TakeWord(text, pos));
  return 0;
}

// Whether text at pos starts with the keyword (which may hold blanks) as whole words.
bool StartsWithKeyword(std::string_view text, std::size_t pos, std::string_view keyword) {
  if (text.size() - pos < keyword.size()) return false;
  if (!EqualsIgnoringAsciiCase(text.substr(pos, keyword.size()), keyword)) return false;
  const std::size_t end = pos + keyword.size();
  return end == text.size() || text[end] == ' ';
}

std::string_view Spelling(MciKey key) {
  switch (key) {
    case MciKey::Notify:
      return "notify";
    case MciKey::Wait:
      return "wait";
    case MciKey::From:
      return "from";
    case MciKey::To:
      return "to";
    case MciKey::ToStart:
      return "to start";
    case MciKey::ToEnd:
      return "to end";
    case MciKey::Type:
      return "type";
    case MciKey::Alias:
      return "alias";
    case MciKey::Shareable:
      return "shareable";
    case MciKey::Buffer:
      return "buffer";
    case MciKey::Track:
      return "track";
    case MciKey::Start:
      return "start";
    case MciKey::TimeFormat:
      return "time format";
    case MciKey::Item:
      break;
  }
  return {};
}

std::uint32_t SetFlag(bool& flag) {
  if (flag) return mcierr::kDuplicateFlags;
  flag = true;
  return 0;
}

std::uint32_t SetNumber(std::string_view text, std::size_t& pos,
                        std::optional<std::uint32_t>& value) {
  if (value) return mcierr::kDuplicateFlags;
  value = ParseMciNumber(TakeWord(text, pos));
  return value ? 0 : mcierr::kBadInteger;
}

std::uint32_t SetString(std::string_view text, std::size_t& pos,
                        std::optional<std::string>& value) {
  if (value) return mcierr::kDuplicateFlags;
  if (pos == text.size()) return mcierr::kMissingStringArgument;
  std::string word;
  if (const auto rc = TakeString(text, pos, word); rc != 0) return rc;
  value = std::move(word);
  return 0;
}

// The value of a keyword that has just been read; pos is past the blanks after it.
std::uint32_t TakeValue(MciKey key, std::string_view text, std::size_t& pos, MciArguments& out) {
  switch (key) {
    case MciKey::Notify:
      return SetFlag(out.notify);
    case MciKey::Wait:
      return SetFlag(out.wait);
    case MciKey::ToStart:
      return SetFlag(out.toStart);
    case MciKey::ToEnd:
      return SetFlag(out.toEnd);
    case MciKey::Shareable:
      return SetFlag(out.shareable);
    case MciKey::Start:
      return SetFlag(out.start);
    case MciKey::From:
      return SetNumber(text, pos, out.from);
    case MciKey::To:
      return SetNumber(text, pos, out.to);
    case MciKey::Buffer:
      return SetNumber(text, pos, out.buffer);
    case MciKey::Track:
      return SetNumber(text, pos, out.track);
    case MciKey::Type:
      return SetString(text, pos, out.type);
    case MciKey::Alias:
      return SetString(text, pos, out.alias);
    case MciKey::TimeFormat: {
      if (out.timeFormat) return mcierr::kFlagsNotCompatible;
      const std::string_view word = TakeWord(text, pos);
      if (word.empty()) return mcierr::kMissingParameter;
      out.timeFormat = AsciiLower(word);
      return 0;
    }
    case MciKey::Item:
      break;
  }
  return mcierr::kUnrecognizedKeyword;
}

// Reads one keyword with its value at pos.
std::uint32_t TakeKeyword(std::string_view text, std::size_t& pos, const MciGrammar& grammar,
                          MciArguments& out) {
  bool takesItems = false;
  for (const MciKey key : grammar.keys) {
    if (key == MciKey::Item) {
      takesItems = true;
      for (const MciItemName& name : grammar.items) {
        if (!StartsWithKeyword(text, pos, name.name)) continue;
        pos += name.name.size();
        if (out.item) return mcierr::kFlagsNotCompatible;
        out.item = name.item;
        return 0;
      }
      continue;
    }
    const std::string_view spelling = Spelling(key);
    if (!StartsWithKeyword(text, pos, spelling)) continue;
    pos += spelling.size();
    SkipBlanks(text, pos);
    return TakeValue(key, text, pos, out);
  }
  // An item may also be given by its number.
  std::size_t end = pos;
  if (const auto number = ParseMciNumber(TakeWord(text, end)); takesItems && number) {
    if (out.item) return mcierr::kFlagsNotCompatible;
    out.item = *number;
    pos = end;
    return 0;
  }
  return mcierr::kUnrecognizedKeyword;
}

}  // namespace

std::uint32_t SplitMciCommand(std::string_view command, MciCommandText& out) {
  if (command.empty()) return mcierr::kMissingCommandString;
  const std::size_t blank = command.find(' ');
  if (blank == std::string_view::npos) return mcierr::kMissingDeviceName;
  out.verb = AsciiLower(command.substr(0, blank));
  std::size_t pos = blank;
  SkipBlanks(command, pos);
  if (const auto rc = TakeString(command, pos, out.device); rc != 0) return rc;
  out.rest = command.substr(pos);
  return 0;
}

std::uint32_t ParseMciArguments(std::string_view text, const MciGrammar& grammar,
                                MciArguments& out) {
  std::size_t pos = 0;
  while (true) {
    SkipBlanks(text, pos);
    if (pos == text.size()) return 0;
    if (const auto rc = TakeKeyword(text, pos, grammar, out); rc != 0) return rc;
  }
}

std::optional<std::uint32_t> ParseMciNumber(std::string_view word) {
  std::size_t i = 0;
  const bool negative = !word.empty() && word[0] == '-';
  if (negative) ++i;
  std::uint64_t total = 0;
  std::uint64_t value = 0;
  unsigned shift = 0;
  bool digits = false;
  while (true) {
    value = 0;
    while (i < word.size() && std::isdigit(static_cast<unsigned char>(word[i]))) {
      value = value * 10 + static_cast<unsigned>(word[i++] - '0');
      if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
      digits = true;
    }
    if (i == word.size()) break;
    // Each byte but the last ends in a colon; there are at most four.
    if (word[i] != ':' || value >= 256 || shift >= 24) return std::nullopt;
    total |= value << shift;
    shift += 8;
    ++i;
  }
  if (!digits || (shift > 0 && (value >= 256 || negative))) return std::nullopt;
  total |= value << shift;
  const auto result = static_cast<std::uint32_t>(total);
  return negative ? static_cast<std::uint32_t>(0U - result) : result;
}

}  // namespace vistel
