#include "base/error.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <set>
#include <string>

#include "base/conversions.hpp"

namespace vistel {
namespace {

TEST(DescribeError, StandardRuntimeTexts) {
  EXPECT_EQ(DescribeError(ErrorCode::InvalidProcedureCall), "Invalid procedure call or argument");
  EXPECT_EQ(DescribeError(ErrorCode::Overflow), "Overflow");
  EXPECT_EQ(DescribeError(ErrorCode::TypeMismatch), "Type mismatch");
  EXPECT_EQ(DescribeError(ErrorCode::DeviceIoError), "Device I/O error");
  EXPECT_EQ(DescribeError(ErrorCode::PathFileAccessError), "Path/File access error");
  EXPECT_EQ(DescribeError(ErrorCode::InputPastEndOfFile), "Input past end of file");
  EXPECT_EQ(DescribeError(ErrorCode::InvalidPackage), "Invalid screen saver file");
  EXPECT_EQ(DescribeError(static_cast<ErrorCode>(12345)),
            "Application-defined or object-defined error");
}

TEST(DescribeError, EveryKnownCodeHasItsOwnText) {
  const ErrorCode codes[] = {
      ErrorCode::InvalidProcedureCall, ErrorCode::Overflow,          ErrorCode::OutOfMemory,
      ErrorCode::SubscriptOutOfRange,  ErrorCode::DivisionByZero,    ErrorCode::TypeMismatch,
      ErrorCode::BadFileNameOrNumber,  ErrorCode::FileNotFound,      ErrorCode::BadFileMode,
      ErrorCode::DeviceIoError,        ErrorCode::FileAlreadyExists, ErrorCode::DiskFull,
      ErrorCode::InputPastEndOfFile,   ErrorCode::PermissionDenied,  ErrorCode::PathFileAccessError,
      ErrorCode::PathNotFound,         ErrorCode::InvalidPackage};
  std::set<std::string> texts;
  for (const ErrorCode code : codes) {
    const std::string text = DescribeError(code);
    EXPECT_NE(text, DescribeError(static_cast<ErrorCode>(12345)))
        << "code " << static_cast<int>(code) << " has no text of its own";
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(codes));
  EXPECT_EQ(Error(ErrorCode::FileNotFound).description, "File not found");
}

TEST(ResumeNext, FailedAssignmentKeepsTheTargetAndRecordsTheError) {
  ResumeNext resume;
  std::int16_t kind = 7;
  EXPECT_FALSE(resume.Assign(kind, TextToInteger("abc")));
  EXPECT_EQ(kind, 7);
  EXPECT_TRUE(resume.Failed());
  EXPECT_EQ(resume.LastError().code, ErrorCode::TypeMismatch);
  EXPECT_EQ(resume.LastError().description, "Type mismatch");

  // A later success changes the target but not the record of the failure.
  EXPECT_TRUE(resume.Assign(kind, TextToInteger("12")));
  EXPECT_EQ(kind, 12);
  EXPECT_TRUE(resume.Failed());

  // The record holds the last failure.
  EXPECT_FALSE(resume.Assign(kind, TextToInteger("40000")));
  EXPECT_EQ(kind, 12);
  EXPECT_EQ(resume.LastError().code, ErrorCode::Overflow);

  resume.Clear();
  EXPECT_FALSE(resume.Failed());
}

TEST(ResumeNext, AssignConvertsToTheTargetType) {
  ResumeNext resume;
  std::int32_t wide = 0;
  EXPECT_TRUE(resume.Assign(wide, TextToInteger("-5")));
  EXPECT_EQ(wide, -5);
  double seconds = 1.0;
  EXPECT_TRUE(resume.Assign(seconds, TextToSingle("0.5")));
  EXPECT_EQ(seconds, 0.5);
  EXPECT_FALSE(resume.Failed());
}

TEST(ResumeNext, RunSkipsAFailedStatement) {
  ResumeNext resume;
  EXPECT_TRUE(resume.Run(Status{}));
  EXPECT_FALSE(resume.Failed());
  EXPECT_FALSE(resume.Run(Fail(ErrorCode::FileNotFound, "show.scr not found")));
  EXPECT_TRUE(resume.Failed());
  EXPECT_EQ(resume.LastError().code, ErrorCode::FileNotFound);
  EXPECT_EQ(resume.LastError().description, "show.scr not found");
}

}  // namespace
}  // namespace vistel
