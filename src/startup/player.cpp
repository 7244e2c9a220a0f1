#include "startup/player.hpp"

#include <chrono>
#include <cmath>

#include "about/about_window.hpp"
#include "base/conversions.hpp"
#include "base/text.hpp"
#include "music/audio_playlist.hpp"
#include "music/music_module.hpp"
#include "package/extract.hpp"
#include "package/folders.hpp"
#include "package/reader.hpp"
#include "show/show_state.hpp"
#include "system/settings_reg.hpp"
#include "system/win_os.hpp"
#include "uninstall/uninstall.hpp"
#include "window/main_window.hpp"

namespace vistel {

inline constexpr std::string_view kPreviewHandleMessage =
    "The selected screen saver could not determine the handle of the preview area of the "
    "Display Properties dialog.";
// The class of the show window, by which a second start finds a running show.
inline constexpr std::string_view kShowWindowClass = "ThunderRT6FormDC";

WindowHandle ParsePreviewHandle(std::string_view normalisedCommandLine) {
  if (normalisedCommandLine.size() <= 2) return 0;
  const auto value = Val(normalisedCommandLine.substr(2));
  if (!value || !std::isfinite(*value)) return 0;
  // A handle is a whole number: a fraction rounds as every conversion to an
  // integer does, to the nearest with ties to even (4659.6 names 4660).
  const double whole = RoundHalfToEven(*value);
  if (whole < 0.0 || whole >= 18446744073709551616.0) return 0;
  return static_cast<WindowHandle>(whole);
}

namespace {

// The saver's own file as "/i" registers it. A package named on the command
// line stands for the player's file (a package is a copy of the player with
// the show appended), so the entry names the show, not the program playing it.
class SaverFile final : public ProcessInfo {
 public:
  SaverFile(const ProcessInfo& process, const std::optional<std::string>& packagePath)
      : process_(process), packagePath_(packagePath) {}

  std::string AppFolder() const override { return process_.AppFolder(); }
  std::string ExeBaseName() const override {
    if (!packagePath_) return process_.ExeBaseName();
    const std::string& path = *packagePath_;
    const auto slash = path.find_last_of(std::string("/") + process_.PathSeparator());
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Only the last extension goes; a leading dot starts a name.
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
  }
  char PathSeparator() const override { return process_.PathSeparator(); }

 private:
  const ProcessInfo& process_;
  const std::optional<std::string>& packagePath_;
};

}  // namespace

struct Player::Parts {
  Parts(Host& h, PlayerSettings s)
      : host(h),
        settings(std::move(s)),
        registry(h.Registry(), h.Messages()),
        winOS(h.OsVersion()),
        window(MainWindowServices{h.Events(), h.Screen(), h.ShowWindow(), h.Password(), registry,
                                  winOS, h.Control(), h.Tracer(), h.Pictures(), h.Clips(),
                                  h.Fonts(), h.Audio(),
                                  [this]() -> MusicModule& { return Music(); }, settings.explain},
               state),
        about(h.AboutWindow(), h.Control(), h.Tracer(), settings.aboutNote) {}

  // MusicPlayer: created on first use, lives until the process ends.
  MusicModule& Music() {
    if (!music) {
      music = std::make_unique<MusicModule>(
          MusicModule::Services{host.Mci(), host.Messages(), host.Files(), host.Events(),
                                [this] { host.Events().DoEvents(); }});
    }
    return *music;
  }

  void TraceMode(std::string_view mode) {
    host.Tracer().Write("mode", {{"mode", std::string(mode)}});
  }

  bool LoadShowPackage() {
    const PackageReaderServices services{
        host.Files(),
        host.Process(),
        host.Messages(),
        [this] { window.SetVisible(false); },
        [this] { host.Events().DoEvents(); },
        [this](PackageProblem problem) {
          if (!settings.explain) return;
          settings.explain(state.package.PackageFileName + ": " +
                           std::string(DescribePackageProblem(problem)));
        }};
    if (LoadPackage(services, settings.packagePath, state.package) == PackageLoad::Refused) {
      return false;
    }
    host.Tracer().Write("package",
                        {{"path", state.package.PackageFileName},
                         {"screens", static_cast<std::int64_t>(state.package.Screens.size())},
                         {"tracks", static_cast<std::int64_t>(state.package.AudioTracks.size())}});
    return true;
  }

  std::uint64_t Seed() const {
    if (settings.seed) return *settings.seed;
    return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  }

