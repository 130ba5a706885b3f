#!/usr/bin/python3
"""An SWF reader of its own for the movie tests.

Parses every tag of an uncompressed SWF, inflates every bitmap, rebuilds the
picture of each frame on a white stage and prints one JSON object:
header fields, tag counts and, with --expect DIR, the difference of every
frame from DIR/frame_NNNN.png (RGBA pictures; pixels with alpha of 128 or
more count as shown, blended over white, the others as white stage).
With --out DIR the frames are written as DIR/frame_NNNN.png.

Usage: swf_reader.py MOVIE.swf [--expect DIR] [--out DIR]
Exit code 0 when the file parses, 1 (with "error" in the JSON) when not.
"""
import io
import json
import math
import struct
import sys
import zlib

from PIL import Image, ImageChops, ImageStat


class SwfError(Exception):
    pass


class Bits:
    def __init__(self, data, pos):
        self.data, self.byte, self.bit = data, pos, 0

    def u(self, n):
        v = 0
        for _ in range(n):
            if self.byte >= len(self.data):
                raise SwfError("bit field runs past its tag")
            v = (v << 1) | ((self.data[self.byte] >> (7 - self.bit)) & 1)
            self.bit += 1
            if self.bit == 8:
                self.bit, self.byte = 0, self.byte + 1
        return v

    def s(self, n):
        v = self.u(n)
        return v - (1 << n) if n and v & (1 << (n - 1)) else v

    def align(self):
        if self.bit:
            self.bit, self.byte = 0, self.byte + 1
        return self.byte


def read_rect(b):
    n = b.u(5)
    return n, [b.s(n) for _ in range(4)]  # xmin, xmax, ymin, ymax


def read_matrix(b):
    m = {"sx": 1.0, "sy": 1.0, "r0": 0.0, "r1": 0.0}
    if b.u(1):
        n = b.u(5)
        m["sx"], m["sy"] = b.s(n) / 65536.0, b.s(n) / 65536.0
    if b.u(1):
        n = b.u(5)
        m["r0"], m["r1"] = b.s(n) / 65536.0, b.s(n) / 65536.0
    n = b.u(5)
    m["tx"], m["ty"] = b.s(n), b.s(n)
    b.align()
    return m


def u16(d, p):
    return struct.unpack_from("<H", d, p)[0]


def u32(d, p):
    return struct.unpack_from("<I", d, p)[0]


def check_premultiplied(img):
    r, g, b, a = img.split()
    for c in (r, g, b):
        if ImageChops.subtract(c, a).getbbox() is not None:
            raise SwfError("a colour exceeds its alpha in a premultiplied bitmap")


def lossless(body, with_alpha):
    fmt, w, h = body[2], u16(body, 3), u16(body, 5)
    if w == 0 or h == 0:
        raise SwfError("empty bitmap")
    if fmt == 3:
        size = body[7] + 1
        raw = zlib.decompress(body[8:])
        entry = 4 if with_alpha else 3
        pitch = (w + 3) & ~3
        if len(raw) != size * entry + pitch * h:
            raise SwfError("colour-mapped data of %d bytes, expected %d" % (len(raw), size * entry + pitch * h))
        table = raw[: size * entry]
        idx = raw[size * entry:]
        pixels = bytearray()
        for y in range(h):
            for x in range(w):
                i = idx[y * pitch + x]
                if i >= size:
                    raise SwfError("colour index past the table")
                c = table[i * entry: i * entry + entry]
                pixels += bytes(c) + (b"" if with_alpha else b"\xff")
        img = Image.frombytes("RGBA", (w, h), bytes(pixels))
        premultiplied = with_alpha
    elif fmt == 5:
        raw = zlib.decompress(body[7:])
        if len(raw) != w * h * 4:
            raise SwfError("direct-colour data of %d bytes, expected %d" % (len(raw), w * h * 4))
        img = Image.frombytes("RGBA", (w, h), raw, "raw", "ARGB")
        if not with_alpha:
            img.putalpha(255)
        premultiplied = with_alpha
    else:
        raise SwfError("bitmap format %d" % fmt)
    if premultiplied:
        check_premultiplied(img)
    return img, premultiplied


