// The project file: exact bytes of the writer, round trips, every older
// version from hand-made files, and hostile or truncated input.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/gbk_text.h"
#include "app/planar_image.h"
#include "app/project_file.h"
#include "companions/base/progress.h"
#include "app/project_test_util.h"
#include "app/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class ProjectFile : public ::testing::Test {
 protected:
  void TearDown() override {
    RegisterDibFactory(OBJECT_PICTURE, nullptr);
    RegisterDibFactory(OBJECT_TEXT, nullptr);
    RegisterDibFactory(OBJECT_SHAPE, nullptr);
  }
  std::string Path(const std::string& name) const { return m_dir.File(name); }
  bool ReadBytes(CGifImage& m, const std::vector<std::uint8_t>& data, CProjectReadInfo* info = nullptr) {
    const std::string p = Path("in.lwp");
    WriteFile(p, data);
    return ReadProjectFile(m, p, nullptr, info);
  }
  void RegisterFakes() {
    auto creator = [this](std::int32_t storedKind, const char*) {
      auto f = MakeRef<CFakeFactory>();
      f->m_storedKind = storedKind;
      m_lastFactory = f;
      return RefPtr<CDibFactory>(f);
    };
    for (int k : {4, 5, 6}) ASSERT_TRUE(RegisterDibFactory(k, creator));
  }
  TempDir m_dir;
  RefPtr<CFakeFactory> m_lastFactory;
};

RefPtr<CDib> PatternObject(int w, int h, const std::string& name) {
  DibPtr d(CDIB32::CreateBlank32BitsDIB(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(3 * y);
      p[1] = BYTE(2 * x);
      p[2] = BYTE(x + 10 * y);
      p[3] = 255;
    }
  auto o = MakeRef<CDib>(std::move(d));
  o->m_strName = name;
  return o;
}

// Two objects (the second with a shadow) on three frames with varied references.
void BuildSample(CGifImage& m) {
  m.m_nWidth = 40;
  m.m_nHeight = 30;
  m.m_clrBackground = 0x123456;
  m.m_nImageColorIndex = 7;
  m.m_objects.push_back(PatternObject(20, 10, "背景 layer"));
  auto second = PatternObject(130, 3, "Obj - 1");
  second->m_nShadowKind = 4;
  second->m_clrShadow = 0x0000FF;
  second->m_nShadowDistX = -3;
  second->BuildShadow();
  m.m_objects.push_back(second);
  for (int i = 0; i < 3; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(10 + i));
    f->m_nFlags = 0xA0B0C0D0u + unsigned(i);
    f->m_byTransparentIndex = BYTE(i);
    f->m_byGraphicControl = BYTE(4 * i + 1);
    f->m_byDescriptor = i == 1 ? 0xC0 : 0x80;
    for (int j = 0; j < 2; ++j) {
      auto r = MakeRef<CRefImageObject>(m.m_objects[std::size_t(j)]);
      r->m_nX = i * 5 - j;
      r->m_nY = -i;
      r->m_bVisible = (i + j) % 2 == 0;
      r->m_bLocked = j == 1;
      r->m_nTransparency = 17 * i + j;
      f->m_refs.push_back(r);
    }
    m.m_frames.push_back(f);
  }
}

}  // namespace

TEST(PackBits, WriterGroupsRunsAndLiteralsExactly) {
  const std::pair<std::vector<BYTE>, std::vector<BYTE>> exact[] = {
      {std::vector<BYTE>(130, 0x5A), {129, 0x5A, 255, 0x5A}},
      {{'A', 'B', 'C', 'C', 'C'}, {2, 'A', 'B', 'C', 255, 'C'}},
      {{9}, {0, 9}}};
  for (const auto& [in, want] : exact) {
    std::vector<BYTE> out;
    PackBitsEncodeRow(in.data(), in.size(), out);
    EXPECT_EQ(out, want) << in.size() << " bytes in";
  }
}

TEST(GbkNames, ConvertBothWaysWithoutCuttingCharacters) {
  EXPECT_EQ(Utf8ToGbk("动画", 48), "\xB6\xAF\xBB\xAD");
  EXPECT_EQ(GbkToUtf8("\xB6\xAF\xBB\xAD", 4), "动画");
  EXPECT_EQ(Utf8ToGbk("a动画", 4), "a\xB6\xAF");  // the second character does not fit whole
  EXPECT_EQ(Utf8ToGbk("\xFF" "b", 48), "?b");
  EXPECT_EQ(GbkToUtf8("ab\0cd", 5), "ab");
}

