// The picture, shape and text generators: geometry and pixels of the
// picture transform, failed transforms, save/load round trips (alone and in
// a project file) and damaged data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "app/dib_factories.h"
#include "app/project_file.h"
#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"

// fontconfig leaks a few bytes while it parses its XML configuration the
// first time; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using TevCustomPathLibV::CTevShapeObj;
using TevCustomPathLibV::CTevTextObj;

// A w x h opaque picture whose pixels all differ: B = x, G = y, R = 7x + 13y.
DibPtr Pattern(int w, int h) {
  return PatternPicture(w, h, [](int x, int y) { return std::array<BYTE, 4>{BYTE(x), BYTE(y), BYTE(7 * x + 13 * y), 255}; });
}

const BYTE* Pixel(const BITMAPINFOHEADER* dib, int x, int y) { return DibRow(dib, y) + 4 * x; }

// Pixel (ax, ay) of a equals pixel (bx, by) of b within tolerance per channel.
bool SamePixel(const BITMAPINFOHEADER* a, int ax, int ay, const BITMAPINFOHEADER* b, int bx, int by,
               int tolerance = 0) {
  const BYTE* p = Pixel(a, ax, ay);
  const BYTE* q = Pixel(b, bx, by);
  for (int c = 0; c < 4; ++c)
    if (std::abs(int(p[c]) - int(q[c])) > tolerance) return false;
  return true;
}

std::vector<BYTE> SaveToBytes(CDibFactory& f) {
  std::FILE* file = std::tmpfile();
  const long n = f.Save(file, "2004", "2007");
  std::vector<BYTE> bytes(n > 0 ? std::size_t(n) : 0);
  std::rewind(file);
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fseek(file, 0, SEEK_END);
  EXPECT_EQ(std::ftell(file), n) << "Save's count differs from the bytes written";
  std::fclose(file);
  bytes.resize(got);
  return bytes;
}

bool LoadFromBytes(CDibFactory& f, const std::vector<BYTE>& bytes, std::size_t count) {
  std::vector<BYTE> copy(bytes.begin(), bytes.begin() + std::ptrdiff_t(count));
  copy.push_back(0);  // fmemopen wants a non-empty buffer
  std::FILE* file = ::fmemopen(copy.data(), count ? count : 1, "rb");
  if (count == 0) std::fgetc(file);
  const bool ok = f.Load(file, 0, "2004", "2007");
  std::fclose(file);
  return ok;
}

RefPtr<CShapeDibFactory> StarFactory() {
  CTevShapeObj star(TevCustomPathLibV::kShapeStar, 60, 50);
  star.RenderProps().fillColour = RGB(240, 200, 20);
  star.RenderProps().outlineColour = RGB(20, 20, 120);
  star.RenderProps().outlineWidth = 3;
  star.SetAngle(20);
  return MakeRef<CShapeDibFactory>(star);
}

RefPtr<CTextDibFactory> HelloFactory() {
  CTevTextObj text;
  text.SetText("Hello");
  auto font = text.Font();
  font.size = 24;
  text.SetFont(font);
  text.RenderProps().fillColour = RGB(200, 0, 0);
  return MakeRef<CTextDibFactory>(text);
}

}  // namespace

