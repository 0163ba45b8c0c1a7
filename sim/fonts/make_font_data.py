#!/usr/bin/env python3
"""Generates sim/fonts/fontdata.cpp: the font area of the virtual controller's flash.

Source fonts: the misc-fixed bitmap fonts of Debian's package xfonts-base,
/usr/share/fonts/X11/misc/{5x7,7x14,7x14B,10x20}-ISO8859-1.pcf.gz. Their licence
(see /usr/share/doc/xfonts-base/copyright) places them in the public domain, so
the glyph bits may be committed as data.

The controller keeps its four fonts in flash screens 1 to 5 (9,600 bytes) and
renders text from there, so overwriting those screens changes the fonts. The
layout written here is read back by sim/model/fontarea.cpp:

  font area offset 0: four descriptors of 4 bytes, fonts 1 to 4 in order:
    advance (cell width in pixels), 0,
    offset of the font's first glyph record (2 bytes, big-endian, from the
    start of the font area)
  glyph records: 191 per font, back to back, for the codes 0x20-0x7E then
    0xA0-0xFF. A record is
      byte 0: box x in the cell (high nibble), box width (low nibble; 0 = no ink)
      byte 1: box y in the cell
      byte 2: box height
      then box width x box height bits, row by row from the top, each row
      from the left, most significant bit first, padded to a whole byte.

Each glyph keeps only the smallest box that holds its ink; that is what lets
all four fonts fit into the five screens.

Developer step, not a build step: run `python3 sim/fonts/make_font_data.py` from
the repository root after changing it, and commit the output. Python standard
library only.
"""

import gzip
import struct
import sys
from pathlib import Path

FONT_DIR = Path("/usr/share/fonts/X11/misc")
AREA_SIZE = 5 * 1920
DESCRIPTOR_SIZE = 4
CODES = list(range(0x20, 0x7F)) + list(range(0xA0, 0x100))

# (source file, cell height in pixels, rows left blank above the glyphs)
FONTS = [
    ("5x7-ISO8859-1.pcf.gz", 7, 0),
    ("7x14-ISO8859-1.pcf.gz", 14, 0),
    ("7x14B-ISO8859-1.pcf.gz", 14, 0),
    ("10x20-ISO8859-1.pcf.gz", 22, 1),
]

PCF_PROPERTIES = 1
PCF_ACCELERATORS = 2
PCF_METRICS = 4
PCF_BITMAPS = 8
PCF_BDF_ENCODINGS = 32
PCF_BDF_ACCELERATORS = 256
PCF_COMPRESSED_METRICS = 0x100


class Reader:
    """Reads one PCF table; the byte order comes from the table's format word."""

    def __init__(self, data, offset):
        self.data = data
        self.pos = offset
        self.format = struct.unpack_from("<I", data, offset)[0]
        self.pos += 4
        self.big = bool(self.format & 4)

    def _read(self, code, size):
        value = struct.unpack_from((">" if self.big else "<") + code, self.data, self.pos)[0]
        self.pos += size
        return value

    def u8(self):
        value = self.data[self.pos]
        self.pos += 1
        return value

    def i16(self):
        return self._read("h", 2)

    def u16(self):
        return self._read("H", 2)

    def i32(self):
        return self._read("i", 4)


def read_tables(data):
    if data[:4] != b"\x01fcp":
        raise ValueError("not a PCF file")
    count = struct.unpack_from("<I", data, 4)[0]
    tables = {}
    for i in range(count):
        kind, _fmt, _size, offset = struct.unpack_from("<IIII", data, 8 + 16 * i)
        tables[kind] = offset
    return tables


def read_metrics(data, offset):
    r = Reader(data, offset)
    metrics = []
    if r.format & PCF_COMPRESSED_METRICS:
        for _ in range(r.i16()):
            lsb, rsb, width, ascent, descent = (r.u8() - 0x80 for _ in range(5))
            metrics.append((lsb, rsb, width, ascent, descent))
    else:
        for _ in range(r.i32()):
            lsb, rsb, width, ascent, descent, _attr = (r.i16() for _ in range(6))
            metrics.append((lsb, rsb, width, ascent, descent))
    return metrics


