#include "cli/info_summary.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "app/frame_render.h"
#include "cli/colours.h"
#include "companions/base/tr.h"
#include "cli/text_format.h"

namespace {

const char* KindName(std::int32_t kind) {
  switch (kind) {
    case OBJECT_RASTER: return "raster";
    case OBJECT_PICTURE: return "picture";
    case OBJECT_TEXT: return "text";
    case OBJECT_SHAPE: return "shape";
  }
  return "other";
}

std::string Bytes(long long n) {
  if (n < 1024) return Format(Tr("%lld bytes"), n);
  if (n < 1024 * 1024) return Format(Tr("%.1f KiB (%lld bytes)"), double(n) / 1024, n);
  return Format(Tr("%.1f MiB (%lld bytes)"), double(n) / (1024 * 1024), n);
}

}  // namespace

long long DistinctColours(const CGifImage& m) {
  std::vector<bool> seen(std::size_t(1) << 24);
  long long count = 0;
  for (const auto& frame : m.m_frames) {
    DibPtr picture = RenderFrame(m, *frame);
    if (!picture) return -1;
    const LONG w = picture->biWidth, h = DibHeight(picture.get());
    std::uint32_t last = 0xFFFFFFFFu;  // runs of one colour cost one lookup
    for (LONG y = 0; y < h; ++y) {
      const BYTE* p = DibRow(picture.get(), y);
      for (LONG x = 0; x < w; ++x, p += 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        if ((v >> 24) == 0) continue;  // a transparent pixel has no colour
        const std::uint32_t key = v & 0xFFFFFFu;
        if (key == last) continue;
        last = key;
        if (!seen[key]) {
          seen[key] = true;
          ++count;
        }
      }
    }
  }
  return count;
}

std::string FoldedDelays(const CGifImage& m) {
  std::string out;
  const int n = int(m.m_frames.size());
  for (int i = 0; i < n;) {
    int j = i;
    while (j + 1 < n && m.m_frames[std::size_t(j + 1)]->m_nDelay == m.m_frames[std::size_t(i)]->m_nDelay) ++j;
    if (!out.empty()) out += ", ";
    out += (i == j ? std::to_string(i) : std::to_string(i) + "-" + std::to_string(j)) + ": " +
           std::to_string(m.m_frames[std::size_t(i)]->m_nDelay);
    i = j + 1;
  }
  return out;
}

std::string InfoSummary(const CGifImage& m, const std::string& name, const std::string& type, long long fileSize) {
  long long total = 0;
  for (const auto& f : m.m_frames) total += f->m_nDelay;
  std::map<std::string, int> kinds;
  for (const auto& o : m.m_objects) ++kinds[KindName(o->m_nKind)];
  std::string kindText;
  for (const auto& [kind, count] : kinds) kindText += (kindText.empty() ? "" : ", ") + std::to_string(count) + " " + kind;

  std::ostringstream out;
  out << name << (type.empty() ? "" : " (" + type + ")") << "\n";
  out << "  " << Tr("size:") << "       " << m.m_nWidth << " x " << m.m_nHeight << "\n";
  out << "  " << Tr("frames:") << "     " << m.m_frames.size() << "\n";
  out << "  " << Tr("duration:") << "   " << Format("%.2f s", double(total) / 100.0) << "\n";
  out << "  " << Tr("loop:") << "       "
      << (m.m_bLoopForever ? std::string(Tr("forever")) : Format(Tr("%d time(s)"), m.m_nLoopCount)) << "\n";
  const long long distinct = DistinctColours(m);
  out << "  " << Tr("colours:") << "    "
      << (distinct < 0 ? std::string() : Format(Tr("%lld distinct, "), distinct)) << Tr("background") << " " << ColourToHex(m.m_clrBackground)
      << (m.m_nTransparencyState ? std::string(", ") + Tr("transparent") : std::string()) << "\n";
  out << "  " << Tr("objects:") << "    " << m.m_objects.size() << (kindText.empty() ? "" : " (" + kindText + ")")
      << "\n";
  if (fileSize >= 0) out << "  " << Tr("file size:") << "  " << Bytes(fileSize) << "\n";
  out << "  " << Tr("delays:") << "     " << FoldedDelays(m) << " (1/100 s)\n";
  return out.str();
}
