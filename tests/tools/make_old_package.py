#!/usr/bin/env python3
"""old.scr as the original authoring tool lays a package out: the player (here
70001 bytes that start like a Windows program), one zero byte, the media,
zero fill, then the text. Positions are written in several forms (plain,
zero-padded, with blanks, with a plus sign); one image is named by two
screens, a video screen still names an image it never shows, an image
screen names a video far outside the file, and a line of words follows the
last group (the player ignores it).

Usage: make_old_package.py (in a folder holding media/ from `vistel-pack demo
--media-dir media`); writes old.scr and old-player.bin there.
"""
import random
rng = random.Random(7)
old_player = b"MZ" + bytes(rng.randrange(256) for _ in range(69999))
media = {n: open("media/" + n, "rb").read()
         for n in ("small-scene.jpg", "checker.png", "clip.mpg", "tune.wav", "tune.mid")}
data = bytearray(old_player + b"\0")
at = {}
for name in ("tune.wav", "small-scene.jpg", "checker.png", "clip.mpg", "tune.mid"):
    at[name] = (len(data) + 1, len(media[name]))
    data += media[name]
data += bytes(37)
offset = len(data)
S = b"\xff"
def line(*fields):
    return S.join(f if isinstance(f, bytes) else str(f).encode() for f in fields)
def image(length, position, seconds, effect=1000, fade=5):
    return line(b"[SCREEN-IMAGE]", 0, length, position, 0, effect, 1, 100, "2.000164", "2.000237",
                1000, 0, b"False", 16777215, 0, 0, 0, 255, 16711680, 255, 16711680, 20, 10, 255,
                1000, 0, seconds, b"", fade)
wav, jpg, png, clip, mid = (at[n] for n in ("tune.wav", "small-scene.jpg", "checker.png",
                                           "clip.mpg", "tune.mid"))
lines = [
    line(b"[GLOBAL]", b"Unknown", b"Old Show", b"www.example.com", b"false", b"False", b"True"),
    line(b"[AUDIO-FILE]", wav[1], b"%010d" % wav[0], b"C:\\Music\\tune.wav", 0),
    line(b"[AUDIO-FILE]", mid[1], b" %d " % mid[0], b"tune.mid", 7),
    line(b"[SCREEN-GLOBAL]", 0),
    line(b"[SCREEN-BACKGROUND]", 0, 1, jpg[1], jpg[0], b""),
    image(png[1], png[0], 3),
    line(b"[SCREEN-VIDEO]", 0, 0, 0, 0, 0, 0, b""),
    line(b"[SCREEN-CAPTION]", 16777215, 0, b"Caf\xe9\x00second line", 1, 0, 0, b"Arial", 12,
         "2.002457", "1.033028", 4),
    line(b"[SCREEN-GLOBAL]", 1),
    line(b"[SCREEN-BACKGROUND]", 16711680, 0, 0, 0, b""),
    image(png[1], png[0], 0),
    line(b"[SCREEN-VIDEO]", "14.69351", "-86.17347", clip[1], b"+%d" % clip[0], 0, 7,
         b"C:\\video\\clip.mpg", b"EXTRA"),
    line(b"[SCREEN-CAPTION]", 16777215, 0, b"", 0, 0, 0, b"Arial", 12, "2.002457", "1.033028", 4),
    line(b"[SCREEN-GLOBAL]", 0),
    line(b"[SCREEN-BACKGROUND]", 255, 1, jpg[1], jpg[0], b""),
    image(png[1], png[0], 2, -100, 10),
    line(b"[SCREEN-VIDEO]", 0, 0, 99999999, 5, 0, 0, b""),
    line(b"[SCREEN-CAPTION]", 0, 1, b"third", 0, 255, 1, b"Times New Roman", 20, 2, 2, 9),
]
data += b"\r\n".join(lines) + b"\r\nwritten by hand" + b"%020d" % offset
open("old.scr", "wb").write(data)
open("old-player.bin", "wb").write(old_player)
