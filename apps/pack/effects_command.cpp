// effects: the paint-effect catalogue as authors need it, from the table the
// player itself uses: every family with its code ranges and the names of its
// shapes, and on request a sheet with one frame of each family, drawn by the
// player's own effect code.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "commands.hpp"
#include "imaging/effects/effect_catalogue.hpp"
#include "imaging/paint_effect.hpp"
#include "sheet/bitmap_font.hpp"
#include "sheet/contact_sheet.hpp"

namespace vistel::pack {
namespace {

using effects::CodeRange;
using effects::Family;

// Sample frames are drawn this far into the effect: past the middle, where
// most families show both pictures, and short of the colour a fade passes
// through.
constexpr int kSamplePercent = 40;
constexpr int kMaxSampleSide = 1024;

struct FamilyEntry {
  Family family;
  std::vector<const CodeRange*> ranges;
};

// The families in the order of their first code.
std::vector<FamilyEntry> Families() {
  std::vector<FamilyEntry> entries;
  for (const CodeRange& range : effects::CodeRanges()) {
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const FamilyEntry& e) { return e.family == range.family; });
    if (found == entries.end()) {
      entries.push_back({range.family, {}});
      found = entries.end() - 1;
    }
    found->ranges.push_back(&range);
  }
  return entries;
}

std::string RangesText(const FamilyEntry& entry) {
  std::string text;
  for (const CodeRange* range : entry.ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(range->first) + "-" + std::to_string(range->last);
  }
  return text;
}

