// WMF and EMF playback: files built record by record, checked pixel by
// pixel where the drawing is unambiguous (inside shapes, away from edges),
// transparency where nothing was drawn, and damaged record streams.
#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

const char* kMakeMetafiles = R"PY(
import sys, struct
d = sys.argv[1]

# ---- WMF: placeable frame 200 x 200 logical units at 192 per inch -> 100 x 100 pixels.
def wrec(fn, *words, raw=b''):
    body = b''.join(struct.pack('<h' if w < 0 else '<H', w) for w in words) + raw
    if len(body) % 2: body += b'\0'
    return struct.pack('<IH', 3 + len(body) // 2, fn) + body
def colour(r, g, b):
    return (r | (g << 8), b)
def wmf(records, bbox=(0, 0, 200, 200), inch=192):
    body = b''.join(records) + wrec(0)
    head = struct.pack('<HHHIHIH', 1, 9, 0x300, (18 + len(body)) // 2, 8, 64, 0)
    ph = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, *bbox, inch, 0)
    cs = 0
    for i in range(0, 20, 2):
        cs ^= struct.unpack('<H', ph[i:i + 2])[0]
    return ph + struct.pack('<H', cs) + head + body
def dib24(rows):  # rows top first, each a list of (r, g, b)
    h, w = len(rows), len(rows[0])
    bits = b''
    for row in reversed(rows):
        line = b''.join(bytes([b, g, r]) for r, g, b in row)
        bits += line + b'\0' * (-len(line) % 4)
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(bits), 0, 0, 0, 0) + bits
recs = [
    wrec(0x020B, 0, 0), wrec(0x020C, 200, 200),                 # window org (y, x), ext (y, x)
    wrec(0x02FC, 0, *colour(255, 0, 0), 0), wrec(0x012D, 0),     # red brush -> slot 0
    wrec(0x02FA, 5, 0, 0, 0, 0), wrec(0x012D, 1),                # null pen -> slot 1
    wrec(0x041B, 80, 100, 20, 20),                               # Rectangle(b, r, t, l)
    wrec(0x02FC, 0, *colour(0, 0, 255), 0), wrec(0x012D, 2),     # blue brush -> slot 2
    wrec(0x0418, 90, 180, 10, 120),                              # Ellipse
    wrec(0x01F0, 0),                                             # free slot 0
    wrec(0x02FC, 0, *colour(0, 160, 0), 0), wrec(0x012D, 0),     # green brush reuses slot 0
    wrec(0x081A, 200, 150, 150, 200, 200, 200, 100, 100),        # Pie on (100,100)-(200,200) from (200,150) to (150,200)
    wrec(0x02FA, 0, 8, 0, *colour(0, 0, 0)), wrec(0x012D, 3),    # black pen, 8 units wide -> slot 3
    wrec(0x0214, 10, 190), wrec(0x0213, 90, 190),                # MoveTo(y, x) / LineTo(y, x)
    wrec(0x0F43, 0x0020, 0x00CC, 0, 2, 2, 0, 0, 40, 40, 100, 0,  # StretchDIBits: 2 x 2 into (0,100)-(40,140)
         raw=dib24([[(255, 255, 0), (0, 255, 255)], [(255, 0, 255), (128, 128, 128)]])),
    wrec(0x0324, 3, 0, 160, 40, 160, 20, 199),                   # Polygon (green, black outline)
    wrec(0x0010, 1, 2, 3),                                       # an unknown record: skipped
]
open(d + '/shapes.wmf', 'wb').write(wmf(recs))
good = wmf(recs)
open(d + '/cut.wmf', 'wb').write(good[:len(good) - 20])
zero = bytearray(wmf(recs[:4])); at = 22 + 18
zero[at:at + 4] = struct.pack('<I', 0)
open(d + '/zero.wmf', 'wb').write(bytes(zero))
open(d + '/huge.wmf', 'wb').write(wmf([wrec(0x0325, 30000, 1, 2)] + recs))   # Polyline claiming 30000 points
# No placeable frame and no window extent: nothing says how large the picture is.
plain = b''.join(recs[2:]) + wrec(0)
open(d + '/nosize.wmf', 'wb').write(struct.pack('<HHHIHIH', 1, 9, 0x300, (18 + len(plain)) // 2, 8, 64, 0) + plain)


# ---- EMF: bounds (0,0)-(99,79) -> 100 x 80 pixels; anisotropic mapping halves logical units.
def erec(t, *fields, raw=b''):
    body = b''
    for f in fields:
        body += struct.pack('<f', f) if isinstance(f, float) else struct.pack('<i' if f < 0 else '<I', f)
    body += raw
    body += b'\0' * (-len(body) % 4)
    return struct.pack('<II', t, 8 + len(body)) + body
def emf(records, bounds=(0, 0, 99, 79)):
    body = b''.join(records) + erec(14, 0, 16, 20)
    head = struct.pack('<II4i4i', 1, 88, *bounds, 0, 0, 2645, 2116) + b' EMF' + struct.pack('<IIIHHIII', 0x10000, 88 + len(body), len(records) + 2, 4, 0, 0, 0, 0) + struct.pack('<4i', 1024, 768, 270, 203)
    return head + body
star = [(50, 10), (80, 140), (0, 50), (100, 50), (20, 140)]   # logical; a five-pointed star drawn in one stroke
pts16 = b''.join(struct.pack('<hh', x + 100, y) for x, y in star)
bgra = bytes([0, 0, 255, 0] * 4)                                # 2 x 2, 32 bits, alpha all zero: opaque red
bmi = struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 32, 0, 16, 0, 0, 0, 0)
stretch = struct.pack('<4i', 0, 0, 0, 0) + struct.pack('<6i', 10, 60, 0, 0, 2, 2) + struct.pack('<6I', 80, 40, 120, 16, 0, 0x00CC0020) + struct.pack('<2i', 20, 20)
erecs = [
    erec(17, 8),                                   # MM_ANISOTROPIC
    erec(9, 200, 160), erec(11, 100, 80),          # window ext 200 x 160 -> viewport 100 x 80
    erec(39, 1, 0, 0x00FF00, 0), erec(37, 1),      # green brush
    erec(37, 0x80000008),                          # stock NULL_PEN
    erec(43, 0, 0, 60, 40),                        # Rectangle -> pixels (0,0)-(30,20)
    erec(19, 1),                                   # ALTERNATE: the star's centre stays empty
    erec(39, 2, 0, 0xFF0000, 0), erec(37, 2),      # blue brush
    erec(86, 0, 0, 0, 0, 5, raw=pts16),            # Polygon16
    erec(59), erec(27, 0, 100), erec(54, 40, 100), erec(54, 40, 140), erec(61), erec(60),  # path: a triangle
    erec(62, 0, 0, 0, 0),                          # FillPath (blue)
    erec(81, raw=stretch + bmi + bgra),            # StretchDIBits into logical (10,60)-(30,80) -> pixels (5,30)-(15,40)
    erec(35, 1.0, 0.0, 0.0, 1.0, 60.0, 110.0),     # world transform: translate by (60, 110)
    erec(39, 3, 0, 0x0000FF, 0), erec(37, 3),      # red brush
    erec(42, 0, 0, 30, 40),                        # Ellipse at logical (60,110)-(90,150) -> pixels (30,55)-(45,75)
    erec(70, 4, raw=b'junk'),                      # comment: skipped
]
open(d + '/shapes.emf', 'wb').write(emf(erecs))
g = emf(erecs)
open(d + '/cut.emf', 'wb').write(g[:len(g) - 12])
open(d + '/zero.emf', 'wb').write(emf(erecs)[:88] + struct.pack('<II', 17, 0) + b'\0' * 16)
open(d + '/odd.emf', 'wb').write(emf(erecs)[:88] + struct.pack('<II', 17, 10) + b'\0' * 16)
open(d + '/counts.emf', 'wb').write(emf([erec(86, 0, 0, 0, 0, 0x40000000, raw=pts16), erec(8, 0, 0, 0, 0, 0x7FFFFFFF, 3, 1, 2, 3)] + erecs))
open(d + '/empty.emf', 'wb').write(emf(erecs, bounds=(0, 0, -1, -1)))
)PY";

