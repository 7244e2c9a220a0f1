// Reading a large show: 10,000 screen groups and a few music tracks, as text
// alone, as a package in memory, and as a package file on disk through
// LoadPackage. Goal: well under 50 ms each, with a margin: the text alone
// (BM_ParseConfiguration) in 20 ms or less.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/conversions.hpp"
#include "package/reader.hpp"
#include "platform/native_files.hpp"

namespace {

using namespace vistel;

constexpr int kGroups = 10000;

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += '\xFF';
    line += field;
  }
  return line + "\r\n";
}

// A configuration of kGroups screens alternating between images and videos,
// with the field values a real show has.
std::string LargeConfiguration() {
  std::string text =
      Line({"[GLOBAL]", "Unknown", "My Screen Saver", "www.example.com", "True", "False", "True"});
  for (int track = 0; track < 5; ++track) {
    text += Line({"[AUDIO-FILE]", "3145728", std::to_string(1000 + track * 3145728),
                  "C:\\music\\track" + std::to_string(track) + ".mp3", "0"});
  }
  for (int i = 0; i < kGroups; ++i) {
    const std::string position = std::to_string(225282 + i * 40000);
    const bool video = i % 2 == 1;
    text += Line({"[SCREEN-GLOBAL]", video ? "1" : "0"});
    text += Line({"[SCREEN-BACKGROUND]", "16711680", "1", "1234", position, ""});
    text += Line({"[SCREEN-IMAGE]",
                  "0",
                  video ? "0" : "38000",
                  position,
                  "9",
                  "1000",
                  "1",
                  "100",
                  "2.000164",
                  "2.000237",
                  "1000",
                  "0",
                  "False",
                  "16777215",
                  "0",
                  "0",
                  "3",
                  "255",
                  "16711680",
                  "255",
                  "16711680",
                  "20",
                  "10",
                  "255",
                  "1000",
                  "0",
                  "5.5",
                  "",
                  "-100"});
    text += Line({"[SCREEN-VIDEO]", "14.69351", "-86.17347", video ? "5856480" : "0", position, "0",
                  "7", "C:\\video\\clip.mpg"});
    text += Line({"[SCREEN-CAPTION]", "16777215", "1", std::string("Caption\0line two", 16), "1",
                  "255", "0", "Arial", "12", "2.002457", "1.033028", "4"});
  }
  return text;
}

std::string LargePackage() {
  const std::string player(225280, 'P');
  char trailer[32];
  std::snprintf(trailer, sizeof trailer, "%020zu", player.size());
  return player + LargeConfiguration() + trailer;
}

class BytesFile final : public InputFile {
 public:
  explicit BytesFile(const std::string& bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset >= bytes_.size()) return std::size_t{0};
    const std::size_t count = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
    std::memcpy(buffer.data(), bytes_.data() + offset, count);
    return count;
  }

 private:
  const std::string& bytes_;
};

void ReportShape(benchmark::State& state, const Package& package, std::size_t bytes) {
  if (package.Screens.size() != kGroups || package.AudioTracks.size() != 5) {
    state.SkipWithError("the package did not read as expected");
  }
  state.counters["screens"] = static_cast<double>(package.Screens.size());
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) * 1e-6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ParseConfiguration(benchmark::State& state) {
  const std::string text = LargeConfiguration();
  Package package;
  for (auto _ : state) {
    package = Package();
    benchmark::DoNotOptimize(ParseConfiguration(text, package));
  }
  ReportShape(state, package, text.size());
}
BENCHMARK(BM_ParseConfiguration)->Unit(benchmark::kMillisecond);

void BM_ReadPackageFile(benchmark::State& state) {
  const std::string bytes = LargePackage();
  Package package;
  for (auto _ : state) {
    BytesFile file(bytes);
    package = Package();
    benchmark::DoNotOptimize(ReadPackageFile(file, package));
  }
  ReportShape(state, package, bytes.size());
}
BENCHMARK(BM_ReadPackageFile)->Unit(benchmark::kMillisecond);

