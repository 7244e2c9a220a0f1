// The running process: where the player's own file is, and how it ends.
#pragma once

#include <string>

namespace vistel {

class ProcessInfo {
 public:
  virtual ~ProcessInfo() = default;
  // The folder of the running executable, as the system gives it (it may or
  // may not end in a separator).
  virtual std::string AppFolder() const = 0;
  // The executable's file name without folder and extension ("MySaver").
  virtual std::string ExeBaseName() const = 0;
  // The folder separator of this host: "\\" on Windows, "/" elsewhere.
  virtual char PathSeparator() const = 0;
};

// Thrown by hosts that end the process by unwinding (the headless host and
// tests) rather than by exiting; carries the exit code.
struct ProcessEnded {
  int exitCode = 0;
};

class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  // Ends the process; nothing after the call runs.
  [[noreturn]] virtual void EndProcess(int exitCode) = 0;
};

}  // namespace vistel
