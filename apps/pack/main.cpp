// vistel-pack: builds packages from a show description and looks into them.
#include <iostream>
#include <string>
#include <vector>

#include "commands.hpp"
#include "platform/program.hpp"

namespace vistel::pack {
namespace {

#ifdef VISTEL_PACK_DECODES
#define VISTEL_PACK_MEDIA_DEPTH "decodes every medium as the Linux player does"
#else
#define VISTEL_PACK_MEDIA_DEPTH \
  "has no decoders: it reads what the media's headers say, and decodes MPEG-1 clips alone"
#endif

constexpr std::string_view kBuildHelp =
    R"(Usage: vistel-pack build SHOW.json -o OUT.scr [--player PATH] [--permissive]

Builds a package: a copy of the player followed by the media that SHOW.json
names, the configuration text and the trailer. Media paths in SHOW.json are
relative to its folder; docs/show-format.md describes the file.

Before writing, it checks what the player would do: a value outside its
field's range (docs/show-format.md), and a medium that is not of the kind
its place needs, cannot be decoded or is over the player's limits, are
errors; a picture larger than an 800x600 screen at ImageSizing 0, a photo
stored turned, and screen transitions that RandomEffects overrides are
warnings. This build )" VISTEL_PACK_MEDIA_DEPTH R"(.

Options:
  -o, --output OUT.scr  the package to write (replaced when it exists)
  --player PATH         the player to copy: an ELF or PE executable; by
                        default the first vistel-player found next to
                        vistel-pack, in the build tree (BUILD/apps/player
                        beside BUILD/apps/pack) or on PATH
  --permissive          write the package despite those errors, reporting
                        them as warnings (test packages, old shows)
)";

constexpr std::string_view kInspectHelp = R"(Usage: vistel-pack inspect PACKAGE [--json]

Reads PACKAGE as the player does and lists every field of every record: the
[GLOBAL] settings, the audio tracks and the screens (numbered from 0).

Options:
  --json  print one JSON object: PackageFileName, ConfigOffset, the [GLOBAL]
          fields by name, AudioTracks and Screens as arrays of records
)";

constexpr std::string_view kCheckHelp = R"(Usage: vistel-pack check PACKAGE [--layout-only]

Checks the layout (trailer, configuration text, screen groups) and the range
of every medium the player would extract: it must start at position 1 or
later and end before the configuration text. Then every medium is checked as
its place uses it (a picture, an MPEG-1 clip, a sound): one the player cannot
decode is a problem; field values outside their ranges, pictures larger than
an 800x600 screen at ImageSizing 0 and photos stored turned are warnings
(old packages must still be inspected). This build )" VISTEL_PACK_MEDIA_DEPTH R"(.
Prints each problem with its screen or track (numbered from 0); exits with 0
only for a sound package.

Options:
  --layout-only  check the layout and the media ranges alone
)";

constexpr std::string_view kExtractHelp = R"(Usage: vistel-pack extract PACKAGE DIR

Copies every medium the player would extract into DIR, one file each, named
by screen or track and kind, with the extension of its content
(screen-000-background.jpg, screen-003-video.mpg, track-01-audio.mp3): .jpg,
.png, .bmp, .gif, .tif, .mpg, .avi, .wav, .mp3, .mp2 or .mid, recognised by
the first bytes; content of another kind keeps a track's source extension
and no extension otherwise. Files are replaced, never written through a link.
Writes DIR/manifest.json with each file's name, position, length, bytes
written and whether the whole range was there.
)";

constexpr std::string_view kDemoHelp =
    R"(Usage: vistel-pack demo -o OUT.scr [--player PATH] [--media-dir DIR]

Builds a demo package from media that vistel-pack makes itself: pictures
drawn by code (JPEG, PNG with and without transparency, BMP; large ones that
the player shrinks and small ones that it enlarges), a four-second MPEG-1
clip with sound, and a tune as WAV and as MIDI. The show has ten screens of
about four seconds: colour and picture backgrounds, every image sizing mode,
captions, paint effects of every group, a cross-fade, a video screen and the
two tracks as music, repeated. The same player gives the same bytes on every
run. The package is read back as the player reads it before it is kept.

Options:
  -o, --output OUT.scr  the package to write (replaced when it exists)
  --player PATH         the player to copy: an ELF or PE executable; by
                        default the first vistel-player found next to
                        vistel-pack, in the build tree (BUILD/apps/player
                        beside BUILD/apps/pack) or on PATH
  --media-dir DIR       also keep the media files in DIR (created when
                        missing; files of the same names are replaced),
                        with DIR/show.json, the show over them: change it
                        and build it with 'vistel-pack build'
)";