std::string Joined(std::span<const std::string_view> names) {
  std::string text;
  for (const std::string_view name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

void PrintTable(std::ostream& out) {
  out << "Paint effects: a screen's EffectCode (setting 2 is the duration in ms, 250 to 10000).\n"
         "A code at offset v from the first code of its range has shape v mod shapes and\n"
         "level v / shapes.\n\n";
  char row[160];
  std::snprintf(row, sizeof row, "%-20s %-24s %s\n", "family", "codes", "shapes");
  out << row;
  for (const FamilyEntry& entry : Families()) {
    const auto shapes = effects::ShapeNames(entry.family);
    std::snprintf(row, sizeof row, "%-20s %-24s %s\n",
                  std::string(effects::FamilyName(entry.family)).c_str(), RangesText(entry).c_str(),
                  std::to_string(shapes.size()).c_str());
    out << row << "    shapes: " << Joined(shapes) << "\n"
        << "    level:  " << effects::LevelMeaning(entry.family) << "\n";
  }
  out << "\n1000, and every code outside these ranges: the plain repaint (no animation).\n"
         "-100: a cross-fade of CrossFadeParam steps (image screens only).\n";
}

// The two pictures every sample goes between: cool with an "A", warm with a
// "B", each with lines that show how an effect moves or cuts them.
Image SamplePicture(IntSize size, bool second) {
  Image image(size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      const unsigned u = static_cast<unsigned>(255 * x / std::max(size.width - 1, 1));
      const unsigned v = static_cast<unsigned>(255 * y / std::max(size.height - 1, 1));
      Pixel p = second ? MakePixel(230, 120 + u / 3, 40 + v / 2)
                       : MakePixel(20 + u / 4, 60 + v / 3, 150 + u / 3);
      const bool line = second ? ((x + y) / 6) % 6 == 0 : (x % 32 == 0 || y % 32 == 0);
      if (line) p = second ? MakePixel(250, 230, 200) : MakePixel(170, 200, 240);
      image.At(x, y) = p;
    }
  }
  const int scale = std::max(1, std::min(size.width, size.height) / 14);
  const std::string_view letter = second ? "B" : "A";
  DrawText(image, (size.width - 5 * scale) / 2, (size.height - kGlyphHeight * scale) / 2, letter,
           second ? MakePixel(90, 20, 60) : MakePixel(255, 255, 255), scale);
  return image;
}

EffectSettings SampleSettings() {
  EffectSettings settings{};
  settings[1] = 1000;                                       // duration
  settings[3] = 7;                                          // seed of the random orders
  settings[5] = ColorRefFromPixel(MakePixel(200, 30, 30));  // colours 1 to 4
  settings[6] = ColorRefFromPixel(MakePixel(30, 160, 60));
  settings[7] = ColorRefFromPixel(MakePixel(40, 60, 200));
  settings[8] = ColorRefFromPixel(MakePixel(230, 200, 40));
  settings[10] = 8;  // grain
  return settings;
}

int WriteEffectsSheet(const std::string& path, IntSize size, int columns) {
  const Image from = SamplePicture(size, false);
  const Image to = SamplePicture(size, true);
  const EffectSettings settings = SampleSettings();
  std::vector<SheetCell> cells;
  for (const FamilyEntry& entry : Families()) {
    const int code = entry.ranges.front()->first;
    SheetCell cell;
    auto animation = MakePaintEffect(code, settings, from, to);
    if (animation) {
      Image frame;
      animation->RenderFrame(animation->Duration() * kSamplePercent / 100, frame);
      cell.frames.push_back({std::move(frame), {}});
    } else {
      cell.frames.push_back({{}, "no animation for code " + std::to_string(code)});
    }
    const auto recipe = effects::DescribeEffect(code);
    const auto shapes = effects::ShapeNames(entry.family);
    cell.label.push_back(std::string(effects::FamilyName(entry.family)) + ": " + RangesText(entry));
    cell.label.push_back(
        std::to_string(code) + " " +
        (recipe ? std::string(shapes[static_cast<std::size_t>(recipe->shape)]) : "") + ", at " +
        std::to_string(kSamplePercent) + " %");
    cells.push_back(std::move(cell));
  }
  SheetLayout layout;
  layout.columns = columns;
  layout.thumbnail = size;
  layout.title =
      "paint effects: one frame of each family, " + std::to_string(kSamplePercent) + " % into 1 s";
  auto sheet = ComposeSheet(cells, layout);
  if (!sheet) {
    Report(sheet.error().description);
    return kExitProblem;
  }
  if (auto written = WriteSheetPicture(*sheet, path); !written) {
    Report(path + ": " + written.error().description);
    return kExitProblem;
  }
  std::cout << "wrote " << path << " (" << sheet->Width() << "x" << sheet->Height()
            << "): " << cells.size() << " families\n";
  return kExitOk;
}

std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

int RunEffects(const std::vector<std::string>& args, std::string_view /*selfPath*/) {
  std::string error;
  const auto parsed = ParseArgs(args, {{"--sheet", "--size", "--columns"}, {}}, error);
  if (!parsed) return UsageError("effects", error);
  if (!parsed->positionals.empty()) {
    return UsageError("effects", "unexpected argument '" + parsed->positionals.front() + "'");
  }
  PrintTable(std::cout);
  const auto sheet = parsed->values.find("--sheet");
  if (sheet == parsed->values.end()) {
    if (parsed->values.contains("--size") || parsed->values.contains("--columns")) {
      return UsageError("effects", "--size and --columns go with --sheet PNG");
    }
    return kExitOk;
  }
  IntSize size{240, 180};
  if (const auto v = parsed->values.find("--size"); v != parsed->values.end()) {
    const auto x = v->second.find_first_of("xX");
    const auto w =
        x == std::string::npos ? std::nullopt : ParseInt(std::string_view(v->second).substr(0, x));
    const auto h =
        x == std::string::npos ? std::nullopt : ParseInt(std::string_view(v->second).substr(x + 1));
    if (!w || !h || *w < 32 || *h < 32 || *w > kMaxSampleSide || *h > kMaxSampleSide) {
      return UsageError("effects",
                        "--size needs WxH, each side 32 to " + std::to_string(kMaxSampleSide));
    }
    size = {*w, *h};
  }
  int columns = 4;
  if (const auto v = parsed->values.find("--columns"); v != parsed->values.end()) {
    const auto n = ParseInt(v->second);
    if (!n || *n < 1 || *n > kMaxSheetColumns) {
      return UsageError("effects", "--columns needs 1 to " + std::to_string(kMaxSheetColumns));
    }
    columns = *n;
  }
  return WriteEffectsSheet(sheet->second, size, columns);
}

}  // namespace vistel::pack
