// Helpers shared by the benchmarks that measure whole programs: a child run
// with its own peak memory, and the generated 300-frame test clip.
#pragma once

#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct ChildRun {
  double seconds = 0;
  double peakMiB = 0;
  bool ok = false;
};

// Runs argv as a child; wall time and the child's peak resident memory.
inline ChildRun RunChild(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ChildRun r;
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakMiB = double(usage.ru_maxrss) / 1024.0;
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return r;
}

// A looping GIF of `frames` frames: a full first frame, then patchW x patchH
// patches kept over it (half stripes, half noise from `seed`), each shown
// for `delay` hundredths of a second. False when the file cannot be written.
inline bool WritePatchClipGif(const std::string& path, int frames, int width, int height, int patchW, int patchH,
                              int delay, std::uint32_t seed) {
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
  if (!gif) return false;
  EGifSetGifVersion(gif, true);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = GifColorType{GifByteType(i), GifByteType((i * 7) & 0xFF), GifByteType(255 - i)};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  const unsigned char loop[] = {1, 0, 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
  EGifPutExtensionBlock(gif, 3, loop);
  EGifPutExtensionTrailer(gif);
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  std::uint32_t noise = seed;
  for (int f = 0; f < frames; ++f) {
    const bool full = f == 0;
    const int w = full ? width : patchW, h = full ? height : patchH;
    const int x0 = full ? 0 : (f * 37) % (width - patchW), y0 = full ? 0 : (f * 23) % (height - patchH);
    GraphicsControlBlock gcb{1, false, delay, NO_TRANSPARENT_COLOR};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, x0, y0, w, h, false, nullptr);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        noise = noise * 1664525u + 1013904223u;
        line[std::size_t(x)] = GifPixelType(x < w / 2 ? ((x + f) / 8 + y / 8) : (noise >> 28) + ((x * y) >> 9));
      }
      EGifPutLine(gif, line.data(), w);
    }
  }
  const bool ok = EGifCloseFile(gif, &err) == GIF_OK;
  GifFreeMapObject(map);
  return ok;
}
