// Helpers for the movie tests: the composed frames written as PNG and the
// independent SWF reader (tests/export/swf_reader.py) run on a movie.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app/frame_render.h"
#include "app/gif_image.h"

namespace swf_test {

inline const char* kPython = "/usr/bin/python3";

inline bool HavePython() {
  return ::access(kPython, X_OK) == 0 &&
         std::system("/usr/bin/python3 -c 'import PIL' > /dev/null 2>&1") == 0;
}

// Every frame of model as `loopwright render` writes it: dir/frame_NNNN.png.
inline bool WriteExpectedFrames(const CGifImage& model, const std::string& dir) {
  for (int i = 0; i < model.GetFrameCount(); ++i) {
    DibPtr picture = RenderFrame(model, *model.GetFrame(i));
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%04d.png", i);
    if (!picture || !WritePngPicture(picture.get(), dir + name)) return false;
  }
  return true;
}

// The reader's JSON for movie (frames compared with expectDir when given).
inline nlohmann::json ReadMovie(const std::string& movie, const std::string& expectDir = {}) {
  std::string cmd = std::string(kPython) + " '" LW_SOURCE_DIR "/tests/export/swf_reader.py' '" + movie + "'";
  if (!expectDir.empty()) cmd += " --expect '" + expectDir + "'";
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return nlohmann::json{{"error", "cannot run the reader"}};
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  ::pclose(p);
  auto j = nlohmann::json::parse(out, nullptr, false);
  if (j.is_discarded()) return nlohmann::json{{"error", "reader printed: " + out}};
  return j;
}

inline std::vector<unsigned char> Inflate(const unsigned char* data, std::size_t size, std::size_t expected) {
  std::vector<unsigned char> out(expected + 16);
  uLongf length = uLongf(out.size());
  if (uncompress(out.data(), &length, data, uLong(size)) != Z_OK) return {};
  out.resize(length);
  return out;
}

}  // namespace swf_test
