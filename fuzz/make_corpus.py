#!/usr/bin/env python3
"""Writes the seed corpus of the package reader's fuzz target: small packages
laid out as the authoring tool does (player, media, zero fill, configuration
text, 20-digit trailer), plus a few of the broken layouts the reader refuses."""
import pathlib
import sys

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


def seeds():
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


def main():
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent /
                       "corpus" / "package")
    out.mkdir(parents=True, exist_ok=True)
    for name, data in seeds():
        (out / (name + ".pkg")).write_bytes(data)


if __name__ == "__main__":
    main()
