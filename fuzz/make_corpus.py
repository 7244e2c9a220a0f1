#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets under fuzz/corpus/<corpus>/:
packages laid out as the authoring tool does (and broken layouts the reader
refuses), registry files, input scripts, show descriptions, MIDI files, and
hand-made pictures. With --media-seeds BINARY it also runs the make_media_seeds
tool of the fuzz build, which writes pictures, clips and sound files with the
project's own encoders. Every seed is small: a mutation of a short input is
cheap, and a finding in one is easy to read.

    fuzz/make_corpus.py [--media-seeds build/fuzz/fuzz/make_media_seeds] [OUT]
"""
import argparse
import json
import pathlib
import struct
import subprocess

import picture_seeds

# ---------------------------------------------------------------- packages

FS = b"\xff"
CRLF = b"\r\n"


def line(*fields):
    return FS.join(f if isinstance(f, bytes) else str(f).encode() for f in fields)


def text(*lines):
    return b"".join(l + CRLF for l in lines)


def group(kind, image=(0, 0), video=(0, 0), caption=b"", background=(0, 0, 0)):
    image_fields = [0, image[1], image[0], 0, 1000, 1, 100, "2.000164", "2.000237", 1000, 0,
                    "False", 16777215, 0, 0, 0, 255, 16711680, 255, 16711680, 20, 10, 255, 1000,
                    0, 5, "", 5]
    return [
        line("[SCREEN-GLOBAL]", kind),
        line("[SCREEN-BACKGROUND]", 0, background[0], background[2], background[1], ""),
        line("[SCREEN-IMAGE]", *image_fields),
        line("[SCREEN-VIDEO]", "14.69351", "-86.17347", video[1], video[0], 0, 7, "clip.mpg"),
        line("[SCREEN-CAPTION]", 16777215, 0, caption, 0, 0, 0, "Arial", 12, "2.002457",
             "1.033028", 4),
    ]


def package(config, media=(), player=b"MZ" + b"P" * 30, fill=0):
    body = player
    positions = []
    for medium in media:
        positions.append(len(body) + 1)
        body += medium
    body += b"\0" * fill
    return body + config + b"%020d" % len(body), positions


def build(config_of, media=(), **kw):
    """Lays out the media first so that the configuration can name their positions."""
    _, positions = package(b"", media, **kw)
    return package(config_of(positions), media, **kw)[0]


GLOBAL = line("[GLOBAL]", "Unknown", "My Screen Saver", "www.example.com", "False", "False",
              "False")


def package_seeds():
    yield "video", build(lambda p: text(GLOBAL, *group(1, video=(p[0], 9))),
                         [b"\x00\x00\x01\xbaVIDEO"], fill=3)
    yield "image_and_music", build(
        lambda p: text(line("[GLOBAL]", "Pub", "Title", "Web", "True", "True", "True"),
                       line("[AUDIO-FILE]", 5, p[1], "C:\\music\\song.mid", 0),
                       *group(0, image=(p[0], 4), caption=b"two\0lines")),
        [b"IMG!", b"MThd!"])
    yield "three_screens", build(
        lambda p: text(GLOBAL, *group(0, image=(p[0], 3), background=(1, p[1], 2)),
                       *group(1, video=(p[2], 3)), *group(0, caption=b"last")),
        [b"abc", b"bg", b"vid"])
    # For repack: one medium named twice, one inside another, one overlapping
    # the next, positions zero-padded and between blanks.
    yield "shared_ranges", build(
        lambda p: text(GLOBAL, line("[AUDIO-FILE]", 6, b" %d " % (p[1] + 2), "a.wav", 0),
                       *group(0, image=(b"%08d" % p[0], 4), background=(1, p[0] + 1, 2)),
                       *group(1, video=(p[1], 8), image=(p[0], 4))),
        [b"IMGE", b"VIDEO!!!"], fill=2)
    yield "no_final_crlf", build(lambda p: text(GLOBAL, *group(0))[:-2])
    yield "extra_empty_line", build(lambda p: text(GLOBAL, *group(0)) + CRLF)
    yield "short_last_group", build(lambda p: text(GLOBAL, *group(0), *group(1)[:2]))
    yield "bad_fields", build(lambda p: text(
        line("[GLOBAL]", "P", "T", "W", "maybe", "1", "-1"),
        line("[AUDIO-FILE]", "abc", "-5", "", "&HFFFF"),
        line("[SCREEN-GLOBAL]", "99999999999"),
        line("[SCREEN-BACKGROUND]", "1e3", "40000", "-1", "0"),
        line("[SCREEN-IMAGE]", *(["&O777", " 12 ", "1.5", "2.5"] * 7)),
        line("[SCREEN-VIDEO]", "nan", "", "2147483647", "2147483647"),
        line("[SCREEN-CAPTION]")))
    yield "music_only", build(lambda p: text(GLOBAL, line("[AUDIO-FILE]", 1, 1, "a.mid", 0)))
    yield "empty_first_group", build(lambda p: text(GLOBAL, b"", *group(0)))
    yield "trailer_letters", text(GLOBAL, *group(0)) + b"0000000000000000000x"
    yield "trailer_too_large", text(GLOBAL, *group(0)) + b"99999999999999999999"
    yield "trailer_only", b"00000000000000000000"


# ---------------------------------------------------------------- registry files

def regedit_seeds():
    crlf = "\r\n"
    yield "example", crlf.join([
        "REGEDIT4", "",
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]",
        '"ScreenSaveUsePassword"=dword:00000001',
        '"Wallpaper"="C:\\\\WINDOWS\\\\clouds.bmp"',
        '@="the key\'s default value"',
        '"Blob"=hex:01,02,03',
        '"Path"=hex(2):25,00', ""]).encode()
    # LF only, a byte-order mark, comments, continuations, every root, escapes.
    yield "forms", ("\ufeffREGEDIT4\n; a comment\n\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                    "\\Uninstall\\VISTEL-demo]\n"
                    '"DisplayName"="Vistel \\"demo\\""\n'
                    '"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\n'
                    "  14,15,16,17\n"
                    '"Odd"=hex(4):01,02\n'
                    '"Multi"=hex(7):61,00,62,00,00\n'
                    "[HKEY_CLASSES_ROOT\\.scr]\n@=\"scrfile\"\n"
                    "[HKEY_USERS\\.DEFAULT]\n"
                    "[hkey_current_user\\control panel\\DESKTOP]\n"
                    '"screensaveusepassword"=dword:0\n').encode("utf-8")
    yield "ansi_bytes", b"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Caf\xe9]\r\n\"N\xe4me\"=\"\xff\x80\"\r\n"
    # What the reader refuses: another header, deletions, a missing bracket.
    yield "version5", b"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
    yield "deletions", b"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\B]\n\"x\"=-\n"
    yield "unclosed", b"REGEDIT4\n[HKEY_CURRENT_USER\\A\n\"x\"=dword:123456789\n"


# ---------------------------------------------------------------- input scripts

def input_script_seeds():
    def lines(*events):
        return "\n".join(json.dumps(e, separators=(",", ":")) for e in events).encode() + b"\n"
    yield "every_kind", lines({"t": 100, "ev": "mousemove", "x": 10, "y": 20.5},
                              {"t": 250, "ev": "key", "code": 32},
                              {"t": 300.6, "ev": "click", "button": 2, "x": -1, "y": 599})
    yield "unordered_blank_lines", (b'{"t":500,"ev":"key","code":27}\r\n\r\n   \n'
                                    b'{"ev":"click","t":0,"button":4,"x":1e3,"y":0,"note":[1,{"a":null}]}\n'
                                    b'{"t":0.5,"ev":"mousemove","x":-1000000,"y":1000000}')
    yield "bad_button", lines({"t": 1, "ev": "click", "button": 3, "x": 0, "y": 0})
    yield "bad_json", b'{"t":1,"ev":"key","code":65\n{"t":2}\n'


# ---------------------------------------------------------------- show descriptions

def show_description_seeds():
    yield "documented", b"""{
  // Comments (// and /* */) are allowed.
  "PublisherName": "Example Ltd",
  "SaverTitle": "Harbour Lights",
  "WebsiteText": "www.example.com",
  "RandomScreenOrder": false, "RandomEffects": false, "RepeatAudio": true,
  "tracks": [
    {"file": "music/harbour.mp3"},
    {"file": "music/gulls.wav", "TrackFileName": "gulls.wav", "TrackExtra": 0}
  ],
  "screens": [
    {"background": "pictures/sky.jpg", "image": "pictures/boat.png",
     "ImagePlacement": 0, "DisplaySeconds": 8, "EffectCode": -100, "CrossFadeParam": 24,
     "CaptionText": "The harbour\\nat dusk"},
    {"background": "pictures/sky.jpg", "video": "clips/waves.mpg", "VideoSize": 7},
    {"BackgroundColor": "#000040", "CaptionText": "The end", "CaptionPlacement": 0}
  ]
}
"""
    yield "every_type", json.dumps({
        "SaverTitle": "Caf\u00e9 \u20ac", "tracks": [{"TrackLength": 0}],
        "screens": [{"ImageScale": 2.5e-3, "ImageXDivisor": -0.0, "EffectParam4": -2147483648,
                     "EffectParam2": 32767, "ImageOptionFlag": True, "CaptionFontName": "Courier",
                     "CaptionText": "a\r\nb", "ImageBackColor": "#ff8000",
                     "BackgroundKind": 0, "ScreenKind": 1, "VideoPosition": 1,
                     "VideoLength": 5, "DisplaySeconds": 3.4028234e38}]}).encode()
    yield "by_hand_ranges", json.dumps({"screens": [
        {"BackgroundKind": 1, "BackgroundPosition": 40, "BackgroundLength": 10,
         "ImagePosition": 2, "ImageLength": 3}]}).encode()
    # Refused: a typo, a repeated key, a fraction for a whole number.
    yield "typo", b'{"screens":[{"EffectCod":5}]}'
    yield "repeated", b'{"SaverTitle":"a","SaverTitle":"b","screens":[{}]}'
    yield "fraction", b'{"screens":[{"EffectCode":1.5,"CaptionPlacement":-1}]}'


# ---------------------------------------------------------------- MIDI

def _varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def _track(*events):
    body = b"".join(_varlen(delta) + data for delta, data in events)
    return b"MTrk" + struct.pack(">I", len(body)) + body


def _midi(fmt, division, *tracks, header_extra=b""):
    return (b"MThd" + struct.pack(">IHHH", 6 + len(header_extra), fmt, len(tracks), division)
            + header_extra + b"".join(tracks))


END = b"\xff\x2f\x00"


def midi_seeds():
    tempo = lambda micros: b"\xff\x51\x03" + micros.to_bytes(3, "big")
    # Notes with running status, a program change, a tempo.
    yield "format0", _midi(0, 96, _track((0, tempo(500000)), (0, b"\xc0\x0b"),
                                         (0, b"\x90\x3c\x60"), (48, b"\x40\x60"),
                                         (48, b"\x80\x3c\x00"), (0, b"\x40\x00"), (96, END)))
    yield "format1_tempo_map", _midi(1, 480, _track((0, tempo(600000)), (960, tempo(300000)),
                                                    (0, b"\xff\x01\x04text"),
                                                    (480, tempo(1000000)), (0, END)),
                                     _track((0, b"\xf0\x05\x7e\x7f\x09\x01\xf7"),
                                            (0, b"\xb1\x07\x64"), (0, b"\x91\x40\x50"),
                                            (1920, b"\xf7\x02\x01\x02"), (0, b"\xe1\x00\x40"),
                                            (10, b"\x81\x40\x00"), (0, END)))
    yield "smpte", _midi(0, 0xE728, _track((0, b"\x99\x24\x64"), (25, b"\x89\x24\x00"),
                                           (0, END)))
    # Another chunk before the track, a longer header, no end of track.
    yield "odd_chunks", _midi(0, 24, b"XFIH" + struct.pack(">I", 3) + b"abc",
                              _track((0, b"\x90\x30\x40"), (0x0FFFFFFF, b"\x30\x00")),
                              header_extra=b"\0\0")
    yield "cut_short", _midi(1, 96, _track((0, b"\x90\x3c\x60"), (96, END)))[:-5]


# ---------------------------------------------------------------- driver

def text_seeds():
    """(corpus folder, file name, bytes) of every seed written here."""
    for name, data in package_seeds():
        yield "package", name + ".pkg", data
    for corpus, make, suffix in (("regedit", regedit_seeds, ".reg"),
                                 ("input_script", input_script_seeds, ".jsonl"),
                                 ("show_description", show_description_seeds, ".json"),
                                 ("midi", midi_seeds, ".mid")):
        for name, data in make():
            yield corpus, name + suffix, data
    for folder, name, data in picture_seeds.seeds():
        yield "picture/" + folder, name, data


def main():
    here = pathlib.Path(__file__).parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out", nargs="?", type=pathlib.Path, default=here / "corpus")
    parser.add_argument("--media-seeds", type=pathlib.Path,
                        help="the make_media_seeds tool of the fuzz build")
    args = parser.parse_args()
    for corpus, name, data in text_seeds():
        folder = args.out / corpus
        folder.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data)
    if args.media_seeds:
        subprocess.run([str(args.media_seeds), str(args.out)], check=True)


if __name__ == "__main__":
    main()
