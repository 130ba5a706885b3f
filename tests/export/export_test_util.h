// Helpers for the export tests: hand-built animations, a temporary folder,
// and frames decoded by ImageMagick.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/compose.h"
#include "app/gif_image.h"
#include "app/loopwright_doc.h"
#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"

namespace export_test {

inline const char* kConvert = "/usr/bin/convert";

inline bool HaveImageMagick() { return ::access(kConvert, X_OK) == 0; }

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// A test with an application, a recording prompt and a scratch folder.
class DocTest : public ::testing::Test {
 protected:
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  TempDir dir;
};

// Builds a model: AddObject adds a picture shown in no frame yet; AddFrame
// adds a frame showing the listed objects at the given places.
struct ModelBuilder {
  CGifImage& model;
  ModelBuilder(CGifImage& m, LONG w, LONG h) : model(m) {
    model.m_nWidth = w;
    model.m_nHeight = h;
  }
  int AddObject(DibPtr picture) {
    model.m_objects.push_back(MakeRef<CDib>(std::move(picture)));
    for (auto& f : model.m_frames) f->m_refs.push_back(MakeRef<CRefImageObject>(model.m_objects.back()));
    return int(model.m_objects.size()) - 1;
  }
  CGifFrame& AddFrame(std::uint16_t delay, std::vector<std::pair<int, POINT>> shown) {
    auto f = MakeRef<CGifFrame>(delay);
    for (auto& o : model.m_objects) f->m_refs.push_back(MakeRef<CRefImageObject>(o));
    for (auto& [index, pos] : shown) {
      CRefImageObject* r = f->m_refs.Edit(std::size_t(index));
      r->m_bVisible = true;
      r->m_nX = pos.x;
      r->m_nY = pos.y;
    }
    model.m_frames.push_back(f);
    return *f;
  }
};

inline DibPtr Solid(LONG w, LONG h, COLORREF c, BYTE a = 255) {
  return DibPtr(CDIB32::CreateSimple32BitsDIB(w, h, c, a));
}

// A picture of `colours` distinct opaque colours in a pattern.
inline DibPtr Pattern(LONG w, LONG h, int colours, int seed) {
  DibPtr d = Solid(w, h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      const int k = int((x * 7 + y * 3 + seed) % colours);
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(k * 5);
      p[1] = BYTE(255 - k);
      p[2] = BYTE((k * 37) & 0xFF);
      p[3] = 255;
    }
  return d;
}

// A smooth picture (JPEG-friendly): red across, green down.
inline DibPtr Gradient(LONG w, LONG h) {
  DibPtr d = Solid(w, h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = 128;
      p[1] = BYTE(y * 255 / std::max<LONG>(h - 1, 1));
      p[2] = BYTE(x * 255 / std::max<LONG>(w - 1, 1));
      p[3] = 255;
    }
  return d;
}

// Every frame of the model composed at canvas size: pixels with alpha below
// 128 count as transparent (as in the export), others as opaque colours.
struct Rgba {
  std::vector<unsigned char> px;  // R, G, B, A per pixel, top row first
};
inline std::vector<Rgba> ComposedFrames(const CGifImage& model) {
  std::vector<Rgba> frames;
  for (const auto& f : model.m_frames) {
    DibPtr image, mask;
    ComposeFrameWithMask(*f, model.m_nWidth, model.m_nHeight, image, mask);
    Rgba r;
    for (LONG y = 0; y < model.m_nHeight; ++y)
      for (LONG x = 0; x < model.m_nWidth; ++x) {
        const BYTE* p = DibRow(image.get(), y) + 4 * x;
        const bool opaque = (DibRow(mask.get(), y)[x >> 3] >> (7 - (x & 7))) & 1;
        r.px.insert(r.px.end(), {p[2], p[1], p[0], BYTE(opaque ? 255 : 0)});
      }
    frames.push_back(std::move(r));
  }
  return frames;
}

// The coalesced frames of a file as ImageMagick decodes them.
inline std::vector<Rgba> MagickFrames(const std::string& file, LONG w, LONG h, const std::string& dir) {
  const std::string raw = dir + "/magick.rgba";
  const std::string cmd = std::string(kConvert) + " '" + file + "' -coalesce RGBA:'" + raw + "' 2>/dev/null";
  std::vector<Rgba> frames;
  if (std::system(cmd.c_str()) != 0) return frames;
  const auto bytes = ReadBytes(raw);
  const std::size_t size = std::size_t(w) * std::size_t(h) * 4;
  for (std::size_t at = 0; at + size <= bytes.size(); at += size) {
    Rgba r;
    r.px.assign(bytes.begin() + long(at), bytes.begin() + long(at + size));
    frames.push_back(std::move(r));
  }
  return frames;
}

// First pixel where two frames differ (transparent pixels compare by alpha only), or -1.
inline long FirstDifference(const Rgba& a, const Rgba& b) {
  if (a.px.size() != b.px.size()) return 0;
  for (std::size_t i = 0; i < a.px.size(); i += 4) {
    const bool oa = a.px[i + 3] >= 128, ob = b.px[i + 3] >= 128;
    if (oa != ob) return long(i / 4);
    if (oa && (a.px[i] != b.px[i] || a.px[i + 1] != b.px[i + 1] || a.px[i + 2] != b.px[i + 2])) return long(i / 4);
  }
  return -1;
}

// Every frame of got equals the one of want, pixel for pixel.
inline void ExpectFramesEqual(const std::vector<Rgba>& got, const std::vector<Rgba>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(FirstDifference(got[i], want[i]), -1) << what << " frame " << i;
}

}  // namespace export_test