TEST_F(ProjectFile, EmptyProjectWithTwoFramesIsHeaderPlusSixteenBytesPerFrame) {
  CGifImage m;
  m.m_nWidth = 3;
  m.m_nHeight = 2;
  m.m_clrBackground = 0xABCDEF;
  m.m_nImageColorIndex = 4;
  for (int i = 0; i < 2; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(30 + i));
    f->m_nFlags = 0x01020304;
    f->m_byGraphicControl = 0x0D;
    f->m_byTransparentIndex = 9;
    f->m_byDescriptor = 0x40;
    m.m_frames.push_back(f);
  }
  const std::string p = Path("empty.lwp");
  ASSERT_TRUE(WriteProjectFile(m, p));
  Bytes want;
  // Offset 20: the loop word, stored (bit 31), forever (bit 16), one play.
  want.str("LWP 20042007").u32(0xABCDEF).i32(4).u32(0x80010001).i32(3).i32(2).i32(2).i32(0);
  for (int i = 0; i < 2; ++i) want.u16(0).u16(30 + i).u32(0x01020304).u8(9).u8(0x0D).u8(0x40).u8(0).i32(0);
  EXPECT_EQ(ReadFileBytes(p), want.v);
}

TEST_F(ProjectFile, NameOfFortyEightBytesOrMoreIsStoredWithoutTerminator) {
  CGifImage m;
  m.m_nWidth = m.m_nHeight = 4;
  std::string longName(60, 'n');
  longName[47] = 'Z';
  m.m_objects.push_back(PatternObject(2, 2, longName));
  m.m_objects.push_back(PatternObject(2, 2, std::string(25 * 1, 'x') + "动画动画动画动画动画动画"));  // 25 + 24 bytes
  auto f = m.CreateBlankFrame(nullptr);
  m.m_frames.push_back(f);
  const std::string p = Path("names.lwp");
  ASSERT_TRUE(WriteProjectFile(m, p));
  const auto bytes = ReadFileBytes(p);
  ASSERT_GE(bytes.size(), 40u + 2 * 88u);
  EXPECT_EQ(std::string(bytes.begin() + 40 + 16, bytes.begin() + 40 + 64), longName.substr(0, 48));
  // 25 + 11 characters of two bytes = 47 bytes: the twelfth would cut in half.
  const std::string second(bytes.begin() + 128 + 16, bytes.begin() + 128 + 64);
  EXPECT_EQ(second[47], '\0');
  EXPECT_EQ(second[46], '\xAF');  // second byte of the eleventh character
  CGifImage back;
  ASSERT_TRUE(ReadProjectFile(back, p));
  EXPECT_EQ(back.m_objects[0]->m_strName, longName.substr(0, 48));
}

TEST_F(ProjectFile, WriteReadWriteIsByteIdenticalAndKeepsEverything) {
  CGifImage m;
  BuildSample(m);
  const std::string a = Path("a.lwp"), b = Path("b.lwp");
  CTevCommonProgress progress;
  ASSERT_TRUE(WriteProjectFile(m, a, &progress));
  CGifImage back;
  CTevCommonProgress readProgress;
  ASSERT_TRUE(ReadProjectFile(back, a, &readProgress));
  ASSERT_TRUE(WriteProjectFile(back, b));
  EXPECT_EQ(ReadFileBytes(a), ReadFileBytes(b));

  // Reading sees what was written (a reader and writer that agree on a
  // wrong place would still give identical bytes).
  ASSERT_TRUE(back.CheckInvariant());
  ASSERT_EQ(back.GetObjectCount(), 2);
  EXPECT_EQ(back.m_objects[0]->m_strName, "背景 layer");
  const CDib& o = *back.m_objects[1];
  EXPECT_EQ(o.m_nWidth, 130);
  EXPECT_TRUE(o.HasShadow());
  EXPECT_EQ(o.m_clrShadow, 0x0000FFu);
  EXPECT_EQ(o.m_nShadowDistX, -3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 130; ++x) ASSERT_TRUE(PixelIsPattern(o.GetImage(), x, y)) << x << "," << y;
  for (int i = 0; i < 3; ++i) {
    const CGifFrame& f = *back.m_frames[std::size_t(i)];
    EXPECT_EQ(f.m_nDelay, 10 + i);
    EXPECT_EQ(f.m_byGraphicControl, 4 * i + 1);
    for (int j = 0; j < 2; ++j) {
      const CRefImageObject& r = *f.m_refs[std::size_t(j)];
      EXPECT_EQ(std::vector<int>({r.m_nX, r.m_nY, r.m_bVisible, r.m_bLocked, r.m_nTransparency}),
                std::vector<int>({i * 5 - j, -i, (i + j) % 2 == 0, j == 1, 17 * i + j}))
          << "frame " << i << " reference " << j;
    }
  }
  // Object records are patched: the first block starts right after the frame table.
  const auto bytes = ReadFileBytes(a);
  const std::uint32_t off0 = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | std::uint32_t(bytes[43]) << 24;
  EXPECT_EQ(off0, 40u + 2 * 88 + 3 * (16 + 2 * 12));
}