def jpeg(body, with_alpha):
    if with_alpha:
        n = u32(body, 2)
        data = body[6: 6 + n]
        img = Image.open(io.BytesIO(data)).convert("RGB").convert("RGBA")
        alpha = zlib.decompress(body[6 + n:])
        if len(alpha) != img.width * img.height:
            raise SwfError("alpha data of %d bytes for %dx%d" % (len(alpha), img.width, img.height))
        img.putalpha(Image.frombytes("L", img.size, alpha))
    else:
        img = Image.open(io.BytesIO(body[2:])).convert("RGB").convert("RGBA")
    return img, False


def shape(body):
    """A rectangle filled with one bitmap: its bitmap id, place and size."""
    b = Bits(body, 2)
    _, bounds = read_rect(b)
    p = b.align()
    fills = []
    count = body[p]
    p += 1
    for _ in range(count):
        kind = body[p]
        p += 1
        if kind == 0x00:
            p += 4
            fills.append(None)
        elif kind in (0x40, 0x41, 0x42, 0x43):
            bid = u16(body, p)
            b = Bits(body, p + 2)
            m = read_matrix(b)
            p = b.byte
            fills.append((bid, m))
        else:
            raise SwfError("fill style %#x" % kind)
    lines = body[p]
    p += 1 + lines * 6
    b = Bits(body, p)
    nfill, nline = b.u(4), b.u(4)
    x = y = 0
    fill1 = 0
    points = []
    while True:
        if b.u(1) == 0:
            flags = b.u(5)
            if flags == 0:
                break
            if flags & 0x10:
                raise SwfError("new styles inside a shape")
            if flags & 0x01:
                n = b.u(5)
                x, y = b.s(n), b.s(n)
                points.append((x, y))
            if flags & 0x02:
                b.u(nfill)
            if flags & 0x04:
                fill1 = b.u(nfill)
            if flags & 0x08:
                b.u(nline)
        else:
            if b.u(1) == 0:
                raise SwfError("curved edge")
            n = b.u(4) + 2
            if b.u(1):
                x += b.s(n)
                y += b.s(n)
            elif b.u(1):
                y += b.s(n)
            else:
                x += b.s(n)
            points.append((x, y))
    if b.align() != len(body):
        raise SwfError("shape has %d bytes after its records" % (len(body) - b.byte))
    if not points or points[-1] != points[0]:
        raise SwfError("shape outline is not closed")
    xs, ys = [q[0] for q in points], [q[1] for q in points]
    box = [min(xs), max(xs), min(ys), max(ys)]
    if box != bounds:
        raise SwfError("outline %s differs from bounds %s" % (box, bounds))
    if any(q[0] not in (box[0], box[1]) and q[1] not in (box[2], box[3]) for q in points):
        raise SwfError("outline is not a rectangle")
    if not 1 <= fill1 <= len(fills) or fills[fill1 - 1] is None:
        raise SwfError("shape is not filled with a bitmap")
    bid, m = fills[fill1 - 1]
    if m["sx"] != 20.0 or m["sy"] != 20.0 or m["r0"] or m["r1"]:
        raise SwfError("bitmap matrix is not one pixel to 20 twips")
    if m["tx"] != box[0] or m["ty"] != box[2]:
        raise SwfError("bitmap does not start at the shape's corner")
    return {"bitmap": bid, "x": box[0], "y": box[2], "w": box[1] - box[0], "h": box[3] - box[2]}


def draw(stage, bitmaps, shp):
    img, premultiplied = bitmaps[shp["bitmap"]]
    if shp["x"] % 20 or shp["y"] % 20 or (img.width * 20, img.height * 20) != (shp["w"], shp["h"]):
        raise SwfError("shape of %dx%d twips for a %dx%d bitmap" % (shp["w"], shp["h"], img.width, img.height))
    at = (shp["x"] // 20, shp["y"] // 20)
    region = (at[0], at[1], at[0] + img.width, at[1] + img.height)
    under = stage.crop(region)
    alpha = img.getchannel("A")
    if premultiplied:
        keep = ImageChops.invert(alpha).convert("RGB")
        out = ImageChops.add(ImageChops.multiply(under, keep), img.convert("RGB"))
    else:
        out = under.copy()
        out.paste(img.convert("RGB"), (0, 0), alpha)
    stage.paste(out, at)


def expected_frame(path, size):
    """The composed frame as the movie must show it on a white stage."""
    exp = Image.open(path).convert("RGBA")
    if exp.size != size:
        raise SwfError("expected frame of another size")
    white = Image.new("RGB", size, (255, 255, 255))
    shown = exp.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
    blended = Image.alpha_composite(Image.new("RGBA", size, (255, 255, 255, 255)), exp).convert("RGB")
    white.paste(blended, (0, 0), shown)
    return white


def compare(got, want):
    diff = ImageChops.difference(got, want)
    worst = max(hi for _, hi in diff.getextrema())
    mse = sum(ImageStat.Stat(diff).sum2) / (3.0 * got.width * got.height)
    psnr = 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)
    return worst, psnr