// Quarter turns and a scale of two against their coordinate maps: output
// (x, y) of a W x H result shows source src(x, y). Nearest neighbour moves
// pixels exactly; the default bicubic filter's tabled weights may be off by one.
TEST(PictureFactory, TurnsAndScalesMoveEveryPixel) {
  const int w = 5, h = 3;
  DibPtr source = Pattern(w, h);
  const struct {
    double scale, angle;
    int filter, outW, outH;
    POINT (*src)(int x, int y);
  } cases[] = {
      // Clockwise on screen: the source's top row becomes the right column.
      {1.0, 90.0, 0, h, w, [](int x, int y) { return POINT{y, h - 1 - x}; }},
      {1.0, 90.0, 5, h, w, [](int x, int y) { return POINT{y, h - 1 - x}; }},
      {1.0, -90.0, 0, h, w, [](int x, int y) { return POINT{w - 1 - y, x}; }},
      {2.0, 0.0, 0, 2 * w, 2 * h, [](int x, int y) { return POINT{x / 2, y / 2}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "angle " << c.angle << " scale " << c.scale << " filter " << c.filter);
    CBitmapDibFactory f(DibPtr(DibCopy(source.get())), c.scale, c.scale, c.angle, c.filter);
    DibPtr out(f.Build());
    ASSERT_TRUE(out);
    ASSERT_EQ(out->biWidth, c.outW);
    ASSERT_EQ(DibHeight(out.get()), c.outH);
    for (int y = 0; y < c.outH; ++y)
      for (int x = 0; x < c.outW; ++x) {
        const POINT s = c.src(x, y);
        EXPECT_TRUE(SamePixel(out.get(), x, y, source.get(), s.x, s.y, c.filter ? 1 : 0)) << x << "," << y;
      }
  }
}

TEST(PictureFactory, RotatedBoxIsRoundedAndTheCornersStayTransparentWhite) {
  CBitmapDibFactory f(DibPtr(CDIB32::CreateSimple32BitsDIB(40, 20, RGB(0, 0, 0), 255)), 1.0, 1.0, 45.0);
  DibPtr out(f.Build());
  ASSERT_TRUE(out);
  const double side = (40 + 20) / std::sqrt(2.0);  // 42.43
  EXPECT_EQ(out->biWidth, LONG(std::floor(side + 0.5)));
  EXPECT_EQ(DibHeight(out.get()), LONG(std::floor(side + 0.5)));
  const BYTE* corner = Pixel(out.get(), 0, 0);
  EXPECT_EQ(corner[3], 0);
  EXPECT_EQ(corner[0], 255);
  EXPECT_EQ(Pixel(out.get(), out->biWidth / 2, DibHeight(out.get()) / 2)[3], 255);
}

// A transform beyond what the generator takes (too large, zero, not a
// number) fails and leaves size, angle and picture as they were.
TEST(Factories, FailedTransformRestoresScalesAndAngle) {
  RefPtr<CDibFactory> factories[] = {MakeRef<CBitmapDibFactory>(Pattern(8, 8), 1.5, 1.0, 10.0), StarFactory()};
  for (const auto& f : factories) {
    DibPtr before(f->Build());
    ASSERT_TRUE(before);
    double w0 = 0, h0 = 0, w = 0, h = 0;
    f->GetNaturalSize(w0, h0);
    const double angle = f->GetAngle();
    for (const auto& t : {std::array<double, 3>{1e5, 1e5, 30.0}, {0.0, 1.0, 30.0}, {std::nan(""), 1.0, 30.0},
                          {1.0, 1.0, INFINITY}})
      EXPECT_EQ(f->Transform(t[0], t[1], t[2]), nullptr) << t[0] << " " << t[2];
    f->GetNaturalSize(w, h);
    EXPECT_EQ(std::vector<double>({w, h, f->GetAngle()}), std::vector<double>({w0, h0, angle}));
    DibPtr after(f->Build());
    EXPECT_TRUE(PixelEqual(before.get(), after.get()));
  }
}

TEST(Factories, TruncatedOrDamagedDataFailsAndKeepsTheParameters) {
  RefPtr<CDibFactory> factories[] = {MakeRef<CBitmapDibFactory>(Pattern(6, 5), 2.0, 2.0, 0.0), StarFactory(),
                                     HelloFactory()};
  RefPtr<CDibFactory> targets[] = {MakeRef<CBitmapDibFactory>(Pattern(3, 3)), StarFactory(), HelloFactory()};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    std::vector<BYTE> bytes = SaveToBytes(*factories[i]);
    ASSERT_GT(bytes.size(), 40u);
    // Loading a truncated copy into a working factory must leave it as it was.
    DibPtr before(targets[i]->Build());
    ASSERT_TRUE(before);
    for (std::size_t n : {std::size_t(20), bytes.size() - 1}) {
      EXPECT_FALSE(LoadFromBytes(*targets[i], bytes, n)) << n << " of " << bytes.size() << " bytes";
      DibPtr after(targets[i]->Build());
      EXPECT_TRUE(PixelEqual(before.get(), after.get())) << n;
    }
  }
  // A flipped bit inside a shape record is caught by its checksum.
  std::vector<BYTE> shape = SaveToBytes(*StarFactory());
  shape[shape.size() / 2] ^= 0x10;
  CShapeDibFactory other;
  EXPECT_FALSE(LoadFromBytes(other, shape, shape.size()));
}

TEST(Factories, ProjectFileKeepsAllThreeGeneratorsAndTheirShadows) {
  RegisterDibFactories();
  CGifImage model;
  model.m_nWidth = 200;
  model.m_nHeight = 120;
  RefPtr<CDibFactory> factories[] = {MakeRef<CBitmapDibFactory>(Pattern(10, 6), 2.0, 1.0, 30.0), HelloFactory(),
                                     StarFactory()};
  const std::int32_t kinds[] = {OBJECT_PICTURE, OBJECT_TEXT, OBJECT_SHAPE};
  auto frame = MakeRef<CGifFrame>(std::uint16_t(10));
  model.m_frames.push_back(frame);
  for (int i = 0; i < 3; ++i) {
    RefPtr<CDib> object = CreateGeneratorObject(factories[i], kinds[i]);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->m_nShadowKind, 0);
    object->m_strName = std::to_string(i);
    object->m_nShadowKind = 4;
    object->BuildShadow();
    ASSERT_TRUE(object->HasShadow());
    ASSERT_TRUE(model.InsertObject(i, object));
  }
  const TempDir dir;
  const std::string path = dir.File("factories.lwp");
  std::string reason;
  ASSERT_TRUE(WriteProjectFile(model, path, nullptr, &reason)) << reason;
  CGifImage back;
  CProjectReadInfo info;
  ASSERT_TRUE(ReadProjectFile(back, path, nullptr, &info)) << info.reason;
  ASSERT_EQ(back.GetObjectCount(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const CDib& a = *model.m_objects[std::size_t(i)];
    const CDib& b = *back.m_objects[std::size_t(i)];
    EXPECT_EQ(b.m_nKind, kinds[i]);
    ASSERT_TRUE(b.m_pFactory);
    EXPECT_TRUE(PixelEqual(a.GetImage(), b.GetImage()));
    EXPECT_TRUE(b.HasShadow());
    EXPECT_TRUE(PixelEqual(a.GetShadowImage(), b.GetShadowImage()));
  }
}
