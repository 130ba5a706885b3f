// Writes the seed corpora of the picture reader fuzzers into DIR/<format>/:
// small files from our writers (several depths and frame counts), hand-made
// metafiles, and, when the sample corpus is present, its small files of the
// format (damaged ones included).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"

using namespace TevImageIO;
namespace fs = std::filesystem;

namespace {

DibPtr Indexed(int w, int h, int seed) {
  DibPtr d(DibAlloc(w, h, 8, 16));
  if (!d) return nullptr;
  for (int i = 0; i < 16; ++i) DibPalette(d.get())[i] = RGBQUAD{BYTE(i * 16), BYTE(255 - i * 9), BYTE(i * 5 + seed), 0};
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) DibRow(d.get(), y)[x] = BYTE((x + 2 * y + seed) % 16);
  return d;
}

DibPtr Rgba(int w, int h, int seed) {
  DibPtr d(CDIB32::CreateSimple32BitsDIB(w, h, 0x204060, 255));
  if (!d) return nullptr;
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(x * 20 + seed);
      p[3] = BYTE((x + y) % 3 ? 255 : 0);
    }
  return d;
}

// Saves frames pictures as one file of the format; false when the writer refuses.
bool Save(const fs::path& path, int format, std::vector<DibPtr> pictures, bool layered = false) {
  CTevImageInfoPack pack;
  pack.path = path.string();
  pack.format = format;
  pack.width = pictures[0]->biWidth;
  pack.height = DibHeight(pictures[0].get());
  pack.delay = 7;
  if (layered) {
    pack.picture.reset(DibCopy(pictures[0].get()));
    for (auto& p : pictures) {
      auto layer = std::make_unique<CTevPsdSubImgBlock>();
      layer->picture = std::move(p);
      layer->byteB = 1;
      layer->SetLayerName("layer", 5);
      pack.AppendBlock(std::move(layer));
    }
  } else {
    pack.picture = std::move(pictures[0]);
    for (std::size_t i = 1; i < pictures.size(); ++i) {
      auto b = std::make_unique<CTevSubImageBlock>();
      b->picture = std::move(pictures[i]);
      b->delay = WORD(5 * i);
      pack.AppendBlock(std::move(b));
    }
  }
  return SaveImage(pack, nullptr, nullptr) == IMAGEIO_OK;
}

struct Out {
  std::vector<unsigned char> v;
  Out& u16(unsigned x) {
    v.push_back(BYTE(x));
    v.push_back(BYTE(x >> 8));
    return *this;
  }
  Out& u32(unsigned long x) { return u16(unsigned(x & 0xFFFF)).u16(unsigned(x >> 16)); }
  void Write(const fs::path& path) const {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), std::streamsize(v.size()));
  }
};

// A placeable metafile: window, a brush, a rectangle and an ellipse.
Out Wmf() {
  Out o;
  o.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(100).u16(80).u16(1440).u32(0);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= unsigned(o.v[i]) | unsigned(o.v[i + 1]) << 8;
  o.u16(sum);
  const std::size_t header = o.v.size();
  o.u16(1).u16(9).u16(0x300).u32(0).u16(1).u32(7).u16(0);
  o.u32(5).u16(0x020B).u16(0).u16(0);
  o.u32(5).u16(0x020C).u16(80).u16(100);
  o.u32(7).u16(0x02FC).u16(0).u32(0x3366CC).u16(0);
  o.u32(4).u16(0x012D).u16(0);
  o.u32(7).u16(0x041B).u16(60).u16(90).u16(10).u16(5);
  o.u32(7).u16(0x0418).u16(70).u16(50).u16(20).u16(10);
  o.u32(3).u16(0);
  const std::size_t words = (o.v.size() - header) / 2;
  for (int i = 0; i < 4; ++i) o.v[header + 6 + std::size_t(i)] = BYTE(words >> (8 * i));
  return o;
}

// An enhanced metafile: header, a brush, a rectangle, end.
Out Emf() {
  Out o;
  o.u32(1).u32(88).u32(0).u32(0).u32(99).u32(79).u32(0).u32(0).u32(2645).u32(2116);
  o.u32(0x464D4520).u32(0x10000).u32(0).u32(5).u16(2).u16(0).u32(0).u32(0).u32(0);
  o.u32(1024).u32(768).u32(270).u32(203);
  o.u32(39).u32(24).u32(1).u32(0).u32(0x00CC6633).u32(0);
  o.u32(37).u32(12).u32(1);
  o.u32(43).u32(24).u32(5).u32(10).u32(90).u32(60);
  o.u32(14).u32(20).u32(0).u32(16).u32(20);
  const std::size_t total = o.v.size();
  for (int i = 0; i < 4; ++i) o.v[48 + std::size_t(i)] = BYTE(total >> (8 * i));
  return o;
}

