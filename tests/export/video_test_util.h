// Helpers for the video export tests: ffprobe and ffmpeg as the independent
// reader, frames painted from opaque pictures, and a tiny WAV writer.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_test_util.h"

namespace video_test {

inline bool HaveFfmpeg() { return ::access("/usr/bin/ffprobe", X_OK) == 0 && ::access("/usr/bin/ffmpeg", X_OK) == 0; }

#define SKIP_WITHOUT_FFMPEG() \
  if (!video_test::HaveFfmpeg()) GTEST_SKIP() << "ffprobe/ffmpeg (Debian package ffmpeg) not installed"

// Standard output of a shell command (stderr discarded).
inline std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

// ffprobe's "key=value" lines for the entries of one stream ("v:0", "a:0").
inline std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
  return Capture("ffprobe -v error -select_streams " + stream + " -show_entries " + entries +
                 " -of default=noprint_wrappers=1 '" + file + "'");
}

// Every value of key in ffprobe's output, in order.
inline std::vector<std::string> Fields(const std::string& text, const std::string& key) {
  std::vector<std::string> values;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + "=", 0) == 0) values.push_back(line.substr(key.size() + 1));
  return values;
}

// The first value of key ("" when absent).
inline std::string Field(const std::string& text, const std::string& key) {
  const auto values = Fields(text, key);
  return values.empty() ? "" : values.front();
}

// Indexes of the packets flagged as key frames in a probe of packet=flags.
inline std::vector<int> KeyPackets(const std::string& probe) {
  std::vector<int> keys;
  const auto flags = Fields(probe, "flags");
  for (std::size_t i = 0; i < flags.size(); ++i)
    if (flags[i].find('K') != std::string::npos) keys.push_back(int(i));
  return keys;
}

// Play time of a stream: the end of its last packet (a probe of
// packet=pts_time,duration_time).
inline double StreamEnd(const std::string& probe) {
  const auto starts = Fields(probe, "pts_time");
  const auto lengths = Fields(probe, "duration_time");
  double end = 0;
  for (std::size_t i = 0; i < starts.size() && i < lengths.size(); ++i)
    if (starts[i] != "N/A" && lengths[i] != "N/A") end = std::max(end, std::stod(starts[i]) + std::stod(lengths[i]));
  return end;
}

// The video frames as ffmpeg decodes them, RGB top row first, every frame
// kept as it comes (no rate conversion).
inline std::vector<std::vector<unsigned char>> DecodeRgb(const std::string& file, int width, int height) {
  const std::string bytes =
      Capture("ffmpeg -v error -i '" + file + "' -map 0:v:0 -vsync passthrough -f rawvideo -pix_fmt rgb24 -");
  const std::size_t size = std::size_t(width) * std::size_t(height) * 3;
  std::vector<std::vector<unsigned char>> frames;
  for (std::size_t at = 0; at + size <= bytes.size(); at += size)
    frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + size));
  return frames;
}

inline double Psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

// A picture whose colours change slowly, as video codecs like them.
inline DibPtr Smooth(LONG w, LONG h, int seed) {
  DibPtr d = export_test::Solid(w, h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(40 + x * 4 + seed * 2);
      p[1] = BYTE(60 + y * 6);
      p[2] = BYTE(200 - x * 2 - y * 2 - seed);
      p[3] = 255;
    }
  return d;
}

// The frames of a model whose visible pictures are all opaque, painted in
// order over background (0x00BBGGRR): RGB, top row first.
inline std::vector<std::vector<unsigned char>> PaintedFrames(const CGifImage& model, COLORREF background) {
  std::vector<std::vector<unsigned char>> frames;
  for (const auto& f : model.m_frames) {
    std::vector<unsigned char> rgb;
    for (LONG i = 0; i < model.m_nWidth * model.m_nHeight; ++i)
      rgb.insert(rgb.end(), {BYTE(background), BYTE(background >> 8), BYTE(background >> 16)});
    for (const auto& ref : f->m_refs) {
      if (!ref->m_bVisible) continue;
      const BITMAPINFOHEADER* pic = ref->m_pObject->GetImage();
      for (LONG y = 0; y < DibHeight(pic); ++y)
        for (LONG x = 0; x < DibWidth(pic); ++x) {
          const LONG cx = x + ref->m_nX, cy = y + ref->m_nY;
          if (cx < 0 || cy < 0 || cx >= model.m_nWidth || cy >= model.m_nHeight) continue;
          const BYTE* p = DibRow(pic, y) + 4 * x;
          unsigned char* q = &rgb[std::size_t(cy * model.m_nWidth + cx) * 3];
          q[0] = p[2];
          q[1] = p[1];
          q[2] = p[0];
        }
    }
    frames.push_back(std::move(rgb));
  }
  return frames;
}

// A mono 16-bit PCM WAV of the given length: a square wave.
inline void WriteWav(const std::string& path, int rate, int samples) {
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.put(char(v >> (8 * i))); };
  const auto u16 = [&](std::uint32_t v) { out.put(char(v)); out.put(char(v >> 8)); };
  out.write("RIFF", 4);
  u32(36 + std::uint32_t(samples) * 2);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(std::uint32_t(rate));
  u32(std::uint32_t(rate) * 2);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(std::uint32_t(samples) * 2);
  for (int i = 0; i < samples; ++i) u16((i / 20) % 2 ? 0x2000 : 0xE000);
}

}  // namespace video_test
