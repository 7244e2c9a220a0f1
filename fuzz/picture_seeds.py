"""Hand-made picture seeds for the layouts the project's own encoders never
write: palette and run-length BMPs, BMP bit fields and newer headers, PNG
colour types, bit depths, interlacing, ancillary chunks and animation, GIF
animation with local palettes and transparency, TIFF byte orders,
compressions, palettes and planes. A few dozen bytes each."""
import struct
import zlib


# ---------------------------------------------------------------- BMP

def _bmp(width, height, bpp, rows, palette=b"", compression=0, top_down=False, info=None):
    """rows: the pixel data as stored (bottom-up unless top_down), already padded."""
    if info is None:
        info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bpp,
                           compression, len(rows), 2835, 2835, len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + palette + rows


def _palette(*colours):
    return b"".join(bytes((b, g, r, 0)) for r, g, b in colours)


FOUR = _palette((0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255))


def bmp_seeds():
    yield "pal8", _bmp(6, 3, 8, b"".join(bytes([(x + y) % 4 for x in range(6)]) + b"\0\0"
                                         for y in range(3)), FOUR)
    yield "pal4", _bmp(8, 2, 4, b"\x01\x23\x01\x23" * 2, FOUR)
    yield "pal1", _bmp(16, 2, 1, b"\xaa\x55\0\0\x0f\xf0\0\0", _palette((0, 0, 0), (255, 255, 255)))
    # Runs, an absolute stretch, end of line, a delta and end of picture.
    yield "rle8", _bmp(8, 4, 8, b"\x04\x01\x04\x02\x00\x00" + b"\x00\x04\x01\x02\x03\x00\x04\x01"
                       + b"\x00\x00" + b"\x00\x02\x02\x01" + b"\x02\x03\x00\x01", FOUR, compression=1)
    yield "rle4", _bmp(8, 2, 4, b"\x08\x12\x00\x00\x00\x04\x12\x30\x00\x01", FOUR, compression=2)
    masks = struct.pack("<III", 0x00FF0000, 0x0000FF00, 0x000000FF)
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 32, 3, 16, 0, 0, 0, 0) + masks
    yield "bitfields32", _bmp(2, 2, 32, b"\x00\x00\xff\x00" * 4, info=info)
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 16, 3, 8, 0, 0, 0, 0) + struct.pack(
        "<III", 0xF800, 0x07E0, 0x001F)
    yield "rgb565", _bmp(2, 2, 16, b"\x00\xf8\xe0\x07" * 2, info=info)
    yield "top_down24", _bmp(3, 2, 24, (b"\xff\x00\x00" * 3 + b"\0\0\0") * 2, top_down=True)
    # A V4 header (108 bytes) with an alpha mask.
    v4 = struct.pack("<IiiHHIIiiII", 108, 2, 1, 1, 32, 3, 8, 0, 0, 0, 0) + struct.pack(
        "<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000) + b"BGRs" + b"\0" * 48
    yield "v4_alpha", _bmp(2, 1, 32, b"\x10\x20\x30\x80\x40\x50\x60\xff", info=v4)


# ---------------------------------------------------------------- PNG

def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def _png(width, height, depth, colour, raw, extra=(), interlace=0, idat_parts=1):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    data = zlib.compress(raw, 9)
    step = max(1, -(-len(data) // idat_parts))
    idats = [_chunk(b"IDAT", data[i:i + step]) for i in range(0, len(data), step)]
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr) + b"".join(extra) + b"".join(idats)
            + _chunk(b"IEND", b""))


def _adam7(width, height, pixel):
    """Raw scan lines of an interlaced 8-bit grey picture, pass by pass."""
    out = b""
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                           (1, 0, 2, 2), (0, 1, 1, 2)):
        xs = range(x0, width, dx)
        for y in range(y0, height, dy):
            if len(xs):
                out += b"\0" + bytes(pixel(x, y) for x in xs)
    return out


