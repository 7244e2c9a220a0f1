#include "platform/program.hpp"

#include <filesystem>
#include <system_error>

namespace vistel {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return {argv, argv + argc};
}

std::string OwnProgramPath(const std::string& argv0) {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.string();
  const auto absolute = std::filesystem::absolute(argv0, error);
  return error ? argv0 : absolute.string();
}

}  // namespace vistel