constexpr std::string_view kRepackHelp =
    R"(Usage: vistel-pack repack OLD.scr -o NEW.scr [--player PATH]

Moves the show of OLD.scr (a package made for the original player, or by
build) behind another player: NEW.scr is the player followed by OLD's media
and OLD's configuration text, byte for byte, with only the media's position
fields rewritten (in the form they had: zero padding and blanks are kept).
inspect shows the same records for both, apart from the positions.

The old player is every byte before OLD's first medium; it is dropped, with
any zero fill and any bytes no medium uses. Media that share bytes (one file
named twice, or ranges that overlap) share them in NEW too. A range that the
player extracts and that lies outside OLD's media (past the end, into the
configuration text, or before the first byte) is refused; one that is never
played is left as it was, with a note.

Options:
  -o, --output NEW.scr  the package to write (replaced when it exists; never
                        OLD.scr itself)
  --player PATH         the player to put in front, such as vistel-player.exe
                        for Windows (an ELF or PE executable); by default
                        the first vistel-player found next to vistel-pack,
                        in the build tree (BUILD/apps/player beside
                        BUILD/apps/pack) or on PATH
)";

constexpr std::string_view kSlideshowHelp =
    R"(Usage: vistel-pack slideshow PHOTOS_DIR -o OUT.scr [--player PATH] [OPTIONS]

Builds a package of a show from a folder of photos: every JPEG, PNG, BMP, GIF
and TIFF file in PHOTOS_DIR and its sub-folders (hidden files passed over,
each file once however many links lead to it), one screen each, shown as
large as the screen allows with its shape kept, centred on black.

Each photo is turned upright by its Exif orientation and shrunk to at most
--max, once, here, so that the package stays small. A JPEG, PNG or GIF that
stands upright and fits goes in as it is; the others are stored as JPEG
(BMP and TIFF always). A file that is not a picture the player shows is
skipped with a warning naming it; with no usable photo at all nothing is
written. A progress bar shows on a terminal; otherwise only the warnings and
the one-line summary are printed.

Options:
  -o, --output OUT.scr  the package to write (replaced when it exists)
  --player PATH         the player to copy: an ELF or PE executable; by
                        default the first vistel-player found next to
                        vistel-pack, in the build tree (BUILD/apps/player
                        beside BUILD/apps/pack) or on PATH
  --seconds S           how long each photo stays (default 8; 0.5 to 86400)
  --effects KIND        the change between photos: crossfade (the default),
                        random (a paint effect of any group, drawn anew at
                        every change) or none (a plain cut)
  --steps N             the steps of a cross-fade (default 32; 1 to 128)
  --caption names|none  names: each photo's file name without its extension,
                        "_" and "-" as blanks, at the bottom, in the player's
                        code page (Windows-1252: accents that are stored
                        apart are dropped, other characters it lacks show as
                        "?"); none is the default
  --order name|date|shuffle
                        name (the default): by path, numbers by value
                        ("img2" before "img10"); date: by the Exif date the
                        photo was taken, else the file's modification time,
                        oldest first; shuffle: at random, --seed N repeats
                        an order (the summary names the seed it used)
  --max WxH             the largest size a photo is stored at (default
                        3840x2160)
  --music DIR           the MP3, MP2, WAV and MIDI files in DIR (not its
                        sub-folders), in name order, as the show's music,
                        repeated
  --title TEXT          the show's title (default: the folder's name)
)";

constexpr std::string_view kSheetHelp =
    R"(Usage: vistel-pack sheet PACKAGE|SHOW.json -o SHEET.png [OPTIONS]