def read_bitmaps(data, offset, metrics):
    r = Reader(data, offset)
    count = r.i32()
    offsets = [r.i32() for _ in range(count)]
    sizes = [r.i32() for _ in range(4)]
    pad_bytes = 1 << (r.format & 3)
    msbit_first = bool(r.format & 8)
    scan_unit = 1 << ((r.format >> 4) & 3)
    if r.format & 4 != (r.format & 8) >> 1 and scan_unit > 1:
        raise ValueError("byte/bit order mix not supported")
    base = r.pos
    blob = data[base : base + sizes[r.format & 3]]
    glyphs = []
    for index, (lsb, rsb, _w, ascent, descent) in enumerate(metrics):
        width, height = rsb - lsb, ascent + descent
        row_bytes = ((width + 7) // 8 + pad_bytes - 1) // pad_bytes * pad_bytes
        rows = []
        for y in range(height):
            start = offsets[index] + y * row_bytes
            row = []
            for x in range(width):
                byte = blob[start + x // 8]
                bit = (byte >> (7 - x % 8)) & 1 if msbit_first else (byte >> (x % 8)) & 1
                row.append(bit)
            rows.append(row)
        glyphs.append(rows)
    return glyphs


def read_encoding(data, offset):
    r = Reader(data, offset)
    min2, max2, min1, max1, _default = (r.i16() for _ in range(5))
    table = {}
    for b1 in range(min1, max1 + 1):
        for b2 in range(min2, max2 + 1):
            index = r.u16()
            if index != 0xFFFF:
                table[(b1 << 8) | b2] = index
    return table


def read_font_ascent(data, tables):
    kind = PCF_BDF_ACCELERATORS if PCF_BDF_ACCELERATORS in tables else PCF_ACCELERATORS
    r = Reader(data, tables[kind])
    for _ in range(8):
        r.u8()
    return r.i32(), r.i32()


def load_font(name):
    data = gzip.decompress((FONT_DIR / name).read_bytes())
    tables = read_tables(data)
    metrics = read_metrics(data, tables[PCF_METRICS])
    bitmaps = read_bitmaps(data, tables[PCF_BITMAPS], metrics)
    encoding = read_encoding(data, tables[PCF_BDF_ENCODINGS])
    ascent, descent = read_font_ascent(data, tables)
    return metrics, bitmaps, encoding, ascent, descent


def ink_pixels(name, top_margin):
    """Every glyph as a set of inked (x, y) pixels in its cell, and the advance."""
    metrics, bitmaps, encoding, ascent, _descent = load_font(name)
    advance = max(m[2] for m in metrics)
    glyphs = []
    for code in CODES:
        pixels = set()
        index = encoding.get(code)
        if index is not None:
            lsb, _rsb, _w, glyph_ascent, _d = metrics[index]
            for y, row in enumerate(bitmaps[index]):
                for x, bit in enumerate(row):
                    if bit:
                        pixels.add((lsb + x, top_margin + ascent - glyph_ascent + y))
        glyphs.append(pixels)
    return advance, glyphs


def glyph_record(pixels):
    if not pixels:
        return bytes([0, 0, 0])
    xs = [x for x, _ in pixels]
    ys = [y for _, y in pixels]
    x0, y0 = min(xs), min(ys)
    w, h = max(xs) - x0 + 1, max(ys) - y0 + 1
    if x0 > 15 or w > 15:
        raise ValueError("glyph too wide for a record")
    bits = bytearray((w * h + 7) // 8)
    for x, y in pixels:
        i = (y - y0) * w + (x - x0)
        bits[i // 8] |= 0x80 >> (i % 8)
    return bytes([(x0 << 4) | w, y0, h]) + bits


def build_area():
    area = bytearray(AREA_SIZE)
    descriptors = bytearray()
    records = bytearray()
    data_start = DESCRIPTOR_SIZE * len(FONTS)
    for name, cell_height, top_margin in FONTS:
        advance, glyphs = ink_pixels(name, top_margin)
        if any(y >= cell_height for g in glyphs for _, y in g):
            raise ValueError(f"{name} does not fit a {cell_height}-pixel cell")
        offset = data_start + len(records)
        descriptors += bytes([advance, 0, offset >> 8, offset & 0xFF])
        for pixels in glyphs:
            records += glyph_record(pixels)
        print(f"{name}: advance {advance}, cell height {cell_height}, offset {offset}",
              file=sys.stderr)
    used = data_start + len(records)
    if used > AREA_SIZE:
        raise SystemExit(f"fonts need {used} bytes, only {AREA_SIZE} available")
    print(f"font area: {used} of {AREA_SIZE} bytes used", file=sys.stderr)
    area[:data_start] = descriptors
    area[data_start:used] = records
    return area


def write_cpp(area, path):
    lines = [
        "// Generated by sim/fonts/make_font_data.py from the public-domain misc-fixed fonts",
        "// of Debian's xfonts-base (5x7, 7x14, 7x14B, 10x20, ISO 8859-1). Do not edit.",
        "#include \"fontdata.h\"",
        "",
        "namespace kestrin {",
        "",
        "// clang-format off",
        "const std::array<std::uint8_t, kFontAreaSize> kDefaultFontArea = {",
    ]
    for i in range(0, len(area), 16):
        lines.append("    " + ", ".join(f"0x{b:02x}" for b in area[i : i + 16]) + ",")
    lines += ["};", "// clang-format on", "", "} // namespace kestrin", ""]
    path.write_text("\n".join(lines))


def main():
    out = Path(__file__).resolve().parent / "fontdata.cpp"
    write_cpp(build_area(), out)


if __name__ == "__main__":
    main()
