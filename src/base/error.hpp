// Errors and the three error policies of the original program.
//
// Every routine of the original runs under one of three policies:
//  - resume-next: a statement that fails is skipped and the next one runs;
//  - trap and report: any failure shows a message and gives a default result;
//  - no handler: the first failure ends the routine and goes to the caller.
// Fallible operations return Result<T>; the helpers below apply a policy to
// such results so that a routine states its policy once instead of scattering
// checks or try/catch through its body.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/expected.hpp"

namespace vistel {

// Error numbers as the original's runtime raises them; descriptions match its
// wording because some of them reach message boxes.
enum class ErrorCode : std::int32_t {
  InvalidProcedureCall = 5,
  Overflow = 6,
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  TypeMismatch = 13,
  BadFileNameOrNumber = 52,
  FileNotFound = 53,
  BadFileMode = 54,
  DeviceIoError = 57,
  FileAlreadyExists = 58,
  DiskFull = 61,
  InputPastEndOfFile = 62,
  PermissionDenied = 70,
  PathFileAccessError = 75,
  PathNotFound = 76,
  InvalidPropertyValue = 380,
  InvalidPackage = 1001,  // ours: a package file that cannot be a show
};

// The standard description of an error number ("Overflow", "Type mismatch", ...).
std::string DescribeError(ErrorCode code);

struct Error {
  ErrorCode code = ErrorCode::InvalidProcedureCall;
  std::string description;

  Error() = default;
  explicit Error(ErrorCode c) : code(c), description(DescribeError(c)) {}
  Error(ErrorCode c, std::string text) : code(c), description(std::move(text)) {}

  friend bool operator==(const Error& a, const Error& b) { return a.code == b.code; }
};

template <class T>
using Result = expected<T, Error>;
using Status = expected<void, Error>;

inline unexpected<Error> Fail(ErrorCode code) {
  return unexpected<Error>(Error(code));
}
inline unexpected<Error> Fail(ErrorCode code, std::string text) {
  return unexpected<Error>(Error(code, std::move(text)));
}
inline unexpected<Error> Fail(Error error) {
  return unexpected<Error>(std::move(error));
}

// resume-next: the routine's record of the last skipped failure (the original's
// Err object). Statements run through it; a failed one leaves its target as it
// was and only the record changes.
// resume-next where nothing reads the record: a failed statement is skipped
// and its error forgotten, and the routine goes on.
inline void Skip(const Status&) {}

class ResumeNext {
 public:
  // Assigns the value when the conversion succeeded; otherwise keeps target.
  template <class T, class U>
  bool Assign(T& target, Result<U> result) {
    if (!result) {
      last_ = std::move(result.error());
      failed_ = true;
      return false;
    }
    target = static_cast<T>(std::move(*result));
    return true;
  }
  // Runs a fallible statement; a failure is recorded and skipped.
  bool Run(Status status) {
    if (!status) {
      last_ = status.error();
      failed_ = true;
      return false;
    }
    return true;
  }
  bool Failed() const { return failed_; }
  const Error& LastError() const { return last_; }
  void Clear() {
    failed_ = false;
    last_ = Error();
  }

 private:
  Error last_;
  bool failed_ = false;
};

}  // namespace vistel