TEST_F(ProjectFile, GeneratorObjectsGoThroughTheirFactory) {
  RegisterFakes();
  CGifImage m;
  m.m_nWidth = m.m_nHeight = 16;
  auto text = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(5, 4, 0x00FF00, 255)), OBJECT_TEXT);
  text->m_pFactory = MakeRef<CFakeFactory>(5, 4, 0x00FF00);
  m.m_objects.push_back(text);
  m.m_frames.push_back(m.CreateBlankFrame(nullptr));
  const std::string p = Path("gen.lwp");
  ASSERT_TRUE(WriteProjectFile(m, p));
  const auto bytes = ReadFileBytes(p);
  // Header, one record, one frame with one reference, then word + 16 bytes.
  ASSERT_EQ(bytes.size(), 40u + 88 + 28 + 4 + 16);
  EXPECT_EQ(bytes[44], 20);  // block size
  EXPECT_EQ(bytes[48], OBJECT_TEXT);
  EXPECT_EQ(std::string(bytes.begin() + 160, bytes.begin() + 164), "FAKE");

  CGifImage back;
  ASSERT_TRUE(ReadProjectFile(back, p));
  ASSERT_EQ(back.GetObjectCount(), 1);
  EXPECT_EQ(back.m_objects[0]->m_nKind, OBJECT_TEXT);
  EXPECT_EQ(back.m_objects[0]->m_nWidth, 5);
  EXPECT_EQ(back.m_objects[0]->m_pFactory.get(), m_lastFactory.get());
  EXPECT_EQ(m_lastFactory->m_reserved, OBJECT_TEXT);
  EXPECT_EQ(m_lastFactory->m_version, "2004");
}

