// The Windows host's show window as the player's start-up places it for
// "/p HWND" (a child filling the preview area of the Screen Saver settings)
// and the about window of "/c" and "/c:HWND", read back through the
// system's own window calls. Wine draws no child of another process, so the
// parent here is a window of the test itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "hosts/win32/win32_host.hpp"
#include "hosts/win32/windows_api.hpp"
#include "package/writer.hpp"
#include "startup/player.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

HWND HwndOf(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

std::string Decimal(HWND window) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

// A package of one coloured screen behind a few bytes standing for the player.
void WritePackage(const fs::path& path) {
  Package package;
  package.Global.SaverTitle = "Embedded";
  ScreenSettings screen;
  screen.BackgroundColor = 0x402010;
  screen.DisplaySeconds = 5.0F;
  package.Screens.push_back(screen);
  const std::string player = "MZ stand-in for the player";
  const auto text = FormatConfiguration(package);
  ASSERT_TRUE(text) << text.error().description;
  std::ofstream(path, std::ios::binary)
      << player << *text << FormatTrailer(static_cast<std::int32_t>(player.size()));
}

LRESULT CALLBACK ParentProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  return ::DefWindowProcW(window, message, w, l);
}

class Win32Embedding : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ParentProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VistelTestPreviewArea";
    ::RegisterClassW(&windowClass);
    parent_ = ::CreateWindowExW(0, L"VistelTestPreviewArea", L"Display Properties",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 180, 150, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (parent_ == nullptr) GTEST_SKIP() << "no windows here (Wine without a display)";
    folder_ =
        fs::temp_directory_path() / ("vistel-embedding-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    WritePackage(folder_ / "show.scr");
  }
  void TearDown() override {
    player_.reset();
    host_.reset();
    if (parent_ != nullptr) ::DestroyWindow(parent_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Start-up with the command line, on a Windows host of its own.
  void Start(const std::string& commandLine) {
    PlayerOptions options;
    options.packagePath = (folder_ / "show.scr").string();
    options.registryPath = (folder_ / "registry.reg").string();
    options.tempDir = (folder_ / "temp").string();
    options.systemDir = (folder_ / "system").string();
    auto host = Win32Host::Create(options, (folder_ / "show.scr").string());
    ASSERT_TRUE(host) << host.error().description;
    host_ = std::move(*host);
    player_ = std::make_unique<Player>(*host_, PlayerSettings{options.packagePath, 1, {}, {}});
    player_->Main(commandLine);
  }

  HWND ShowWindow() const { return HwndOf(host_->ShowWindow().Handle()); }

  HWND parent_ = nullptr;
  fs::path folder_;
  std::unique_ptr<Win32Host> host_;
  std::unique_ptr<Player> player_;
};

TEST_F(Win32Embedding, PreviewMakesTheShowAChildFillingTheParentsClientArea) {
  ASSERT_NO_FATAL_FAILURE(Start("/p " + Decimal(parent_)));
  const HWND show = ShowWindow();
  ASSERT_NE(show, nullptr);

  EXPECT_EQ(::GetParent(show), parent_);
  EXPECT_EQ(::GetAncestor(show, GA_PARENT), parent_);
  EXPECT_EQ(::GetAncestor(show, GA_ROOT), parent_);
  const LONG_PTR style = ::GetWindowLongPtrW(show, GWL_STYLE);
  EXPECT_NE(style & WS_CHILD, 0) << "style 0x" << std::hex << style;
  EXPECT_EQ(style & WS_POPUP, 0) << "a child and a pop-up at once has no parent: style 0x"
                                 << std::hex << style;
  EXPECT_TRUE(::IsWindowVisible(show));
  EXPECT_EQ(::GetWindowLongPtrW(show, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  RECT parentClient{};
  RECT showClient{};
  RECT showOnScreen{};
  ::GetClientRect(parent_, &parentClient);
  ::GetClientRect(show, &showClient);
  ::GetWindowRect(show, &showOnScreen);
  EXPECT_EQ(showClient.right, parentClient.right);
  EXPECT_EQ(showClient.bottom, parentClient.bottom);
  POINT origin{0, 0};
  ::ClientToScreen(parent_, &origin);
  EXPECT_EQ(showOnScreen.left, origin.x) << "at the parent's client origin";
  EXPECT_EQ(showOnScreen.top, origin.y);
  EXPECT_NE(::GetActiveWindow(), show) << "placed without being activated";

  // The core's own view of the window agrees with the system's.
  EXPECT_EQ(host_->ShowWindow().RectPixels(),
            (IntRect{0, 0, parentClient.right, parentClient.bottom}));
  EXPECT_NE(host_->ShowWindow().GetWindowLong(kGwlStyle) & kWsChild, 0);
}

// "/c" opens the about window whatever follows it: the window is not owned
// by the window a handle after the switch names.
TEST_F(Win32Embedding, TheAboutWindowStandsAloneWithOrWithoutAHandle) {
  for (const std::string& commandLine : {std::string("/c"), "/c:" + Decimal(parent_)}) {
    SCOPED_TRACE(commandLine);
    ASSERT_NO_FATAL_FAILURE(Start(commandLine));
    const HWND about = ::FindWindowW(L"VistelAboutWindow", nullptr);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindow(about, GW_OWNER), nullptr);
    EXPECT_EQ(::GetParent(about), nullptr);
    EXPECT_EQ(::GetAncestor(about, GA_PARENT), ::GetDesktopWindow());
    EXPECT_TRUE(::IsWindowVisible(about));
    EXPECT_FALSE(::IsWindowVisible(ShowWindow())) << "no show runs beside it";
    player_.reset();
    host_.reset();
    EXPECT_EQ(::FindWindowW(L"VistelAboutWindow", nullptr), nullptr);
  }
}

}  // namespace
}  // namespace vistel