using ImageIoMetafile = ScriptFiles<&kMakeMetafiles>;

// BGRA of pixel (x, y) of the loaded picture.
const BYTE* Px(const CTevImageInfoPack& pack, int x, int y) { return DibRow(pack.picture.get(), y) + x * 4; }

void ExpectColour(const CTevImageInfoPack& pack, int x, int y, int r, int g, int b, int tolerance = 0) {
  const BYTE* p = Px(pack, x, y);
  EXPECT_EQ(p[3], 255) << x << "," << y;
  EXPECT_NEAR(p[2], r, tolerance) << x << "," << y;
  EXPECT_NEAR(p[1], g, tolerance) << x << "," << y;
  EXPECT_NEAR(p[0], b, tolerance) << x << "," << y;
}

void ExpectClear(const CTevImageInfoPack& pack, int x, int y) { EXPECT_EQ(Px(pack, x, y)[3], 0) << x << "," << y; }

}  // namespace

TEST_F(ImageIoMetafile, WmfShapesBitmapsAndMapping) {
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("shapes.wmf"), IMAGE_FORMAT_WMF), 0) << pack.errorText;
  ASSERT_EQ(pack.width, 100);
  ASSERT_EQ(pack.height, 100);
  EXPECT_EQ(pack.transparencyMode, TRANSPARENCY_ALPHA);
  ExpectColour(pack, 30, 25, 255, 0, 0);  // rectangle (10,10)-(50,40), no outline
  ExpectColour(pack, 11, 11, 255, 0, 0);
  ExpectClear(pack, 8, 25);
  ExpectColour(pack, 75, 25, 0, 0, 255);  // ellipse (60,5)-(90,45)
  ExpectClear(pack, 61, 6);               // outside the ellipse, inside its box
  // Pie on the circle (50,50)-(100,100) running counter-clockwise from its
  // right end to its bottom: the lower-right quarter is left out.
  ExpectColour(pack, 65, 65, 0, 160, 0);
  ExpectColour(pack, 85, 65, 0, 160, 0);
  ExpectClear(pack, 85, 85);
  // Black line, 4 pixels wide, x = 95 from y = 5 to 45.
  ExpectColour(pack, 95, 30, 0, 0, 0);
  ExpectClear(pack, 98, 30);
  // 2 x 2 bitmap stretched over (0,50)-(20,70): its top row is yellow, cyan.
  // (Sampled away from the blocks' shared edges, which the filter blends.)
  ExpectColour(pack, 3, 53, 255, 255, 0, 4);
  ExpectColour(pack, 17, 53, 0, 255, 255, 4);
  ExpectColour(pack, 3, 67, 255, 0, 255, 4);
  ExpectColour(pack, 17, 67, 128, 128, 128, 4);
  ExpectClear(pack, 25, 60);
  // Triangle (0,80)-(20,80)-(10,99) filled green inside a black outline.
  ExpectColour(pack, 10, 84, 0, 160, 0);
  ExpectClear(pack, 30, 95);
}