TEST_F(ProjectFile, FailedSaveKeepsThePreviousFile) {
  CGifImage m;
  BuildSample(m);
  const std::string p = Path("keep.lwp");
  ASSERT_TRUE(WriteProjectFile(m, p));
  const auto before = ReadFileBytes(p);
  auto shape = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(2, 2, 0, 255)), OBJECT_SHAPE);
  auto factory = MakeRef<CFakeFactory>(2, 2, 0);
  factory->m_failSave = true;
  shape->m_pFactory = factory;
  m.InsertObject(2, shape);
  std::string reason;
  EXPECT_FALSE(WriteProjectFile(m, p, nullptr, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(ReadFileBytes(p), before);
  int entries = 0;
  for (const auto& e : fs::directory_iterator(m_dir.Path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);  // no temporary file left behind
  EXPECT_FALSE(WriteProjectFile(m, Path("missing/dir/x.lwp")));
}

TEST_F(ProjectFile, Version2003RenumbersOldShapeAndTextKinds) {
  RegisterFakes();
  Bytes b;
  b.str("LWP 2003").u32(0xFFFFFF).i32(2).u32(0).i32(20).i32(20).i32(1).i32(3);
  const std::size_t recs = b.size();
  const std::int32_t kinds[3] = {2, 6, 0};
  for (int i = 0; i < 3; ++i)
    b.u32(0).u32(0).i32(kinds[i]).u32(5).name48("o" + std::to_string(i)).u32(0x202020).u8(0).u8(64).u8(100).u8(5)
        .i32(5).i32(5).u16(30).u16(80).u32(0);
  b.u16(0).u16(5).u32(0).u8(0).u8(8).u8(0x80).u8(0).i32(3);
  for (int j = 0; j < 3; ++j) b.i32(j).i32(j).u8(1).u8(1).u8(0).u8(0);
  for (int i = 0; i < 3; ++i) {
    const std::size_t at = b.size();
    if (kinds[i] == 0) {
      b.i32(3).i32(3);
      AppendLiteralPlanes(b, 3, 3);
    } else {
      b.u32(77).str("FAKE").i32(6 + i).i32(2).u32(0x0000FF);
    }
    b.patch32(recs + 88 * std::size_t(i), std::uint32_t(at));
    b.patch32(recs + 88 * std::size_t(i) + 4, std::uint32_t(b.size() - at));
  }
  CGifImage m;
  ASSERT_TRUE(ReadBytes(m, b.v));
  ASSERT_EQ(m.GetObjectCount(), 3);
  const int wantKinds[3] = {OBJECT_SHAPE, OBJECT_TEXT, OBJECT_RASTER}, wantWidths[3] = {6, 7, 3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.m_objects[std::size_t(i)]->m_nKind, wantKinds[i]) << i;
    EXPECT_EQ(m.m_objects[std::size_t(i)]->m_nWidth, wantWidths[i]) << i;
  }
  EXPECT_EQ(m_lastFactory->m_storedKind, 6);
  EXPECT_EQ(m_lastFactory->m_version, "2003");
  EXPECT_EQ(m_lastFactory->m_reserved, 77);
  EXPECT_EQ(m.m_nImageColorIndex, 2);
  EXPECT_TRUE(m.m_frames[0]->m_refs[2]->m_bLocked);
}

TEST_F(ProjectFile, Versions2000To2002ReadPlanesWithRecordSizes) {
  for (const char* version : {"2000", "2001", "2002"}) {
    SCOPED_TRACE(version);
    const std::string v = version;
    Bytes b;
    b.str("LWP ").str(version).u32(0x010203).i32(9).u32(0).i32(12).i32(8).i32(1).i32(1);
    const std::size_t rec = b.size();
    b.u32(0).u32(0).i32(5).i32(4).name48("\xBE\xC9");  // GBK
    if (v == "2001") b.u32(0x00FF00).u8(3).u8(10).u8(90).u8(2).i32(-4).i32(6).u32(1);
    if (v == "2002") b.u32(0x00FF00).u8(7).u8(10).u8(90).u8(2).i32(-4).i32(6).u16(45).u16(60).u32(1);
    b.u16(0).u16(12).u32(3).u8(1).u8(9).u8(0x80).u8(0).i32(1).i32(2).i32(3).u8(1).u8(0).u8(0).u8(0);
    const std::size_t data = b.size();
    AppendLiteralPlanes(b, 5, 4);
    b.patch32(rec, std::uint32_t(data));
    b.patch32(rec + 4, std::uint32_t(b.size() - data));
    CGifImage m;
    CProjectReadInfo info;
    ASSERT_TRUE(ReadBytes(m, b.v, &info));
    EXPECT_TRUE(info.projectLoaded);
    EXPECT_EQ(m.m_nImageColorIndex, v == "2000" ? 0 : 9);
    ASSERT_EQ(m.GetObjectCount(), 1);
    const CDib& o = *m.m_objects[0];
    EXPECT_EQ(o.m_strName, "旧");
    EXPECT_EQ(o.m_nWidth, 5);
    EXPECT_EQ(o.m_nHeight, 4);
    EXPECT_TRUE(PixelIsPattern(o.GetImage(), 4, 3));
    EXPECT_EQ(o.HasShadow(), v != "2000");
    EXPECT_EQ(o.m_nShadowKind, v == "2000" ? 0 : v == "2001" ? 3 : 7);
    if (v == "2002") {
      EXPECT_EQ(o.m_nPerspectiveAngle, 45);
    }
    ASSERT_EQ(m.GetFrameCount(), 1);
    EXPECT_EQ(m.m_frames[0]->m_nDelay, 12);
    EXPECT_EQ(m.m_frames[0]->m_refs[0]->m_nY, 3);
  }
}

TEST_F(ProjectFile, Version1000FramesCarryTheirOwnPictureAndMask) {
  Bytes b;
  b.str("LWP 1000").u32(0xFFFFFF).i32(0).u32(0).i32(8).i32(8).i32(2);
  // Frame 0: 8-bit 3 x 2 picture, two colours, with a mask hiding pixel (0, 0).
  b.u16(2).u16(3).u16(0).u16(0).u16(15).u32(0).u8(1).u8(5).u8(0).u8(1);
  b.u32(40).i32(3).i32(2).u16(1).u16(8).u32(0).u32(0).i32(0).i32(0).u32(2).u32(0);
  b.u32(0x000000FF).u32(0x0000FF00);  // blue, green (B, G, R, 0)
  b.u8(1).u8(1).u8(1).u8(0);          // bottom row: green x 3
  b.u8(0).u8(1).u8(0).u8(0);          // top row: blue, green, blue
  b.u32(0xFFFFFFFF);                  // mask bottom row: all set
  b.u8(0x60).u8(0).u8(0).u8(0);       // mask top row: x = 1, 2 set
  // Frame 1: 24-bit 1 x 1 with a larger header and no mask.
  b.u16(0).u16(0).u16(0).u16(0).u16(40).u32(0).u8(0).u8(8).u8(0).u8(0);
  b.u32(44).i32(1).i32(1).u16(1).u16(24).u32(0).u32(0).i32(0).i32(0).u32(0).u32(0).u32(0xDEADBEEF);
  b.u8(0x10).u8(0x20).u8(0x30).u8(0);
  const std::string p = Path("old.lwp");
  WriteFile(p, b.v);

  CGifImage m;
  CProjectReadInfo info;
  ASSERT_TRUE(ReadProjectFile(m, p, nullptr, &info));
  EXPECT_FALSE(info.projectLoaded);
  ASSERT_EQ(m.GetFrameCount(), 2);
  ASSERT_EQ(m.GetObjectCount(), 2);
  const BITMAPINFOHEADER* pic = m.m_objects[0]->GetImage();
  EXPECT_EQ(DibRow(pic, 0)[3], 0);                    // masked out
  EXPECT_EQ(DibRow(pic, 0)[4 + 1], 0xFF);             // green, top row
  EXPECT_EQ(DibRow(pic, 0)[4 + 3], 255);
  EXPECT_EQ(DibRow(pic, 0)[8 + 0], 0xFF);             // blue
  EXPECT_EQ(m.m_frames[0]->m_nDelay, 15);
  EXPECT_EQ(m.m_frames[0]->m_refs[0]->m_nX, 2);
  EXPECT_EQ(m.m_frames[0]->m_refs[0]->m_nY, 3);
  EXPECT_EQ(DibRow(m.m_objects[1]->GetImage(), 0)[2], 0x30);
}

TEST_F(ProjectFile, DamagedFilesFailWithAnEmptyModel) {
  CGifImage m;
  BuildSample(m);
  const std::string p = Path("good.lwp");
  ASSERT_TRUE(WriteProjectFile(m, p));
  const auto good = ReadFileBytes(p);
  const std::uint32_t off0 = good[40] | good[41] << 8 | good[42] << 16 | std::uint32_t(good[43]) << 24;
  const struct {
    const char* what;
    std::size_t keep;  // bytes kept (0: all)
    std::size_t at;    // else where the four bytes of value go
    std::int32_t value;
  } cases[] = {
      {"truncated in the frame table", 300, 0, 0},
      {"version 2005", 0, 4, 0x35303032},
      {"frame count", 0, 36, 0x7FFFFFFF},
      // A raster block claiming 65535 x 65535 in a few bytes is refused before allocation.
      {"raster size", 0, off0, 65535},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bad = good;
    if (c.keep) {
      bad.resize(c.keep);
    } else {
      std::memcpy(bad.data() + c.at, &c.value, 4);
    }
    CGifImage back;
    EXPECT_FALSE(ReadBytes(back, bad)) << c.what;
    EXPECT_EQ(back.GetFrameCount() + back.GetObjectCount(), 0) << c.what;
  }
}
