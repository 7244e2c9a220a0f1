// The reproducers of faults that fuzzing found, kept in fuzz/findings/RUN/
// (RUN as fuzz/run.sh names its runs): the tests that keep each fault mended
// read them from there. ctest passes the folder in VISTEL_FUZZ_FINDINGS; a
// test binary started by hand from a preset's build folder finds it too.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vistel::testing {

inline std::filesystem::path FuzzFindingsFolder() {
  if (const char* given = std::getenv("VISTEL_FUZZ_FINDINGS")) return given;
  // build/PRESET/tests/BINARY -> fuzz/findings
  std::error_code ec;
  const auto binary = std::filesystem::read_symlink("/proc/self/exe", ec);
  return binary.parent_path().parent_path().parent_path().parent_path() / "fuzz" / "findings";
}

inline std::string ReadFuzzFinding(std::string_view run, std::string_view name) {
  const auto path = FuzzFindingsFolder() / run / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the fuzz finding " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vistel::testing