// One field conversion at a time, over the kinds of text a package holds:
// plain integers and decimals (nearly every field), numbers that only the
// general reading takes, and fields that do not convert at all (empty or
// text), which resume-next skips.
enum class FieldTexts { kPlainIntegers, kPlainDecimals, kGeneral, kFailing };

void BM_FieldConversions(benchmark::State& state) {
  static constexpr std::array<std::string_view, 8> kPlainIntegers = {
      "0", "16711680", "-100", "225282", "38000", "1000", "255", "5856480"};
  static constexpr std::array<std::string_view, 8> kPlainDecimals = {
      "2.000164", "-86.17347", "5.5", "14.69351", "1.033028", "0", "2.002457", "100"};
  static constexpr std::array<std::string_view, 8> kGeneral = {
      " 12", "1e2", "&HFF", "2.5", "3.4028235e38", "16777217", "1.0000000596", "-7.25D1"};
  static constexpr std::array<std::string_view, 8> kFailing = {"", "abc", "1,000", "-",
                                                               "", "x1",  "",      "1e"};
  const auto kind = static_cast<FieldTexts>(state.range(0));
  const auto& texts = kind == FieldTexts::kPlainIntegers   ? kPlainIntegers
                      : kind == FieldTexts::kPlainDecimals ? kPlainDecimals
                      : kind == FieldTexts::kGeneral       ? kGeneral
                                                           : kFailing;
  const bool toLong = kind != FieldTexts::kPlainDecimals;
  const bool toSingle = kind != FieldTexts::kPlainIntegers;
  for (auto _ : state) {
    for (const std::string_view text : texts) {
      if (toLong) benchmark::DoNotOptimize(TextToLong(text));
      if (toSingle) benchmark::DoNotOptimize(TextToSingle(text));
    }
  }
  const auto perRound =
      static_cast<std::int64_t>(texts.size()) * ((toLong ? 1 : 0) + (toSingle ? 1 : 0));
  state.SetItemsProcessed(state.iterations() * perRound);
  static constexpr std::array<const char*, 4> kLabels = {
      "plain integers to Long", "plain decimals to Single", "general forms to both",
      "failing to both"};
  state.SetLabel(kLabels[static_cast<std::size_t>(state.range(0))]);
}
BENCHMARK(BM_FieldConversions)->DenseRange(0, 3);

class BenchProcess final : public ProcessInfo {
 public:
  explicit BenchProcess(std::string folder) : folder_(std::move(folder)) {}
  std::string AppFolder() const override { return folder_; }
  std::string ExeBaseName() const override { return "BenchShow"; }
  char PathSeparator() const override { return '/'; }

 private:
  std::string folder_;
};

class NoMessages final : public MessageBoxes {
 public:
  int Show(std::string_view, std::uint32_t, std::string_view) override { return kIdOk; }
};

// The whole of a player's start-up read: find the file, open it, read it.
void BM_LoadPackageFromDisk(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "vistel-package-bench";
  std::filesystem::create_directories(folder);
  const std::string bytes = LargePackage();
  std::ofstream(folder / "BenchShow.scr", std::ios::binary | std::ios::trunc) << bytes;

  const auto files = MakeNativeFileSystem();
  const BenchProcess process(folder.string());
  NoMessages messages;
  int pumps = 0;
  const PackageReaderServices services{*files, process, messages, nullptr, [&pumps] { ++pumps; }};
  Package package;
  for (auto _ : state) {
    package = Package();
    if (LoadPackage(services, std::nullopt, package) != PackageLoad::Loaded)
      state.SkipWithError("LoadPackage failed");
  }
  ReportShape(state, package, bytes.size());
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadPackageFromDisk)->Unit(benchmark::kMillisecond);

}  // namespace
