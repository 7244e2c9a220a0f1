// Fakes shared by the music tests: a recording MCI service with scripted
// replies, a recording message box service, and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/mci.hpp"
#include "runtime/message_box.hpp"

namespace vistel::testing {

inline constexpr std::uint32_t kMciErrInvalidDeviceName = 263;

struct SentCommand {
  std::string command;
  std::uint32_t replySize = 0;
  friend bool operator==(const SentCommand&, const SentCommand&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const SentCommand& sent) {
  return out << "{\"" << sent.command << "\", " << sent.replySize << "}";
}

// Answers each command text from its own queue of scripted replies, in order;
// an unscripted command succeeds with an empty reply.
class RecordingMci final : public MciService {
 public:
  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    sent.push_back({std::string(command), replySize});
    auto it = scripted_.find(std::string(command));
    if (it == scripted_.end() || it->second.empty()) return {};
    MciReply reply = it->second.front();
    it->second.pop_front();
    return reply;
  }
  void Script(std::string command, MciReply reply) {
    scripted_[std::move(command)].push_back(std::move(reply));
  }
  void Succeed(std::string command, std::string reply) { Script(std::move(command), {0, reply}); }
  void FailNext(std::string command) { Script(std::move(command), {kMciErrInvalidDeviceName, ""}); }

  std::vector<SentCommand> sent;

 private:
  std::map<std::string, std::deque<MciReply>> scripted_;
};

struct ShownBox {
  std::string text;
  std::uint32_t style = 0;
  std::string title;
  friend bool operator==(const ShownBox&, const ShownBox&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const ShownBox& box) {
  return out << "{\"" << box.text << "\", " << box.style << ", \"" << box.title << "\"}";
}

class RecordingMessages final : public MessageBoxes {
 public:
  int Show(std::string_view text, std::uint32_t style, std::string_view title) override {
    shown.push_back({std::string(text), style, std::string(title)});
    return kIdOk;
  }
  std::vector<ShownBox> shown;
};

// A fresh folder per test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("vistel_music_" + std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path(std::string_view name) const { return (path_ / name).string(); }
  // The folder with a trailing separator, as the temporary folder is given.
  std::string Folder() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

}  // namespace vistel::testing
