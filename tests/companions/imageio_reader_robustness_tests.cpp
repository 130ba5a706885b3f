// Every reader against damaged copies of a good file: random byte changes
// and cuts (fixed seed, so a failure repeats). A reader may accept or refuse
// a damaged file, but must not crash, and what it accepts must be a whole,
// valid picture. Run under the sanitizers this finds unchecked sizes.
#include <gtest/gtest.h>

#include <random>

#include "imageio_reader_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

const char* kMakeSeeds = R"PY(
import sys, struct, io
from PIL import Image
d = sys.argv[1]
im = Image.new('RGB', (23, 17))
im.putdata([(x * 11, y * 15, (x ^ y) * 9 % 256) for y in range(17) for x in range(23)])
im.save(d + '/seed.jpg', quality=80)
im.save(d + '/seed.tif', save_all=True, append_images=[im.convert('L'), im.convert('P')], compression='tiff_lzw')
im.convert('RGBA').save(d + '/seed.tga', rle=True)
im.convert('P').save(d + '/seed-cmap.tga', rle=True)
im.save(d + '/seed.pcx')
im.convert('P').save(d + '/seed-pal.pcx')
def chunk(cid, data):
    return cid + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')
icons = []
for i in range(2):
    b = io.BytesIO()
    im.convert('RGBA').resize((8, 8)).save(b, format='ICO', sizes=[(8, 8)], bitmap_format='bmp' if i else 'png')
    icons.append(b.getvalue())
body = chunk(b'anih', struct.pack('<9I', 36, 2, 3, 0, 0, 0, 0, 5, 3)) + chunk(b'rate', struct.pack('<3I', 1, 2, 3))
body += chunk(b'seq ', struct.pack('<3I', 1, 0, 1)) + chunk(b'LIST', b'fram' + b''.join(chunk(b'icon', c) for c in icons))
open(d + '/seed.ani', 'wb').write(b'RIFF' + struct.pack('<I', len(body) + 4) + b'ACON' + body)
def packbits(row):
    return b''.join(bytes([len(row[i:i + 100]) - 1]) + bytes(row[i:i + 100]) for i in range(0, len(row), 100))
def layer(top, left, bottom, right, value):
    w, h = right - left, bottom - top
    chans = []
    for c in (-1, 0, 1, 2):
        rows = [bytes([(value + c * 40 + x + y) % 256 for x in range(w)]) for y in range(h)]
        packed = [packbits(r) for r in rows]
        chans.append((c, struct.pack('>H', 1) + b''.join(struct.pack('>H', len(p)) for p in packed) + b''.join(packed)))
    rec = struct.pack('>4iH', top, left, bottom, right, 4) + b''.join(struct.pack('>hI', c, len(b)) for c, b in chans)
    extra = struct.pack('>II', 0, 0) + b'\x03abc'
    rec += b'8BIMnorm' + bytes([200, 0, 0, 0]) + struct.pack('>I', len(extra)) + extra
    return rec, b''.join(b for _, b in chans)
ls = [layer(0, 0, 17, 23, 10), layer(2, 3, 9, 12, 100)]
info = struct.pack('>h', 2) + b''.join(r for r, _ in ls) + b''.join(c for _, c in ls)
info += b'\0' * (len(info) % 2)
section = struct.pack('>I', len(info)) + info + struct.pack('>I', 0)
rows = [packbits(bytes([(x * c + y) % 256 for x in range(23)])) for c in range(3) for y in range(17)]
merged = struct.pack('>H', 1) + b''.join(struct.pack('>H', len(r)) for r in rows) + b''.join(rows)
psd = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', 3, 17, 23, 8, 3) + struct.pack('>II', 0, 0)
open(d + '/seed.psd', 'wb').write(psd + struct.pack('>I', len(section)) + section + merged)
def wrec(fn, *words, raw=b''):
    body = b''.join(struct.pack('<h', w) for w in words) + raw
    return struct.pack('<IH', 3 + len(body) // 2, fn) + body
bmi = struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0) + bytes(16)
recs = [wrec(0x020C, 100, 100), wrec(0x02FC, 0, 255, 0, 0), wrec(0x012D, 0), wrec(0x02FA, 0, 3, 0, 0, 0), wrec(0x012D, 1),
        wrec(0x041B, 80, 90, 10, 10), wrec(0x0418, 50, 50, 0, 0), wrec(0x0324, 3, 0, 0, 50, 0, 25, 40),
        wrec(0x081A, 90, 10, 10, 90, 90, 90, 10, 10), wrec(0x0F43, 0x20, 0xCC, 0, 2, 2, 0, 0, 20, 20, 5, 5, raw=bmi),
        wrec(0x0538, 2, 3, 3, 0, 0, 9, 0, 0, 9, 20, 20, 29, 20, 20, 29)]