Draws a contact sheet: every screen of the show as the player shows it at
rest, in a grid of cells labelled with the screen's index, kind (image,
video, background), transition (effect code and family, cross-fade, plain
repaint, or the random effect drawn) and how long it stays. The headless
player plays the show twice on its virtual clock: once with a trace, to
learn when each screen's revealing repaint returned and the next screen
began, and once with a snapshot of each screen at rest (half-way through
its rest, at most one second after the reveal). So the sheet shows what
plays. Each screen is pictured at its first showing; a screen the show
never reaches (one before it stays until input, the run's time ran out)
gets an empty cell that says why. A SHOW.json is built into a temporary
package first, removed afterwards. Prints one line per screen: what it is,
the moments pictured and where their cells lie on the sheet. The same input
and seed give the same sheet.

Options:
  -o, --output SHEET.png  the sheet to write (replaced when it exists)
  --screen WxH            the player's screen, each side 16 to 4096
                          (default 800x600)
  --seed N                seed of the player's random generator (default 1)
  --transitions           also picture each screen half-way through its
                          transition (paint effect or cross-fade)
  --columns N             cells per row, 1 to 16 (default 4, or 2 with
                          --transitions)
  --cell-width PX         width of a picture on the sheet, 64 to 800
                          (default 200)
  --max-seconds N         show time the first run may take at most (default
                          600); the sheet shows the first 200 screens
  --player PATH           the vistel-player to run (and to build SHOW.json
                          with); found as for build when not given
)";

constexpr std::string_view kEffectsHelp =
    R"(Usage: vistel-pack effects [--sheet EFFECTS.png [--size WxH] [--columns N]]

Lists every paint-effect family with its code ranges, the names of its
shapes in order and what its level changes, from the table the player uses
(docs/paint-effects.md explains the codes and settings).

Options:
  --sheet PNG   also draw one frame of each family, 40 % into a one-second
                effect from one generated picture to another, with the
                player's own effect code, in a labelled grid
  --size WxH    the size of each frame, each side 32 to 1024 (default 240x180)
  --columns N   cells per row, 1 to 16 (default 4)
)";

constexpr std::string_view kUsage = R"(Usage: vistel-pack COMMAND [ARGUMENTS]

Commands:
)";

int Help(std::ostream& out) {
  out << kUsage;
  for (const Command& command : Commands()) {
    out << "  " << command.name << std::string(10 - command.name.size(), ' ') << command.synopsis
        << "\n";
  }
  out << "\n'vistel-pack help COMMAND' or 'vistel-pack COMMAND --help' describes a command;\n"
         "'vistel-pack --version' prints the version.\n"
         "Exit codes: 0 done, 1 a problem with the package or the show, 2 a wrong command "
         "line.\n";
  return kExitOk;
}

const Command* Find(std::string_view name) {
  for (const Command& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

int Main(const std::vector<std::string>& arguments) {
  std::vector<std::string> args(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
  if (args.empty()) {
    Help(std::cerr);
    return kExitUsage;
  }
  const std::string name = args.front();
  args.erase(args.begin());
  if (name == "-h" || name == "--help") return Help(std::cout);
  if (name == "--version") {
    std::cout << "vistel-pack " VISTEL_VERSION "\n";
    return kExitOk;
  }
  if (name == "help") {
    if (args.empty()) return Help(std::cout);
    const Command* command = Find(args.front());
    if (!command) return UsageError("help", "unknown command '" + args.front() + "'");
    std::cout << command->help;
    return kExitOk;
  }
  const Command* command = Find(name);
  if (!command) {
    std::cerr << "vistel-pack: unknown command '" << name << "'\n";
    Help(std::cerr);
    return kExitUsage;
  }
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      std::cout << command->help;
      return kExitOk;
    }
  }
  return command->run(args, OwnProgramPath(arguments.front()));
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"build", "build a package from a show description", kBuildHelp, RunBuild},
      {"inspect", "list every field of a package's records", kInspectHelp, RunInspect},
      {"check", "check a package's layout, fields and media", kCheckHelp, RunCheck},
      {"extract", "copy a package's media into a folder", kExtractHelp, RunExtract},
      {"demo", "build a demo package from media made here", kDemoHelp, RunDemo},
      {"repack", "put a package's show behind another player", kRepackHelp, RunRepack},
      {"slideshow", "build a package from a folder of photos", kSlideshowHelp, RunSlideshow},
      {"sheet", "draw a contact sheet of a show's screens", kSheetHelp, RunSheet},
      {"effects", "list the paint effects (and draw a sheet of them)", kEffectsHelp, RunEffects},
  };
  return commands;
}

}  // namespace vistel::pack

int main(int argc, char** argv) {
  try {
    return vistel::pack::Main(vistel::ProgramArguments(argc, argv));
  } catch (const std::exception& e) {
    // Only allocation failures and the like get here; commands report their
    // own problems.
    vistel::pack::Report(std::string("unexpected failure: ") + e.what());
    return vistel::pack::kExitProblem;
  }
}