TEST_F(ImageIoMetafile, EmfMappingPathsFillModesAndBitmaps) {
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("shapes.emf"), IMAGE_FORMAT_EMF), 0) << pack.errorText;
  ASSERT_EQ(pack.width, 100);
  ASSERT_EQ(pack.height, 80);
  ExpectColour(pack, 15, 10, 0, 255, 0);  // rectangle (0,0)-(30,20)
  ExpectClear(pack, 35, 10);
  // Star (even-odd): a point arm is blue, the pentagon in the middle stays empty.
  ExpectColour(pack, 75, 10, 0, 0, 255);
  ExpectClear(pack, 75, 32);
  // The path triangle (0,50)-(20,50)-(20,70).
  ExpectColour(pack, 15, 55, 0, 0, 255);
  ExpectClear(pack, 3, 67);
  // The bitmap (alpha all zero means opaque) over (5,30)-(15,40).
  ExpectColour(pack, 10, 35, 255, 0, 0);
  ExpectClear(pack, 18, 35);
  // The ellipse through the world transform: (30,55)-(45,75).
  ExpectColour(pack, 37, 65, 255, 0, 0);
  ExpectClear(pack, 31, 56);

  // Empty bounds: the size comes from the frame (0.01 mm) on the reference device.
  CTevImageInfoPack framed;
  ASSERT_EQ(Load(framed, dir.File("empty.emf"), IMAGE_FORMAT_EMF), 0) << framed.errorText;
  EXPECT_EQ(framed.width, 100);
  EXPECT_EQ(framed.height, 80);
}

TEST_F(ImageIoMetafile, DamagedRecordStreams) {
  // Cut before the end record, a zero record size (an endless loop if
  // trusted), a size that is not whole words, no picture size.
  for (const char* name : {"cut.wmf", "zero.wmf", "nosize.wmf", "cut.emf", "zero.emf", "odd.emf"})
    ExpectRefused(dir, name, std::string(name).ends_with("wmf") ? IMAGE_FORMAT_WMF : IMAGE_FORMAT_EMF);
  // Point counts larger than their records are skipped; the rest still draws
  // (the red rectangle of the placeable file, the green one of the enhanced).
  CTevImageInfoPack wmf, emf;
  ASSERT_EQ(Load(wmf, dir.File("huge.wmf"), IMAGE_FORMAT_WMF), 0) << wmf.errorText;
  ExpectColour(wmf, 30, 25, 255, 0, 0);
  ASSERT_EQ(Load(emf, dir.File("counts.emf"), IMAGE_FORMAT_EMF), 0) << emf.errorText;
  ExpectColour(emf, 15, 10, 0, 255, 0);
}