wbody = b''.join(recs) + wrec(0)
open(d + '/seed.wmf', 'wb').write(struct.pack('<HHHIHIH', 1, 9, 0x300, (18 + len(wbody)) // 2, 4, 64, 0) + wbody)
def erec(t, *fields, raw=b''):
    body = b''.join(struct.pack('<i', f) for f in fields) + raw
    body += b'\0' * (-len(body) % 4)
    return struct.pack('<II', t, 8 + len(body)) + body
pts = b''.join(struct.pack('<hh', x, y) for x, y in [(0, 0), (40, 5), (20, 30), (5, 20)])
stretch = struct.pack('<4i', 0, 0, 0, 0) + struct.pack('<6i', 5, 5, 0, 0, 2, 2) + struct.pack('<6I', 80, 40, 120, 16, 0, 0x00CC0020) + struct.pack('<2i', 9, 9)
erecs = [erec(17, 8), erec(9, 100, 100), erec(11, 50, 50), erec(39, 1, 0, 0x123456, 0), erec(37, 1), erec(43, 1, 1, 40, 40),
         erec(86, 0, 0, 0, 0, 4, raw=pts), erec(59), erec(27, 3, 3), erec(54, 30, 3), erec(54, 30, 30), erec(61), erec(60), erec(63, 0, 0, 0, 0),
         erec(81, raw=stretch + struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 32, 0, 16, 0, 0, 0, 0) + bytes(range(16))),
         erec(91, 0, 0, 0, 0, 2, 6, 3, 3, raw=pts[:12] + pts[:12]), erec(45, 0, 0, 40, 40, 40, 20, 0, 20)]
ebody = b''.join(erecs) + erec(14, 0, 16, 20)
head = struct.pack('<II4i4i', 1, 88, 0, 0, 49, 49, 0, 0, 1300, 1300) + b' EMF' + struct.pack('<IIIHHIII', 0x10000, 88 + len(ebody), len(erecs) + 2, 4, 0, 0, 0, 0) + struct.pack('<4i', 1024, 768, 270, 203)
open(d + '/seed.emf', 'wb').write(head + ebody)
)PY";

struct Seed {
  const char* file;
  int format;
};

}  // namespace

TEST(ImageIoRobustness, DamagedCopiesNeverCrashAndGiveWholePictures) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  TempDir dir;
  ASSERT_TRUE(MakeFiles(dir, kMakeSeeds));
  const Seed seeds[] = {{"seed.jpg", IMAGE_FORMAT_JPEG}, {"seed.tif", IMAGE_FORMAT_TIFF}, {"seed.tga", IMAGE_FORMAT_TGA},
                        {"seed-cmap.tga", IMAGE_FORMAT_TGA}, {"seed.pcx", IMAGE_FORMAT_PCX}, {"seed-pal.pcx", IMAGE_FORMAT_PCX},
                        {"seed.ani", IMAGE_FORMAT_ANI}, {"seed.psd", IMAGE_FORMAT_PSD}, {"seed.wmf", IMAGE_FORMAT_WMF},
                        {"seed.emf", IMAGE_FORMAT_EMF}};
  std::mt19937 rng(20261206);
  for (const Seed& s : seeds) {
    SCOPED_TRACE(s.file);
    const std::vector<unsigned char> good = ReadBytes(dir.File(s.file));
    ASSERT_GT(good.size(), 32u);
    // The seed itself reads, with layers too for the PSD.
    CTevImageInfoPack first;
    ASSERT_EQ(Load(first, dir.File(s.file), s.format), 0) << first.errorText;
    int accepted = 0;
    for (int round = 0; round < 150; ++round) {
      std::vector<unsigned char> bytes = good;
      const int kind = round % 3;
      if (kind == 0) {
        bytes.resize(std::uniform_int_distribution<std::size_t>(1, good.size() - 1)(rng));
      } else {
        const int changes = kind == 1 ? 1 : 8;
        for (int c = 0; c < changes; ++c) {
          const std::size_t at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng);
          bytes[at] = kind == 1 ? BYTE(0xFF) : BYTE(rng());
        }
      }
      const std::string path = dir.File("damaged");
      WriteBytes(path, bytes);
      for (BYTE layers : {BYTE(0), BYTE(1)}) {
        if (layers && s.format != IMAGE_FORMAT_PSD) continue;
        CTevImageInfoPack pack;
        pack.path = path;
        auto options = CTevImgImportOptions::NewImportOptions(s.format);
        if (auto* psd = options->As<CTevPsdImportOptions>()) psd->layersAsObjects = layers;
        const int rc = LoadImageW(pack, options.get(), nullptr);
        if (rc != 0) {
          ASSERT_FALSE(pack.picture) << "round " << round;
          ASSERT_FALSE(pack.errorText.empty()) << "round " << round;
          continue;
        }
        ++accepted;
        ASSERT_GT(pack.width, 0) << "round " << round;
        ASSERT_GT(pack.height, 0) << "round " << round;
        for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
          ASSERT_TRUE(b->picture) << "round " << round;
          ASSERT_TRUE(DibHeaderValid(b->picture.get())) << "round " << round;
          if (b->mask) {
            ASSERT_TRUE(DibHeaderValid(b->mask.get())) << "round " << round;
          }
        }
      }
    }
    // Damage is mostly caught, but some copies stay readable (a changed pixel byte).
    EXPECT_GT(accepted, 0);
  }
}
