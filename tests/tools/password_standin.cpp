// A stand-in for the Windows 9x screen-saver password libraries, loaded by
// the Windows tests in place of password.cpl and mpr.dll. Its answers and
// its record of the calls go through the environment, so that a test, or a
// player started by a test, can script it:
//
//   VISTEL_STANDIN_REPLIES  comma-separated numbers (decimal, or hex with
//                           0x) that VerifyScreenSavePwd returns, in order;
//                           1 once they run out, and without the variable
//   VISTEL_STANDIN_LOG      a file to which every call appends one line:
//                             verify PARENT
//                             change PROVIDER PARENT RESERVED RESERVED2
//                           (numbers in decimal)
//
// Only kernel32 is used: the library is loaded by programs under test.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Calls of VerifyScreenSavePwd since the library was loaded.
unsigned verifyCalls = 0;

// The environment variable's value, or "" when it is missing or longer than
// the buffer.
void ReadVariable(const char* name, char* buffer, DWORD size) {
  const DWORD length = ::GetEnvironmentVariableA(name, buffer, size);
  if (length == 0 || length >= size) buffer[0] = '\0';
}

// The reply of the given call: the list's item at that index, else 1. An
// item that is not a number reads 1 too.
unsigned ReplyOf(unsigned call) {
  char list[4096];
  ReadVariable("VISTEL_STANDIN_REPLIES", list, sizeof(list));
  const char* item = list;
  for (unsigned i = 0; i < call; ++i) {
    item = std::strchr(item, ',');
    if (item == nullptr) return 1;
    ++item;
  }
  if (*item == '\0') return 1;
  char* end = nullptr;
  const unsigned long value = std::strtoul(item, &end, 0);
  return end != item && (*end == ',' || *end == '\0') ? static_cast<unsigned>(value) : 1;
}

void Log(const char* line) {
  char path[MAX_PATH];
  ReadVariable("VISTEL_STANDIN_LOG", path, sizeof(path));
  if (path[0] == '\0') return;
  HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  ::CloseHandle(file);
}

unsigned long long Number(const void* pointer) {
  return static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(pointer));
}

}  // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND parent) {
  char line[64];
  std::snprintf(line, sizeof(line), "verify %llu\n", Number(parent));
  Log(line);
  return static_cast<BOOL>(ReplyOf(verifyCalls++));
}

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD reserved,
                                           LPVOID reserved2) {
  char line[160];
  std::snprintf(line, sizeof(line), "change %.64s %llu %lu %llu\n",
                provider != nullptr ? provider : "(null)", Number(parent),
                static_cast<unsigned long>(reserved), Number(reserved2));
  Log(line);
  return 0;
}