def png_seeds():
    yield "grey8", _png(4, 4, 8, 0, b"".join(b"\0" + bytes(range(y * 60, y * 60 + 4))
                                             for y in range(4)))
    yield "grey_alpha", _png(2, 2, 8, 4, b"\0\x10\xff\x80\x80" + b"\0\xf0\x00\x20\x40")
    plte = _chunk(b"PLTE", bytes([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255]))
    trns = _chunk(b"tRNS", b"\xff\x80")
    yield "palette2_trns", _png(8, 2, 2, 3, b"\0\x1b\x1b" + b"\0\xe4\xe4", (plte, trns))
    yield "rgb16", _png(2, 1, 16, 2, b"\0" + bytes(range(12)))
    yield "interlaced", _png(8, 8, 8, 0, _adam7(8, 8, lambda x, y: (x * 32 + y * 4) & 0xFF),
                             interlace=1)
    # Every filter type, ancillary chunks before the data, the data in two chunks.
    rows = b"".join(bytes([f]) + bytes(range(f * 9, f * 9 + 9)) for f in range(5))
    extra = (_chunk(b"gAMA", struct.pack(">I", 45455)),
             _chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)),
             _chunk(b"tEXt", b"Title\0fuzz"),
             _chunk(b"zTXt", b"Comment\0\0" + zlib.compress(b"a compressed comment")),
             _chunk(b"iTXt", b"Author\0\0\0en\0\0vistel"))
    yield "filters_chunks", _png(3, 5, 8, 2, rows, extra, idat_parts=2)
    # An animated PNG of two frames: the first one is the picture.
    actl = _chunk(b"acTL", struct.pack(">II", 2, 0))
    fctl0 = _chunk(b"fcTL", struct.pack(">IIIIIHHBB", 0, 2, 2, 0, 0, 1, 10, 0, 0))
    fctl1 = _chunk(b"fcTL", struct.pack(">IIIIIHHBB", 1, 1, 1, 1, 1, 1, 10, 1, 1))
    frame1 = _chunk(b"fdAT", struct.pack(">I", 2) + zlib.compress(b"\0\x00\xff\x00"))
    ihdr = _chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0))
    first = _chunk(b"IDAT", zlib.compress(b"\0" + b"\xff\0\0" * 2 + b"\0" + b"\0\0\xff" * 2))
    yield "animated", (b"\x89PNG\r\n\x1a\n" + ihdr + actl + fctl0 + first + fctl1 + frame1
                       + _chunk(b"IEND", b""))


# ---------------------------------------------------------------- GIF

