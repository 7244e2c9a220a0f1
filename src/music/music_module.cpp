#include "music/music_module.hpp"

#include <cmath>
#include <span>
#include <utility>

#include "base/conversions.hpp"

namespace vistel {
namespace {

// A reply read as a number: its leading decimal number, nearest 32-bit
// integer (ties to even); no number reads as 0.
Result<std::int32_t> ReplyNumber(std::string_view reply) {
  const Result<double> value = Val(reply);
  if (!value) return Fail(value.error());
  return RoundToLong(*value);
}

// Trim of the original: spaces only, both ends.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

Result<std::int32_t> CheckedLong(std::int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) return Fail(ErrorCode::Overflow);
  return static_cast<std::int32_t>(value);
}

// Whole seconds of a millisecond count, truncated toward zero.
std::int32_t WholeSeconds(std::int32_t ms) {
  return ms / 1000;
}

// Reads a whole text file: lines end at CR LF, CR or LF.
Result<std::vector<std::string>> ReadTextLines(FileSystem& files, std::string_view path) {
  auto opened = files.OpenRead(path);
  if (!opened) return Fail(opened.error());
  InputFile& file = **opened;
  std::string text;
  std::vector<std::byte> chunk(std::size_t{1} << 14);
  std::uint64_t offset = 0;
  while (true) {
    auto got = file.ReadAt(offset, std::span<std::byte>(chunk));
    if (!got) return Fail(got.error());
    if (*got == 0) break;
    text.append(reinterpret_cast<const char*>(chunk.data()), *got);
    offset += *got;
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.emplace_back(text, start, end - start);
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

}  // namespace

MusicModule::MusicModule(Services services) : services_(std::move(services)) {}

void MusicModule::TakeReply(const MciReply& reply, std::uint32_t replySize, std::string& buffer) {
  if (replySize == 0) return;
  // MCI writes into every area it is given: the reply, or after a failure a
  // NUL at the start, after which the earlier digits no longer count.
  buffer = reply.reply.substr(0, replySize - 1);
}

std::string DescribeMciResult(std::uint32_t rc) {
  // winmm's codes (MCIERR_BASE 256 onwards) that an "open" of a file gives.
  switch (rc) {
    case 0:
      return "no error";
    case 263:
      return "no sound device plays it";
    case 275:
      return "the file is missing";
    case 281:
      return "no sound device plays files of its extension";
    case 296:
      return "the file is not a sound the device can play";
    case 343:
      return "no MIDI synthesiser is installed";
    default:
      return "the sound device refused it (MCI error " + std::to_string(rc) + ")";
  }
}

void MusicModule::Send(std::string_view command) {
  (void)services_.mci.SendString(command, kMciNoReply);
}

void MusicModule::Query(std::string_view command, std::uint32_t replySize, std::string& buffer) {
  // The buffer is handed over as a copy and what MCI left there copied back.
  TakeReply(services_.mci.SendString(command, replySize), replySize, buffer);
}

void MusicModule::ReportError(const Error& error) {
  (void)services_.messages.Show(error.description, kMbOk, kMusicErrorTitle);
}

void MusicModule::TimeOut(double duration) {
  // Elapsed time on the host's clock rather than seconds since midnight, so a
  // wait across midnight ends like any other.
  const Milliseconds start = services_.clock.NowMs();
  while (static_cast<float>(static_cast<double>(services_.clock.NowMs() - start) / 1000.0) <
         duration) {
    services_.doEvents();
  }
}

void MusicModule::Play() {
  Send("close " + FileName_);
  FileName_ = "\"" + std::string(TrimSpaces(FileName_)) + "\"";
  lastOpenResult_ = services_.mci.SendString("open " + FileName_, kMciNoReply).rc;
  Send("play " + FileName_);
}

bool MusicModule::EndOfSong() {
  // Compared in milliseconds: whole seconds would end every track up to a
  // second early and never end one shorter than a second. Position first: its
  // query sets the millisecond time format that the length query relies on.
  const std::int32_t p = PositioninMS();
  const std::int32_t d = DurationInMS();
  return p != 0 && d != 0 && p >= d;
}

void MusicModule::FormMove(WindowMessages& windows, WindowHandle Frm) {
  windows.ReleaseCapture();
  (void)windows.SendMessage(Frm, kWmNcLButtonDown, kHtCaption, 0);
}

void MusicModule::OpenPlaylist(std::string_view TheList, ListControl& Listbox) {
  Trapped(DoOpenPlaylist(TheList, Listbox));
}

Status MusicModule::DoOpenPlaylist(std::string_view TheList, ListControl& Listbox) {
  if (TheList.empty()) return {};
  auto lines = ReadTextLines(services_.files, TheList);
  if (!lines) return Fail(lines.error());
  for (const std::string& line : *lines) {
    std::string_view entry = line;
    while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
    if (auto added = Listbox.AddItem(entry); !added) return added;
  }
  return {};
}

std::int32_t MusicModule::TimeRemaininginMS() {
  const std::int64_t d = DurationInMS();
  const std::int64_t p = PositioninMS();
  return Trapped(CheckedLong(d - p));
}

std::int32_t MusicModule::TimeRemaininginSec() {
  const std::int64_t d = DurationInSec();
  const std::int64_t p = PositioninSec();
  return Trapped(CheckedLong(d - p));
}

std::string MusicModule::FormatTimeRemaining() {
  return FormatMilliseconds(TimeRemaininginMS());
}

void MusicModule::ListNoChar(ListControl& List1, ListControl& List2) {
  Trapped(DoListNoChar(List1, List2));
}

Status MusicModule::DoListNoChar(ListControl& List1, ListControl& List2) {
  auto count = List2.ListCount();
  if (!count) return Fail(count.error());
  for (std::int32_t i = 0; i < *count; ++i) {
    auto entry = List2.List(i);
    if (!entry) return Fail(entry.error());
    if (auto added = List1.AddItem(LeftOfLastChar(StripFolder(*entry), ".")); !added) {
      return added;
    }
  }
  return {};
}

void MusicModule::ListSingleNoChar(ListControl& List1, ListControl& List2) {
  Trapped(DoListSingleNoChar(List1, List2));
}

Status MusicModule::DoListSingleNoChar(ListControl& List1, ListControl& List2) {
  auto count = List2.ListCount();
  if (!count) return Fail(count.error());
  auto last = CheckedLong(std::int64_t{*count} - 1);
  if (!last) return Fail(last.error());
  if (auto selected = List2.SetListIndex(*last); !selected) return selected;
  auto text = List2.Text();
  if (!text) return Fail(text.error());
  if (auto added = List1.AddItem(LeftOfLastChar(StripFolder(*text), ".")); !added) return added;
  (void)services_.messages.Show(*text, kMbOk, kApplicationTitle);
  return {};
}

void MusicModule::SavePlaylist(std::string_view TheList, ListControl& Listbox) {
  Trapped(DoSavePlaylist(TheList, Listbox));
}

Status MusicModule::DoSavePlaylist(std::string_view TheList, ListControl& Listbox) {
  auto file = services_.files.OpenWrite(TheList, WriteMode::Truncate);
  if (!file) return Fail(file.error());
  auto count = Listbox.ListCount();
  if (!count) return Fail(count.error());
  // The original counts with a 16-bit integer: a longer list overflows after
  // its first 32,768 entries have been written.
  for (std::int32_t i = 0; i < *count; ++i) {
    if (i > INT16_MAX) return Fail(ErrorCode::Overflow);
    auto entry = Listbox.List(i);
    if (!entry) return Fail(entry.error());
    std::string line = std::move(*entry);
    line += "\r\n";
    auto bytes = std::as_bytes(std::span<const char>(line.data(), line.size()));
    if (auto written = (*file)->Write(bytes); !written) return written;
  }
  return (*file)->Close();
}

std::int32_t MusicModule::PositioninMS() {
  return Trapped(ReadPositionMs());
}

Result<std::int32_t> MusicModule::ReadPositionMs() {
  Send("set " + FileName_ + " time format milliseconds");
  Query("status " + FileName_ + " position", kPositionReplySize, positionBuffer_);
  return ReplyNumber(positionBuffer_);
}

std::int32_t MusicModule::PositioninSec() {
  return WholeSeconds(PositioninMS());
}

std::string MusicModule::FormatPosition() {
  return Trapped(BuildFormatPosition());
}

Result<std::string> MusicModule::BuildFormatPosition() {
  Send("set " + FileName_ + " time format milliseconds");
  Query("status " + FileName_ + " position", kPositionReplySize, formatPositionBuffer_);
  const std::int32_t p = PositioninSec();
  if (p < 60) return "0:" + FormatZeroPadded(p, 2);
  const std::int32_t m = p / 60;  // p > 59: floor and truncation agree
  const std::int32_t s = p - 60 * m;
  return FormatZeroPadded(m, 1) + ":" + FormatZeroPadded(s, 2);
}

void MusicModule::ChangePosition(std::int32_t& TheSecond) {
  Trapped(DoChangePosition(TheSecond));
}

Status MusicModule::DoChangePosition(std::int32_t& TheSecond) {
  auto ms = CheckedLong(std::int64_t{TheSecond} * 1000);
  if (!ms) return Fail(ms.error());
  TheSecond = *ms;
  if (IsPlaying()) Send("play " + FileName_ + " from " + NumberToText(TheSecond));
  if (!IsPlaying()) Send("seek " + FileName_ + " to " + NumberToText(TheSecond));
  return {};
}

void MusicModule::StopPlay() {
  Send("close " + FileName_);
}

void MusicModule::Pause() {
  Send("stop " + FileName_);
}

std::int32_t MusicModule::DurationInMS() {
  return Trapped(ReadDurationMs());
}

Result<std::int32_t> MusicModule::ReadDurationMs() {
  std::string reply;  // fresh on every call: a failed query reads 0
  Query("status " + FileName_ + " length", kLengthReplySize, reply);
  return ReplyNumber(reply);
}

std::string MusicModule::FormatDuration() {
  return Trapped(BuildFormatDuration());
}

Result<std::string> MusicModule::BuildFormatDuration() {
  std::string reply;
  Query("set " + FileName_ + " time format ms", kLengthReplySize, reply);
  Query("status " + FileName_ + " length", kLengthReplySize, reply);
  Send("set " + FileName_ + " time format frames");
  auto ms = ReplyNumber(reply);
  if (!ms) return Fail(ms.error());
  return FormatMilliseconds(*ms);
}

std::int32_t MusicModule::DurationInSec() {
  return WholeSeconds(DurationInMS());
}

void MusicModule::ResumePlay() {
  Send("play " + FileName_);
}

bool MusicModule::IsPlaying() {
  return services_.mci.SendString("status " + FileName_ + " mode", kMciNoReply).rc == 0;
}

std::string MusicModule::StripFolder(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string MusicModule::LeftOfLastChar(std::string_view text, std::string_view c) {
  for (std::size_t k = text.size(); k > 0; --k) {
    if (text.substr(k - 1, 1) == c) return std::string(text.substr(0, k - 1));
  }
  return std::string();
}

std::string MusicModule::FormatMilliseconds(std::int32_t ms) {
  // Seconds rounded half to even: 59,500 ms is a whole minute. A negative
  // count has no positive part and reads as 0:00.
  const auto t = static_cast<std::int32_t>(RoundHalfToEven(static_cast<double>(ms) / 1000.0));
  const std::int32_t h = t >= 0 ? t / 3600 : (t - 3599) / 3600;
  const std::int32_t r = t % 3600;
  const std::int32_t m = r >= 0 ? r / 60 : (r - 59) / 60;
  const std::int32_t s = r % 60;
  std::string text;
  if (h > 0) text = NumberToText(h) + ":";
  text += m >= 1 ? NumberToText(m) : std::string("0");
  text += ":";
  if (s >= 10) {
    text += NumberToText(s);
  } else if (s >= 1) {
    text += "0" + NumberToText(s);
  } else {
    text += "00";
  }
  return text;
}

}  // namespace vistel
