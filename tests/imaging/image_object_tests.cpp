// CTevObjImage ownership, layout, pixel packing, palettes, conversions and
// alpha channel.
#include <gtest/gtest.h>

#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;

TEST(ImageOwnership, CopiesDeepCopyOwnedAndShareAttached) {
  CTevObjImage owner(4, 4, 32);
  owner.SetPixelData(1, 1, 0x11223344);
  CTevObjImage deep(owner);
  EXPECT_NE(deep.GetImageBits(), owner.GetImageBits());
  EXPECT_EQ(deep.GetPixelData(1, 1), 0x11223344u);

  CTevObjImage attached;
  ASSERT_TRUE(attached.Attach(owner.GetImageBits()));
  CTevObjImage shared;
  shared = attached;
  EXPECT_EQ(shared.GetImageBits(), owner.GetImageBits());
  shared.SetPixelData(0, 0, 7);
  EXPECT_EQ(owner.GetPixelData(0, 0), 7u);

  // Detch of an attached image hands the pointer back without freeing it.
  EXPECT_EQ(attached.Detch(), owner.GetImageBits());
  EXPECT_FALSE(attached.IsValidImage());
  EXPECT_EQ(owner.GetPixelData(1, 1), 0x11223344u);
}

TEST(ImageLayout, PaletteWritesStayInsideTheTable) {
  CTevObjImage img;
  ASSERT_TRUE(img.Create(2, 2, 8, 16));
  std::vector<RGBQUAD> in(10, RGBQUAD{9, 9, 9, 0});
  EXPECT_TRUE(img.SetColorTable(10, 10, in.data()));
  std::vector<RGBQUAD> out(16, RGBQUAD{1, 1, 1, 1});
  EXPECT_TRUE(img.GetColorTable(0, 16, out.data()));
  EXPECT_EQ(out[9].rgbBlue, 0);
  EXPECT_EQ(out[15].rgbBlue, 9);
  // The byte after the table is the first pixel: untouched by the write.
  EXPECT_EQ(*img.GetMemStart(), 0);
  EXPECT_FALSE(img.SetColorTable(-1, 1, in.data()));
  CTevObjImage tc(2, 2, 24);
  EXPECT_FALSE(tc.GetColorTable(0, 1, out.data()));
}

TEST(ImagePixels, EveryDepthPacksAndReadsBack) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    CTevObjImage img(11, 3, bits);
    const DWORD mask = bits == 32 ? 0xFFFFFFFFu : ((DWORD(1) << bits) - 1);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) img.SetPixelData(x, y, DWORD(x * 2654435761u + y * 40503u) & mask);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x)
        ASSERT_EQ(img.GetPixelData(x, y), DWORD(x * 2654435761u + y * 40503u) & mask) << bits << " " << x;
  }
  // Bit order: the leftmost pixel is the high bit / high nibble.
  CTevObjImage one(9, 1, 1);
  one.SetPixelData(0, 0, 1);
  one.SetPixelData(8, 0, 1);
  EXPECT_EQ(one.GetBits(0)[0], 0x80);
  EXPECT_EQ(one.GetBits(0)[1], 0x80);
  CTevObjImage four(3, 1, 4);
  four.SetPixelData(0, 0, 0xA);
  four.SetPixelData(1, 0, 0x5);
  EXPECT_EQ(four.GetBits(0)[0], 0xA5);
  CTevObjImage tc(1, 1, 24);
  tc.SetPixelData(0, 0, 0xAA112233);
  EXPECT_EQ(tc.GetBits(0)[0], 0x33);
  EXPECT_EQ(tc.GetBits(0)[2], 0x11);
  EXPECT_EQ(tc.GetBits(0)[3], 0x00);  // padding, not the fourth byte of the value
}

TEST(ImageConversions, PalettedAnd16BitTo32) {
  CTevObjImage p(3, 2, 8);
  RGBQUAD table[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  p.SetColorTable(0, 2, table);
  p.SetPixelData(2, 1, 1);
  p.ConvertTo32Bit();
  ASSERT_EQ(p.ColorBits(), 32);
  EXPECT_EQ(p.GetPixelData(0, 0), Bgra(10, 20, 30, 255));
  EXPECT_EQ(p.GetPixelData(2, 1), Bgra(40, 50, 60, 255));

  CTevObjImage w(2, 1, 16);
  w.SetPixelData(1, 0, 0x001F);  // 5-5-5 blue
  w.ConvertTo32Bit();
  EXPECT_EQ(w.GetPixelData(1, 0), Bgra(0xF8, 0, 0, 255));
}

TEST(ImageAlpha, ExtractAppendAndSet) {
  CTevObjImage img(3, 2, 32);
  img.SetPixelData(2, 1, Bgra(1, 2, 3, 77));
  CTevObjImage alpha;
  ASSERT_TRUE(img.GetAlphaChannel(&alpha));
  EXPECT_EQ(alpha.ColorBits(), 8);
  EXPECT_EQ(alpha.GetPixelData(2, 1), 77u);
  alpha.SetPixelData(0, 0, 200);
  ASSERT_TRUE(img.AppendAlphaChannel(alpha));
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(0, 0, 0, 200));
  EXPECT_EQ(img.GetPixelData(2, 1), Bgra(1, 2, 3, 77));
  img.SetAlphaChannelValue(0x1FF);
  EXPECT_EQ(img.GetPixelData(2, 1), Bgra(1, 2, 3, 255));
}