  void CommonShowStart() {
    state.TempFolder = GetTempFolder(host.Folders(), host.Process(), AddSlash::Yes);  // 1
    window.Load();                                                                    // 2
    if (!LoadShowPackage()) {                                                         // 3
      window.Close("startup", 1, CloseOrigin::Startup);
      return;
    }
    extractor = std::make_unique<MediaExtractor>(host.Files(), state.package.PackageFileName,
                                                 host.Tracer());
    window.SetExtractor(extractor.get());

    // 4. The first screen.
    ShowEngine& engine = window.Engine();
    std::int32_t first = 0;
    if (state.package.Global.RandomScreenOrder) {
      engine.Random().Randomize(Seed());
      first = engine.PickRandomScreen();
    }
    engine.ShowScreen(first);

    // 5. The music, never in preview.
    playlist = std::make_unique<AudioPlaylist>(Music(), host.Files(), *extractor,
                                               state.package.AudioTracks,
                                               state.package.Global.RepeatAudio, state.TempFolder);
    playlist->SetTrackFailure(
        [this](std::int16_t track, const std::string& file, std::uint32_t rc) {
          const std::string reason = DescribeMciResult(rc);
          host.Tracer().Write(
              "media",
              {{"track", std::int64_t{track}}, {"kind", std::string("audio")}, {"reason", reason}});
          if (settings.explain) {
            settings.explain("track " + std::to_string(track) + " audio " + file +
                             ": not played: " + reason);
          }
        });
    window.SetPlaylist(playlist.get());
    const MusicPlacement placement =
        state.InPreview() ? MusicPlacement::Preview : MusicPlacement::Show;
    if (playlist->StartMusic(placement) == MusicStart::NoMusic) window.tmrAudio->SetEnabled(false);

    // 6.
    window.LEADScreen.SetShowActive(true);
    window.timInterval->SetEnabled(true);
    window.SetVisible(true);
    state.UserInputSeen = false;
  }

  Host& host;
  PlayerSettings settings;
  SettingsReg registry;
  WinOS winOS;
  ShowState state;
  std::unique_ptr<MusicModule> music;
  MainWindow window;
  AboutWindow about;
  std::unique_ptr<MediaExtractor> extractor;
  std::unique_ptr<AudioPlaylist> playlist;
};

Player::Player(Host& host, PlayerSettings settings)
    : parts_(std::make_unique<Parts>(host, std::move(settings))) {}

Player::~Player() = default;

void Player::Main(std::string_view commandLine) {
  Parts& p = *parts_;
  Host& host = p.host;
  const std::string normalised = AsciiLower(TrimBlanks(commandLine));
  const std::string_view switchText = std::string_view(normalised).substr(0, 2);

  if (switchText == "/p") {
    p.TraceMode("p");
    const WindowHandle handle = ParsePreviewHandle(normalised);
    if (!host.Screen().IsWindow(handle)) {
      host.Messages().Show(kPreviewHandleMessage, kMbExclamationAlert, "");
      host.Control().EndProcess(1);
    }
    p.state.PreviewMode = 1;
    p.window.Load();
    p.window.EmbedInPreview(handle);
    p.CommonShowStart();
    return;
  }
  if (switchText == "/a" && p.winOS.IsWin9x()) {
    p.TraceMode("a");
    WindowHandle handle = ParsePreviewHandle(normalised);
    if (!host.Screen().IsWindow(handle)) handle = 0;
    host.Password().PwdChangePassword(handle);
    // The original went on into a show in a window of the design size, which
    // nobody asked for; changing the password is all this switch does.
    host.Control().EndProcess(0);
  }
  if (switchText == "/c") {
    p.TraceMode("c");
    if (!p.LoadShowPackage()) {
      p.window.Close("startup", 1, CloseOrigin::Startup);
      return;
    }
    p.about.Show(p.state.package.Global);
    return;
  }
  if (switchText == "/i") {
    p.TraceMode("i");
    const SaverFile saver(host.Process(), p.settings.packagePath);
    UninstallRegistration registration(host.Files(), p.registry, saver, [&host] {
      return GetSystemFolder(host.Folders(), host.Process(), AddSlash::Yes);
    });
    (void)registration.RegisterUninstall();  // a failure ends the registration, not the program
    host.Control().EndProcess(0);
  }
  // "/s", and anything else.
  p.TraceMode("s");
  if (host.Screen().FindWindow(kShowWindowClass, kApplicationTitle)) host.Control().EndProcess(0);
  p.window.PlaceShowWindow();
  p.CommonShowStart();
}

}  // namespace vistel