def read(path, expect=None, out=None):
    d = open(path, "rb").read()
    info = {"tags": {}, "frames": []}
    if len(d) < 8 or d[:3] != b"FWS":
        raise SwfError("not an uncompressed SWF")
    info["version"] = d[3]
    info["length"] = u32(d, 4)
    if info["length"] != len(d):
        raise SwfError("length field %d, file %d bytes" % (info["length"], len(d)))
    b = Bits(d, 8)
    info["rect_bits"], r = read_rect(b)
    if r[0] or r[2] or r[1] % 20 or r[3] % 20:
        raise SwfError("stage rectangle %s" % r)
    w, h = r[1] // 20, r[3] // 20
    info["width"], info["height"] = w, h
    p = b.align()
    info["rate"] = d[p + 1] + d[p] / 256.0
    info["frame_count"] = u16(d, p + 2)
    p += 4
    bitmaps, shapes, display = {}, {}, {}
    stage = Image.new("RGB", (w, h), (255, 255, 255))
    shown = 0
    while True:
        if p + 2 > len(d):
            raise SwfError("file ends inside a tag header")
        code = u16(d, p)
        kind, n = code >> 6, code & 0x3F
        p += 2
        if n == 0x3F:
            n = u32(d, p)
            p += 4
        if p + n > len(d):
            raise SwfError("tag %d runs past the end" % kind)
        body = d[p: p + n]
        p += n
        info["tags"][str(kind)] = info["tags"].get(str(kind), 0) + 1
        if kind == 0:
            break
        if kind in (20, 36, 21, 35):
            cid = u16(body, 0)
            if cid in bitmaps or cid in shapes:
                raise SwfError("character %d defined twice" % cid)
            bitmaps[cid] = lossless(body, kind == 36) if kind in (20, 36) else jpeg(body, kind == 35)
        elif kind == 32:
            cid = u16(body, 0)
            if cid in bitmaps or cid in shapes:
                raise SwfError("character %d defined twice" % cid)
            shp = shape(body)
            if shp["bitmap"] not in bitmaps:
                raise SwfError("shape %d fills with unknown bitmap %d" % (cid, shp["bitmap"]))
            shapes[cid] = shp
        elif kind == 26:
            flags, depth = body[0], u16(body, 1)
            if flags & ~0x03:
                raise SwfError("placement flags %#x" % flags)
            cid = u16(body, 3)
            if cid not in shapes:
                raise SwfError("placing unknown shape %d" % cid)
            if depth in display and not flags & 1:
                raise SwfError("depth %d already used" % depth)
            if depth not in display and flags & 1:
                raise SwfError("moving at empty depth %d" % depth)
            display[depth] = cid
        elif kind == 28:
            depth = u16(body, 0)
            if depth not in display:
                raise SwfError("removing empty depth %d" % depth)
            del display[depth]
        elif kind == 1:
            stage = Image.new("RGB", (w, h), (255, 255, 255))
            for depth in sorted(display):
                draw(stage, bitmaps, shapes[display[depth]])
            frame = {"depths": len(display)}
            if out:
                stage.save("%s/frame_%04d.png" % (out, shown))
            if expect:
                frame["max"], frame["psnr"] = compare(stage, expected_frame("%s/frame_%04d.png" % (expect, shown),
                                                                            (w, h)))
            info["frames"].append(frame)
            shown += 1
        else:
            raise SwfError("unexpected tag %d" % kind)
    if p != len(d):
        raise SwfError("%d bytes after the end tag" % (len(d) - p))
    if shown != info["frame_count"]:
        raise SwfError("header says %d frames, %d shown" % (info["frame_count"], shown))
    info["bitmaps"] = len(bitmaps)
    return info


def main(argv):
    expect = out = None
    if "--expect" in argv:
        expect = argv[argv.index("--expect") + 1]
    if "--out" in argv:
        out = argv[argv.index("--out") + 1]
    try:
        info = read(argv[1], expect, out)
    except (SwfError, zlib.error, OSError, struct.error, IndexError, ValueError) as e:
        print(json.dumps({"error": str(e)}))
        return 1
    print(json.dumps(info))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