def _lzw_uncompressed(pixels, min_code_size=8):
    """LZW data that never grows past 9-bit codes: a clear code every 254 codes."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes = []
    for i, p in enumerate(pixels):
        if i % 254 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    bits = 0
    count = 0
    out = bytearray()
    for code in codes:
        bits |= code << count
        count += 9
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + out[i:i + 255] for i in range(0, len(out), 255))
    return bytes([min_code_size]) + blocks + b"\0"


def _gif_image(left, top, width, height, pixels, local=b"", interlace=False):
    flags = (0x80 | (len(local) // 3).bit_length() - 2 if local else 0) | (0x40 if interlace else 0)
    return (b"\x2c" + struct.pack("<HHHHB", left, top, width, height, flags) + local
            + _lzw_uncompressed(pixels))


def gif_seeds():
    palette = bytes([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255])
    screen = b"GIF89a" + struct.pack("<HHBBB", 4, 4, 0x81, 0, 0) + palette  # 4 colours
    yield "still", screen + _gif_image(0, 0, 4, 4, [(x + y) % 4 for y in range(4)
                                                    for x in range(4)]) + b"\x3b"
    loop = b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    control = b"\x21\xf9\x04\x09\x0a\x00\x02\x00"  # disposal 2, transparent index 2
    comment = b"\x21\xfe\x04fuzz\x00"
    second = _gif_image(1, 1, 2, 2, [1, 0, 0, 1], local=bytes([9, 9, 9, 200, 200, 200]),
                        interlace=True)
    yield "animated", (screen + loop + comment + control
                       + _gif_image(0, 0, 4, 4, [2] * 8 + [1] * 8) + control + second + b"\x3b")
    yield "gif87a", (b"GIF87a" + struct.pack("<HHBBB", 2, 1, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
                     + _gif_image(0, 0, 2, 1, [0, 1]) + b"\x3b")


# ---------------------------------------------------------------- TIFF

_SHORT, _LONG = 3, 4


def _tiff(width, height, entries, strips, big_endian=False):
    """entries: {tag: (type, [values])}; strips: the image data, one bytes object per strip."""
    e = ">" if big_endian else "<"
    header = (b"MM\0*" if big_endian else b"II*\0")
    data = b"".join(strips)
    data_at = 8
    offsets, at = [], data_at
    for strip in strips:
        offsets.append(at)
        at += len(strip)
    entries = dict(entries)
    entries[256] = (_LONG, [width])
    entries[257] = (_LONG, [height])
    entries[273] = (_LONG, offsets)
    entries[279] = (_LONG, [len(s) for s in strips])
    extra_at = data_at + len(data)
    extra_at += extra_at % 2
    ifd_at = extra_at
    blobs = b""
    # Values longer than 4 bytes go before the IFD.
    packed = {}
    for tag, (kind, values) in sorted(entries.items()):
        raw = b"".join(struct.pack(e + ("H" if kind == _SHORT else "I"), v) for v in values)
        if len(raw) > 4:
            packed[tag] = (kind, len(values), struct.pack(e + "I", ifd_at + len(blobs)))
            blobs += raw
        else:
            packed[tag] = (kind, len(values), raw.ljust(4, b"\0"))
    ifd_at += len(blobs)
    ifd = struct.pack(e + "H", len(packed)) + b"".join(
        struct.pack(e + "HHI", tag, kind, count) + value
        for tag, (kind, count, value) in sorted(packed.items())) + struct.pack(e + "I", 0)
    pad = b"\0" * ((data_at + len(data)) % 2)
    return header + struct.pack(e + "I", ifd_at) + data + pad + blobs + ifd


def _packbits(rows):
    """Each row packed on its own, as TIFF wants: one literal run, then one repeat."""
    return b"".join(bytes([len(row) - 3]) + row[:-2] + bytes([0xFF]) + row[-1:] for row in rows)


def tiff_seeds():
    grey = {258: (_SHORT, [8]), 259: (_SHORT, [1]), 262: (_SHORT, [1]), 277: (_SHORT, [1]),
            278: (_LONG, [2])}
    yield "grey_two_strips_be", _tiff(3, 4, grey, [bytes(range(6)), bytes(range(6, 12))],
                                      big_endian=True)
    colour_map = [v * 4369 for v in range(16)] * 3
    yield "palette4", _tiff(4, 2, {258: (_SHORT, [4]), 259: (_SHORT, [1]), 262: (_SHORT, [3]),
                                   277: (_SHORT, [1]), 278: (_LONG, [2]),
                                   320: (_SHORT, colour_map)}, [b"\x01\x23\x45\x67"])
    rgb = {258: (_SHORT, [8, 8, 8]), 262: (_SHORT, [2]), 277: (_SHORT, [3]), 278: (_LONG, [2])}
    pixels = bytes(range(0, 24))
    yield "rgb_packbits", _tiff(4, 2, {**rgb, 259: (_SHORT, [32773])}, [_packbits([pixels[:12], pixels[12:]])])
    yield "rgb_deflate_predictor", _tiff(4, 2, {**rgb, 259: (_SHORT, [8]),
                                                            317: (_SHORT, [2])},
                                         [zlib.compress(b"\x10" * 24)])
    rgba = {258: (_SHORT, [8, 8, 8, 8]), 259: (_SHORT, [1]), 262: (_SHORT, [2]),
            277: (_SHORT, [4]), 278: (_LONG, [1]), 338: (_SHORT, [2])}
    yield "rgba_extra_samples", _tiff(2, 1, rgba, [b"\xff\0\0\x80\0\xff\0\xff"])
    yield "bilevel_white_is_zero", _tiff(8, 2, {258: (_SHORT, [1]), 259: (_SHORT, [1]),
                                                262: (_SHORT, [0]), 277: (_SHORT, [1]),
                                                278: (_LONG, [2])}, [b"\xaa\x55"])
    planar = {**rgb, 259: (_SHORT, [1]), 278: (_LONG, [1]), 284: (_SHORT, [2])}
    yield "rgb_planar", _tiff(2, 1, planar, [b"\xff\x00", b"\x00\xff", b"\x80\x80"])


def _exif_tiff(orientation, taken, modified):
    """A little-endian TIFF structure as cameras write it into Exif: the first
    directory with the orientation, DateTime and the Exif directory's pointer;
    that directory with DateTimeOriginal."""
    entry = lambda tag, kind, count, value: struct.pack("<HHI", tag, kind, count) + value
    first_end = 8 + 2 + 3 * 12 + 4
    exif_end = first_end + 2 + 12 + 4
    first = (struct.pack("<H", 3)
             + entry(274, 3, 1, struct.pack("<HH", orientation, 0))
             + entry(306, 2, 20, struct.pack("<I", exif_end))
             + entry(34665, 4, 1, struct.pack("<I", first_end)) + struct.pack("<I", 0))
    exif = struct.pack("<H", 1) + entry(36867, 2, 20, struct.pack("<I", exif_end + 20)) + struct.pack("<I", 0)
    return b"II*\0" + struct.pack("<I", 8) + first + exif + modified + b"\0" + taken + b"\0"


def exif_seeds():
    """The start of a camera's JPEG: an Exif segment with orientation and dates,
    then a frame header (the probe and the date reader stop there)."""
    payload = b"Exif\0\0" + _exif_tiff(6, b"2019:07:01 10:00:00", b"2020:02:29 23:59:59")
    segment = b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
    frame = b"\xff\xc0\x00\x11\x08\x00\x10\x00\x10\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01"
    yield "exif_dates", b"\xff\xd8" + segment + frame


def seeds():
    """(format folder, name, bytes) for every hand-made picture."""
    for folder, make in (("bmp", bmp_seeds), ("png", png_seeds), ("gif", gif_seeds),
                         ("tiff", tiff_seeds), ("jpeg", exif_seeds)):
        for name, data in make():
            yield folder, name, data
