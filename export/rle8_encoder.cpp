#include "export/rle8_encoder.h"

namespace {

// Length of the run of equal indices starting at x, at most limit.
int RunLength(const std::uint8_t* line, int x, int width, int limit) {
  int n = 1;
  while (x + n < width && n < limit && line[x + n] == line[x]) ++n;
  return n;
}

}  // namespace

void EncodeRle8Line(const std::uint8_t* line, int width, std::vector<std::uint8_t>& out) {
  int x = 0;
  while (x < width) {
    const int run = RunLength(line, x, width, 255);
    if (run >= 2) {
      out.push_back(std::uint8_t(run));
      out.push_back(line[x]);
      x += run;
      continue;
    }
    // Gather unlike indices until a run of three begins: a shorter run costs
    // no more inside the absolute run than as its own code.
    const int start = x;
    int count = 0;
    while (x < width && count < 255 && (count == 0 || RunLength(line, x, width, 3) < 3)) {
      ++x;
      ++count;
    }
    if (count >= 3) {
      out.push_back(0);
      out.push_back(std::uint8_t(count));
      out.insert(out.end(), line + start, line + start + count);
      if (count & 1) out.push_back(0);  // absolute runs end on a 16-bit boundary
    } else {
      // Absolute mode needs three indices at least; one or two go as runs of 1.
      for (int i = 0; i < count; ++i) {
        out.push_back(1);
        out.push_back(line[start + i]);
      }
    }
  }
}

bool EncodeRle8(const BITMAPINFOHEADER* picture, std::vector<std::uint8_t>& out) {
  if (!picture || !DibHeaderValid(picture) || picture->biBitCount != 8 || picture->biCompression != 0) return false;
  const LONG width = DibWidth(picture);
  const LONG height = DibHeight(picture);
  out.reserve(out.size() + std::size_t(width + 4) * std::size_t(height) / 2);
  const std::size_t start = out.size();
  for (LONG y = height - 1; y >= 0; --y) {
    EncodeRle8Line(DibRow(picture, y), int(width), out);
    out.push_back(0);
    out.push_back(y == 0 ? 1 : 0);
  }
  // Decoders take a sample as long as the uncompressed rows for uncompressed
  // rows; a second end-of-picture code, never read, tells them apart.
  if (out.size() - start == DibImageBytes(picture)) {
    out.push_back(0);
    out.push_back(1);
  }
  return true;
}
