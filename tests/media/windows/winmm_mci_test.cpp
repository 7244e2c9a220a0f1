// Music through the system's MCI: a file in a folder whose name the ANSI code
// page cannot hold opens, replies come back, and a track played to its end
// reads as ended (where a sound device lets it play).
#include "media/windows/winmm_mci.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "media/mci/end_position.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

void PutLe(std::vector<char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A mono 16-bit PCM WAV of silence.
std::vector<char> SilentWav(std::uint32_t rate, std::uint32_t frames) {
  std::vector<char> out;
  const std::uint32_t data = frames * 2;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  PutLe(out, 36 + data, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, rate, 4);
  PutLe(out, rate * 2, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, data, 4);
  out.resize(out.size() + data, '\0');
  return out;
}

TEST(WinmmMciTest, OpensAFileByItsUnicodeNameAndEndsAtItsLength) {
  // No ANSI code page holds both letters.
  fs::path folder = fs::temp_directory_path() / fs::path(u8"vistel-winmm-Musik \u00e9 \u97f3-");
  folder += std::to_string(std::random_device{}());
  fs::create_directories(folder);
  const fs::path file = folder / "audio.wav";
  const std::vector<char> wav = SilentWav(8000, 12000);  // 1500 ms
  std::ofstream(file, std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
  ASSERT_TRUE(fs::exists(file));
  const std::u8string name = file.u8string();
  const std::string d = "\"" + std::string(name.begin(), name.end()) + "\"";

  WinmmMciService winmm;
  EndPositionCorrection mci(winmm);
  ASSERT_EQ(mci.SendString("open " + d, 0).rc, 0U) << "winmm could not open " << d;
  EXPECT_EQ(mci.SendString("set " + d + " time format milliseconds", 0).rc, 0U);
  EXPECT_EQ(mci.SendString("status " + d + " length", 128).reply, "1500");

  if (mci.SendString("play " + d, 0).rc == 0) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mci.SendString("status " + d + " mode", 32).reply == "playing" &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(mci.SendString("status " + d + " mode", 32).reply, "stopped");
    EXPECT_EQ(mci.SendString("status " + d + " position", 30).reply, "1500");
  } else {
    std::cout << "no sound device: play was refused; its end is not checked here\n";
  }
  EXPECT_EQ(mci.SendString("close " + d, 0).rc, 0U);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace vistel
