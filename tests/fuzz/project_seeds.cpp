// Writes the seed corpus of the project fuzzer into the folder given: projects
// from the writer (with raster objects, a shadow and several frames) and
// small hand-made files of every older version.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/project_file.h"
#include "app/project_test_util.h"

namespace {

RefPtr<CDib> Object(int w, int h, COLORREF colour, int shadowKind) {
  DibPtr d(CDIB32::CreateSimple32BitsDIB(w, h, colour, 200));
  for (int x = 0; x < w; x += 3) DibRow(d.get(), 0)[4 * x] = BYTE(x);
  auto o = MakeRef<CDib>(std::move(d));
  o->m_strName = "seed 种子";
  o->m_nShadowKind = shadowKind;
  if (shadowKind) o->BuildShadow();
  return o;
}

Bytes OldVersion(const char* version) {
  const std::string v = version;
  Bytes b;
  b.str("LWP ").str(version).u32(0xFFFFFF).i32(1).u32(0).i32(9).i32(7).i32(2).i32(1);
  const std::size_t rec = b.size();
  if (v == "2003") {
    b.u32(0).u32(0).i32(0).u32(5);
  } else {
    b.u32(0).u32(0).i32(6).i32(3);
  }
  b.name48("old");
  if (v != "2000") b.u32(0x202020).u8(2).u8(64).u8(100).u8(1).i32(2).i32(2);
  if (v == "2002" || v == "2003") b.u16(30).u16(80);
  if (v != "2000") b.u32(1);
  for (int f = 0; f < 2; ++f) b.u16(0).u16(10 + f).u32(0).u8(0).u8(8).u8(0x80).u8(0).i32(1).i32(f).i32(1).u8(1).u8(0).u8(3).u8(0);
  const std::size_t data = b.size();
  if (v == "2003") b.i32(6).i32(3);
  AppendLiteralPlanes(b, 6, 3);
  b.patch32(rec, std::uint32_t(data));
  b.patch32(rec + 4, std::uint32_t(b.size() - data));
  return b;
}

Bytes Version1000() {
  Bytes b;
  b.str("LWP 1000").u32(0xFFFFFF).i32(0).u32(0).i32(4).i32(4).i32(1);
  b.u16(1).u16(1).u16(0).u16(0).u16(10).u32(0).u8(0).u8(8).u8(0).u8(1);
  b.u32(40).i32(2).i32(2).u16(1).u16(8).u32(0).u32(0).i32(0).i32(0).u32(2).u32(0);
  b.u32(0xFF).u32(0xFF00).u8(0).u8(1).u8(0).u8(0).u8(1).u8(0).u8(0).u8(0);
  b.u32(0xC0).u32(0x40);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: project_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  CGifImage m;
  m.m_nWidth = 12;
  m.m_nHeight = 9;
  m.m_objects = {Object(5, 4, 0x112233, 0), Object(130, 2, 0x00FF00, 4)};
  for (int i = 0; i < 3; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(5 * i));
    for (auto& o : m.m_objects) {
      auto r = MakeRef<CRefImageObject>(o);
      r->m_nX = i;
      r->m_bVisible = i != 1;
      f->m_refs.push_back(r);
    }
    m.m_frames.push_back(f);
  }
  if (!WriteProjectFile(m, (dir / "v2004.lwp").string())) return 1;
  CGifImage empty;
  empty.m_nWidth = empty.m_nHeight = 1;
  empty.m_frames.push_back(MakeRef<CGifFrame>(std::uint16_t(1)));
  if (!WriteProjectFile(empty, (dir / "v2004_empty.lwp").string())) return 1;
  for (const char* v : {"2000", "2001", "2002", "2003"}) WriteFile((dir / (std::string("v") + v + ".lwp")).string(), OldVersion(v).v);
  WriteFile((dir / "v1000.lwp").string(), Version1000().v);
  return 0;
}