// An AVI whose header lists a 4 x 3 canvas of one video stream and whose
// movie list is empty: the header walker reads it, the decoder finds nothing.
Out Avi() {
  Out o;
  auto id = [&](const char* s) {
    for (int i = 0; i < 4; ++i) o.v.push_back(BYTE(s[i]));
  };
  id("RIFF");
  o.u32(0);
  id("AVI ");
  id("LIST");
  o.u32(4 + 8 + 56);
  id("hdrl");
  id("avih");
  o.u32(56).u32(40000).u32(0).u32(0).u32(0x10).u32(1).u32(0).u32(1).u32(0).u32(4).u32(3);
  for (int i = 0; i < 4; ++i) o.u32(0);
  id("LIST");
  o.u32(4);
  id("movi");
  const std::size_t riff = o.v.size() - 8;
  for (int i = 0; i < 4; ++i) o.v[4 + std::size_t(i)] = BYTE(riff >> (8 * i));
  return o;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Copies the corpus's small files with one of the extensions.
void CopyCorpus(const fs::path& to, const std::vector<std::string>& exts) {
  const fs::path corpus = "/work/shared/corpus";
  std::error_code ec;
  if (!fs::exists(corpus, ec)) return;
  for (const auto& e : fs::recursive_directory_iterator(corpus, ec)) {
    if (!e.is_regular_file() || e.file_size() > 64 * 1024) continue;
    const std::string ext = Lower(e.path().extension().string());
    for (const auto& want : exts)
      if (ext == want) {
        const fs::path target = to / ("corpus-" + e.path().filename().string());
        fs::copy_file(e.path(), target, fs::copy_options::overwrite_existing, ec);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
      }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: image_fuzz_seeds DIR\n");
    return 2;
  }
  const fs::path dir = argv[1];
  struct Target {
    const char* name;
    std::vector<std::string> exts;
  } targets[] = {{"bmp", {".bmp", ".dib"}}, {"ico", {".ico", ".cur"}}, {"ani", {".ani"}}, {"psd", {".psd"}},
                 {"tga", {".tga"}},         {"pcx", {".pcx"}},         {"gif", {".gif"}}, {"wmf", {".wmf"}},
                 {"emf", {".emf"}},         {"png", {".png"}},         {"jpeg", {".jpg", ".jpeg"}},
                 {"tiff", {".tif", ".tiff"}}, {"avi", {".avi"}}};
  for (const Target& t : targets) {
    fs::create_directories(dir / t.name);
    CopyCorpus(dir / t.name, t.exts);
  }
  // n frames of 12 x 9, or the one picture given.
  auto frames = [](int n, bool rgba, DibPtr single = nullptr) {
    std::vector<DibPtr> v;
    if (single) v.push_back(std::move(single));
    for (int i = 0; i < n; ++i) v.push_back(rgba ? Rgba(12, 9, i * 30) : Indexed(12, 9, i));
    return v;
  };
  auto one = [&](DibPtr d) { return frames(0, false, std::move(d)); };
  bool ok = true;
  ok &= Save(dir / "bmp/i8.bmp", IMAGE_FORMAT_BMP, one(Indexed(13, 5, 1)));
  ok &= Save(dir / "bmp/rgba.bmp", IMAGE_FORMAT_BMP, one(Rgba(7, 6, 2)));
  ok &= Save(dir / "ico/i8.ico", IMAGE_FORMAT_ICO, one(Indexed(16, 16, 3)));
  ok &= Save(dir / "ico/rgba.ico", IMAGE_FORMAT_ICO, one(Rgba(16, 16, 4)));
  ok &= Save(dir / "ico/i8.cur", IMAGE_FORMAT_CUR, one(Indexed(16, 16, 5)));
  ok &= Save(dir / "ani/three.ani", IMAGE_FORMAT_ANI, frames(3, false));
  ok &= Save(dir / "ani/rgba.ani", IMAGE_FORMAT_ANI, frames(2, true));
  ok &= Save(dir / "psd/layers.psd", IMAGE_FORMAT_PSD, frames(2, true), true);
  ok &= Save(dir / "psd/flat.psd", IMAGE_FORMAT_PSD, one(Rgba(9, 4, 6)));
  ok &= Save(dir / "tga/rgba.tga", IMAGE_FORMAT_TGA, one(Rgba(11, 3, 7)));
  ok &= Save(dir / "tga/i8.tga", IMAGE_FORMAT_TGA, one(Indexed(11, 3, 8)));
  ok &= Save(dir / "pcx/i8.pcx", IMAGE_FORMAT_PCX, one(Indexed(15, 4, 9)));
  ok &= Save(dir / "pcx/rgba.pcx", IMAGE_FORMAT_PCX, one(Rgba(15, 4, 10)));
  ok &= Save(dir / "gif/anim.gif", IMAGE_FORMAT_GIF, frames(3, false));
  ok &= Save(dir / "gif/one.gif", IMAGE_FORMAT_GIF, one(Indexed(20, 3, 11)));
  ok &= Save(dir / "png/rgba.png", IMAGE_FORMAT_PNG, one(Rgba(7, 5, 12)));
  ok &= Save(dir / "png/i8.png", IMAGE_FORMAT_PNG, one(Indexed(9, 4, 13)));
  ok &= Save(dir / "jpeg/rgb.jpg", IMAGE_FORMAT_JPEG, one(Rgba(16, 8, 14)));
  ok &= Save(dir / "tiff/pages.tif", IMAGE_FORMAT_TIFF, frames(2, true));
  ok &= Save(dir / "tiff/i8.tif", IMAGE_FORMAT_TIFF, one(Indexed(10, 3, 15)));
  Avi().Write(dir / "avi/header-only.avi");
  Wmf().Write(dir / "wmf/shapes.wmf");
  Emf().Write(dir / "emf/shapes.emf");
  if (!ok) std::fprintf(stderr, "image_fuzz_seeds: a writer refused a seed\n");
  return ok ? 0 : 1;
}
