#include "base/error.hpp"

namespace vistel {

std::string DescribeError(ErrorCode code) {
  switch (code) {
    case ErrorCode::InvalidProcedureCall:
      return "Invalid procedure call or argument";
    case ErrorCode::Overflow:
      return "Overflow";
    case ErrorCode::OutOfMemory:
      return "Out of memory";
    case ErrorCode::SubscriptOutOfRange:
      return "Subscript out of range";
    case ErrorCode::DivisionByZero:
      return "Division by zero";
    case ErrorCode::TypeMismatch:
      return "Type mismatch";
    case ErrorCode::BadFileNameOrNumber:
      return "Bad file name or number";
    case ErrorCode::FileNotFound:
      return "File not found";
    case ErrorCode::BadFileMode:
      return "Bad file mode";
    case ErrorCode::DeviceIoError:
      return "Device I/O error";
    case ErrorCode::FileAlreadyExists:
      return "File already exists";
    case ErrorCode::DiskFull:
      return "Disk full";
    case ErrorCode::InputPastEndOfFile:
      return "Input past end of file";
    case ErrorCode::PermissionDenied:
      return "Permission denied";
    case ErrorCode::PathFileAccessError:
      return "Path/File access error";
    case ErrorCode::PathNotFound:
      return "Path not found";
    case ErrorCode::InvalidPropertyValue:
      return "Invalid property value";
    case ErrorCode::InvalidPackage:
      return "Invalid screen saver file";
  }
  // A number cast into the enum from outside the list gets the runtime's
  // text for numbers it has no description of.
  return "Application-defined or object-defined error";
}

}  // namespace vistel
