// The music player: plays one media file through the MCI command-string
// service, addressing the device by its quoted file name alone (no alias), and
// reads the replies of its queries as numbers.
//
// The show owns one instance (the playlist starts and closes tracks with it,
// the audio timer polls EndOfSong, the window's unload step closes it). The
// other operations (times, seeking, waiting, dragging a form, list-widget
// playlists) belong to the same player and are complete, though the show does
// not call them.
//
// Error policy: every operation but TimeOut and FormMove traps any failure
// raised inside it (an overflow, a file or list-widget error), shows its
// description in an OK box titled " Error" and returns its default (0, false,
// ""); what it had done before stays done. MCI failures are not errors: their
// result codes are ignored except by IsPlaying, and a failed query reads 0,
// as MCI clears the reply area before it answers.
//
// Single-threaded: all calls come from the user-interface thread, and TimeOut
// pumps messages, so handlers that call this object again may run inside it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "base/error.hpp"
#include "music/form_drag.hpp"
#include "music/list_control.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"
#include "runtime/mci.hpp"
#include "runtime/message_box.hpp"

namespace vistel {

// The title of the error trap's message box (with its leading space).
inline constexpr std::string_view kMusicErrorTitle = " Error";
// Reply area sizes in characters; kMciNoReply declares an area of size 0.
inline constexpr std::uint32_t kMciNoReply = 0;
inline constexpr std::uint32_t kPositionReplySize = 30;
inline constexpr std::uint32_t kLengthReplySize = 128;

// An MCI result code in words: why a track did not open.
std::string DescribeMciResult(std::uint32_t rc);

class MusicModule {
 public:
  struct Services {
    MciService& mci;
    MessageBoxes& messages;
    FileSystem& files;   // the list-widget playlist files
    const Clock& clock;  // TimeOut's time
    // Processes pending window messages (DoEvents). On a virtual clock it must
    // also let time pass, or a wait could never end.
    std::function<void()> doEvents;
  };

  explicit MusicModule(Services services);
  MusicModule(const MusicModule&) = delete;
  MusicModule& operator=(const MusicModule&) = delete;

  // The device's only identification; Play leaves it quoted.
  const std::string& FileName() const { return FileName_; }
  void SetFileName(std::string_view name) { FileName_ = std::string(name); }

  // Pumps messages until `duration` seconds have passed on the host's clock.
  // Not trapped: a failure of a handler run inside goes to the caller.
  void TimeOut(double duration);
  // Closes the device of the unquoted name, quotes the trimmed name, opens and
  // plays it. Playback goes on in the background.
  void Play();
  // The result code of Play's "open": 0 when the track opened. The original
  // ignores it; the player uses it only to tell the user why there is no music.
  std::uint32_t LastOpenResult() const { return lastOpenResult_; }
  // Whether the open track has played to its end (position >= length, both
  // non-zero, in milliseconds). False when nothing is open.
  bool EndOfSong();
  // Starts a system drag of the form as if its caption were held. Not trapped.
  void FormMove(WindowMessages& windows, WindowHandle Frm);
  // Adds each line of a text file (trailing spaces removed) to the list; an
  // empty path does nothing.
  void OpenPlaylist(std::string_view TheList, ListControl& Listbox);
  std::int32_t TimeRemaininginMS();
  std::int32_t TimeRemaininginSec();
  std::string FormatTimeRemaining();
  // Adds each entry of List2 as a bare name (no folder, no extension) to List1.
  void ListNoChar(ListControl& List1, ListControl& List2);
  // Selects List2's last entry, adds its bare name to List1 and shows the
  // entry in a message box.
  void ListSingleNoChar(ListControl& List1, ListControl& List2);
  // Writes every entry of the list as one CR LF line, replacing the file.
  void SavePlaylist(std::string_view TheList, ListControl& Listbox);
  std::int32_t PositioninMS();
  std::int32_t PositioninSec();
  // Minutes and seconds ("62:05"), no hours.
  std::string FormatPosition();
  // Plays (when playing) or seeks (when not) to TheSecond; TheSecond holds
  // the milliseconds afterwards.
  void ChangePosition(std::int32_t& TheSecond);
  void StopPlay();
  void Pause();
  std::int32_t DurationInMS();
  // Hours (when any), minutes and seconds; leaves the device in frames.
  std::string FormatDuration();
  std::int32_t DurationInSec();
  void ResumePlay();
  // True exactly when the mode query succeeds (the mode itself is not read).
  bool IsPlaying();

 private:
  // The reply buffer of a query: what MCI left in the area replaces it, the
  // empty text (read as 0) after a failure.
  static void TakeReply(const MciReply& reply, std::uint32_t replySize, std::string& buffer);
  void Send(std::string_view command);
  void Query(std::string_view command, std::uint32_t replySize, std::string& buffer);
  void ReportError(const Error& error);
  template <class T>
  T Trapped(Result<T> result) {
    if (result) return std::move(*result);
    ReportError(result.error());
    return T{};
  }
  void Trapped(Status status) {
    if (!status) ReportError(status.error());
  }

  Result<std::int32_t> ReadPositionMs();
  Result<std::int32_t> ReadDurationMs();
  Result<std::string> BuildFormatPosition();
  Result<std::string> BuildFormatDuration();
  Status DoChangePosition(std::int32_t& TheSecond);
  Status DoOpenPlaylist(std::string_view TheList, ListControl& Listbox);
  Status DoSavePlaylist(std::string_view TheList, ListControl& Listbox);
  Status DoListNoChar(ListControl& List1, ListControl& List2);
  Status DoListSingleNoChar(ListControl& List1, ListControl& List2);

  std::string StripFolder(std::string_view path);
  std::string LeftOfLastChar(std::string_view text, std::string_view c);
  std::string FormatMilliseconds(std::int32_t ms);

  Services services_;
  std::string FileName_;
  std::uint32_t lastOpenResult_ = 0;
  std::string positionBuffer_;        // PositioninMS's 30-character buffer
  std::string formatPositionBuffer_;  // FormatPosition's 30-character buffer
};

}  // namespace vistel
