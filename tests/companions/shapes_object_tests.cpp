// Shape and text objects: the serialized records, damaged records, and
// text in Latin and CJK fonts.
#include <gtest/gtest.h>

#include "companions/shapes/TevCustomPathLib.h"
#include "vector_test_util.h"

using namespace TevCustomPathLibV;
using lwtest::Px;

// fontconfig leaks a few bytes while it parses its XML configuration the
// first time; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

int OpaqueCount(const BITMAPINFOHEADER* d) {
  int n = 0;
  for (int y = 0; y < DibHeight(d); ++y)
    for (int x = 0; x < DibWidth(d); ++x) n += Px(d, x, y)[3] > 128;
  return n;
}

bool SamePixels(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  return DibWidth(a) == DibWidth(b) && DibHeight(a) == DibHeight(b) &&
         std::memcmp(DibBits(a), DibBits(b), DibImageBytes(a)) == 0;
}

CTevShapeObj StyledStar() {
  CTevShapeObj s(kShapeStar, 80, 60);
  s.SetCount(7);
  s.SetRatio(0.45);
  auto& p = s.RenderProps();
  p.fillColour = RGB(200, 30, 40);
  p.outlineColour = RGB(0, 0, 255);
  p.outlineWidth = 3;
  p.dashStyle = kDashDashDot;
  p.fillMode = kFillRadial;
  p.fillGradient = BuildPresetGradientTables().tables[1];
  p.transparency = 40;
  s.SetScale(1.5, 0.75);
  s.SetAngle(30);
  return s;
}

CTevTextObj LatinText() {
  CTevTextObj t;
  t.SetText("Hello\nLoop");
  TevFontDesc f;
  f.size = 28;
  f.bold = true;
  f.underline = true;
  t.SetFont(f);
  t.RenderProps().fillColour = RGB(10, 120, 200);
  t.RenderProps().strokeOutline = true;
  return t;
}

}  // namespace

// Through a byte buffer the shape comes back with the same properties and
// renders pixel for pixel the same.
TEST(ShapeObject, RoundTripRendersPixelEqual) {
  CTevShapeObj s = StyledStar();
  DibPtr before(s.Render());
  ASSERT_TRUE(before);
  std::vector<std::uint8_t> bytes;
  std::size_t n = s.Save(bytes, "2004", "2007");
  ASSERT_EQ(n, bytes.size());
  CTevShapeObj back;
  std::size_t used = 0;
  ASSERT_TRUE(back.Load(bytes.data(), bytes.size(), &used, "2004", "2007"));
  EXPECT_EQ(used, n);
  EXPECT_EQ(back.RenderProps(), s.RenderProps());
  DibPtr after(back.Render());
  ASSERT_TRUE(after);
  EXPECT_TRUE(SamePixels(before.get(), after.get()));
}

TEST(ShapeObject, DamagedRecordsFailAndLeaveTheObjectAlone) {
  CTevShapeObj s = StyledStar();
  std::vector<std::uint8_t> bytes;
  s.Save(bytes, "2004", "2007");
  CTevShapeObj target(kShapeEllipse, 11, 12);
  auto unchanged = [&] {
    double w, h;
    target.GetSourceSize(&w, &h);
    return target.Kind() == kShapeEllipse && w == 11 && h == 12;
  };
  // Every truncation fails.
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    ASSERT_FALSE(target.Load(bytes.data(), cut, nullptr, "2004", "2007")) << cut;
    ASSERT_TRUE(unchanged());
  }
  // Flipping any single byte is caught (header checks and the checksum).
  int accepted = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto bad = bytes;
    bad[i] ^= 0xFF;
    CTevShapeObj t;
    accepted += t.Load(bad.data(), bad.size(), nullptr, "2004", "2007");
  }
  EXPECT_EQ(accepted, 0);
  // A custom path claiming a huge vertex count is refused before allocating.
  CTevShapeObj custom(kShapeCustom, 10, 10);
  CTevPath unit;
  unit.move_to(0, 0), unit.line_to(1, 0), unit.line_to(0, 1), unit.ClosePolygon();
  custom.SetCustomPath(unit);
  std::vector<std::uint8_t> cb;
  custom.Save(cb, nullptr, nullptr);
  std::size_t countAt = cb.size() - 4 - 4 * 17 - 4;  // before the vertices and the checksum
  cb[countAt] = 0xFF, cb[countAt + 1] = 0xFF, cb[countAt + 2] = 0x00, cb[countAt + 3] = 0x00;
  EXPECT_FALSE(target.Load(cb.data(), cb.size(), nullptr, nullptr, nullptr));
}

TEST(TextObject, LatinAndCjkRenderVisibleGlyphs) {
  CTevTextObj latin = LatinText();
  DibPtr a(latin.Render());
  ASSERT_TRUE(a);
  EXPECT_GT(OpaqueCount(a.get()), 300);
  EXPECT_EQ(latin.CharacterCount(), 9u);
  double w, h;
  latin.GetNaturalSize(&w, &h);
  EXPECT_GT(h, 2 * 28 * 0.9);  // two lines

  CTevTextObj cjk;
  cjk.SetText("动画横幅");
  TevFontDesc f;
  f.size = 30;
  cjk.SetFont(f);  // default family lacks these: the CJK font draws them
  DibPtr c(cjk.Render());
  ASSERT_TRUE(c);
  EXPECT_GT(OpaqueCount(c.get()), 300);
  cjk.GetSourceSize(&w, &h);
  EXPECT_GT(w, 4 * 30 * 0.8);  // four full-width characters, not empty boxes
}

TEST(TextObject, SerializedTextRendersPixelEqualAndRejectsDamage) {
  CTevTextObj t = LatinText();
  t.SetScale(1.25, 1.25);
  t.SetAngle(-15);
  DibPtr before(t.Render());
  ASSERT_TRUE(before);
  std::vector<std::uint8_t> bytes;
  ASSERT_GT(t.Save(bytes, "2004", "2007"), 0u);
  CTevTextObj back;
  ASSERT_TRUE(back.Load(bytes.data(), bytes.size(), nullptr, "2004", "2007"));
  EXPECT_EQ(back.Text(), "Hello\nLoop");
  DibPtr after(back.Render());
  ASSERT_TRUE(after);
  EXPECT_TRUE(SamePixels(before.get(), after.get()));
  // Invalid UTF-8 inside the text is refused.
  auto bad = bytes;
  std::size_t textAt = std::search(bad.begin(), bad.end(), std::begin("Hello"), std::end("Hello") - 1) - bad.begin();
  ASSERT_LT(textAt, bad.size());
  bad[textAt] = 0xC0;
  EXPECT_FALSE(back.Load(bad.data(), bad.size(), nullptr, "2004", "2007"));
}
