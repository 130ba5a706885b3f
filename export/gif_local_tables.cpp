#include "export/gif_local_tables.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "app/compose.h"
#include "companions/base/row_compare.h"
#include "companions/base/tr.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/codec_io.h"
#include "companions/imageio/gif_lzw.h"
#include "export/color_quantizer.h"
#include "export/gif_frame_stream.h"
#include "export/gif_pipeline.h"

namespace {

// A composed frame or the viewer's screen: 0 for a transparent pixel, else
// kOpaque | 0xRRGGBB.
using Canvas = std::vector<std::uint32_t>;
constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint16_t kUnchanged = 0x100;
// Unchanged pixels that could keep their colour must be at least 1/64 of a box for the per-run trials.
constexpr std::size_t kMinChoiceShare = 64;

using Sink = std::function<bool(const std::uint8_t*, std::size_t)>;

// Colour -> small number for the colours of one picture, over a table of
// every 24-bit colour; calloc leaves the pages it never touches unmapped.
class CColourSlots {
 public:
  CColourSlots() : m_slots(static_cast<std::uint16_t*>(std::calloc(std::size_t(1) << 24, sizeof(std::uint16_t)))) {}
  ~CColourSlots() { std::free(m_slots); }
  CColourSlots(const CColourSlots&) = delete;
  CColourSlots& operator=(const CColourSlots&) = delete;
  bool Ok() const { return m_slots != nullptr; }
  int Find(std::uint32_t c) const { return int(m_slots[c & 0xFFFFFF]) - 1; }
  // The colour's number, a new one when it is new; -1 past 65535 colours.
  int Add(std::uint32_t c) {
    std::uint16_t& s = m_slots[c & 0xFFFFFF];
    if (!s) {
      if (m_list.size() >= 0xFFFF) return -1;
      m_list.push_back(c & 0xFFFFFF);
      s = std::uint16_t(m_list.size());
    }
    return int(s) - 1;
  }
  const std::vector<std::uint32_t>& Colours() const { return m_list; }
  void Clear() {
    for (std::uint32_t c : m_list) m_slots[c] = 0;
    m_list.clear();
  }

 private:
  std::uint16_t* m_slots;
  std::vector<std::uint32_t> m_list;
};

bool ComposeCanvas(const CGifFrame& frame, LONG w, LONG h, COLORREF key, Canvas& out) {
  DibPtr image, mask;
  if (!ComposeFrameWithMask(frame, w, h, image, mask, 128, key) || !image) return false;
  out.resize(std::size_t(w) * std::size_t(h));
  for (LONG y = 0; y < h; ++y) {
    const BYTE* px = DibRow(image.get(), y);
    const BYTE* m = mask ? DibRow(mask.get(), y) : nullptr;
    std::uint32_t* row = out.data() + std::size_t(y) * std::size_t(w);
    // A pixel reads 0xAARRGGBB in memory order; its mask bit decides.
    const auto opaqueAt = [&](LONG x) {
      std::uint32_t v;
      std::memcpy(&v, px + 4 * x, 4);
      return v | kOpaque;
    };
    LONG x = 0;
    for (; m && x + 8 <= w; x += 8) {
      const BYTE bits = m[x >> 3];
      for (LONG k = 0; k < 8; ++k) row[x + k] = (bits >> (7 - k)) & 1 ? opaqueAt(x + k) : 0u;
    }
    for (; x < w; ++x) row[x] = !m || ((m[x >> 3] >> (7 - (x & 7))) & 1) ? opaqueAt(x) : 0u;
  }
  return true;
}

// Every frame composed into a canvas on the worker thread, used in order.
bool ForEachCanvas(const CGifImage& model, COLORREF key, const std::function<bool(int, Canvas&)>& use) {
  const LONG w = model.m_nWidth, h = model.m_nHeight;
  const std::function<bool(int, Canvas&)> make = [&](int i, Canvas& c) {
    const CGifFrame* frame = model.GetFrame(i);
    return frame && ComposeCanvas(*frame, w, h, key, c);
  };
  return ProduceInOrder<Canvas>(model.GetFrameCount(), make, use);
}

int BitsFor(std::size_t entries) {
  int bits = 1;
  while ((std::size_t(1) << bits) < entries && bits < 8) ++bits;
  return bits;
}

// Bytes of one GIF image or header part, appended in file order.
struct Bytes {
  std::vector<std::uint8_t> v;
  void U8(int b) { v.push_back(std::uint8_t(b)); }
  void U16(int w) {
    U8(w & 0xFF);
    U8((w >> 8) & 0xFF);
  }
  void Table(const std::vector<std::uint32_t>& colours, int bits) {
    for (std::size_t i = 0; i < (std::size_t(1) << bits); ++i) {
      const std::uint32_t c = i < colours.size() ? colours[i] : 0;
      U8(int(c >> 16) & 0xFF);
      U8(int(c >> 8) & 0xFF);
      U8(int(c) & 0xFF);
    }
  }
  void Data(int codeSize, const std::vector<std::uint8_t>& codes) {
    U8(codeSize);
    for (std::size_t off = 0; off < codes.size(); off += 255) {
      const std::size_t n = std::min<std::size_t>(255, codes.size() - off);
      U8(int(n));
      v.insert(v.end(), codes.begin() + std::ptrdiff_t(off), codes.begin() + std::ptrdiff_t(off + n));
    }
    U8(0);
  }
};

// One image waiting for its disposal: the box it changes, per box pixel
// the palette index of a changed pixel or kUnchanged, and its palette.
struct Entry {
  int frame = 0;
  LONG x = 0, y = 0, w = 0, h = 0;
  std::vector<std::uint16_t> cells;
  std::vector<std::uint32_t> palette;
  unsigned delay = 0;
  BYTE control = 0;
  bool interlaced = false;
};

// The global table: the colour set (at most 255 colours) of the frame
// whose colours hold those of the most frames.
std::vector<std::uint32_t> ChooseGlobalColours(std::map<std::vector<std::uint32_t>, int>& sets) {
  const std::vector<std::uint32_t>* best = nullptr;
  long long bestScore = -1;
  for (const auto& [cand, n] : sets) {
    long long score = 0;
    for (const auto& [other, m] : sets)
      if (other.size() <= cand.size() && std::includes(cand.begin(), cand.end(), other.begin(), other.end()))
        score += m;
    if (score > bestScore || (score == bestScore && best && cand.size() > best->size())) {
      best = &cand;
      bestScore = score;
    }
  }
  return best ? *best : std::vector<std::uint32_t>{};
}

class CLocalTableWriter {
 public:
  CLocalTableWriter(const CGifImage& model, const CGifStreamSettings& settings, const Sink& sink,
                    const std::function<void(const std::string&)>& note)
      : m_model(model), m_settings(settings), m_sink(sink), m_note(note), m_w(model.m_nWidth), m_h(model.m_nHeight) {
    m_settings.level = std::clamp(m_settings.level, 1, 3);
  }

  bool Run(CTevCommonProgress* progress, std::string& reason) {
    if (!m_slots.Ok()) return Fail(reason, "out of memory");
    const int count = m_model.GetFrameCount();
    if (count == 0 || m_w <= 0 || m_h <= 0 || m_w > 0xFFFF || m_h > 0xFFFF)
      return Fail(reason, "the animation has no frames or no size a GIF can hold");
    if (!ChooseGlobal(progress, reason) || !WriteHeader(reason)) return false;
    Canvas shown(std::size_t(m_w) * std::size_t(m_h), 0u);
    m_meant = shown;
    std::optional<Entry> pending;
    // Frames are composed one ahead on a worker thread; each is used in order.
    bool failed = false;
    const std::function<bool(int, Canvas&)> step = [&](int i, Canvas& cur) {
      const CGifFrame& frame = *m_model.GetFrame(i);
      if (pending && m_settings.optimizeFrames && cur == m_meant && pending->delay + frame.m_nDelay <= 0xFFFF) {
        pending->delay += frame.m_nDelay;  // nothing changes: the previous image shows longer
        return true;
      }
      if (pending) {
        // Keep the previous image when this frame can be drawn over it;
        // otherwise widen its box over every pixel that has to vanish and
        // restore that box to the background.
        RECT box{pending->x, pending->y, pending->x + pending->w, pending->y + pending->h};
        bool keep = m_settings.optimizeFrames;
        if (!keep) box = RECT{0, 0, m_w, m_h};
        for (LONG y = 0; y < m_h && m_settings.optimizeFrames; ++y)
          for (LONG x = 0; x < m_w; ++x) {
            const std::size_t p = std::size_t(y) * std::size_t(m_w) + std::size_t(x);
            if (shown[p] && !cur[p]) {
              keep = false;
              box.left = std::min(box.left, x);
              box.top = std::min(box.top, y);
              box.right = std::max(box.right, x + 1);
              box.bottom = std::max(box.bottom, y + 1);
            }
          }
        if (!Finish(*pending, box, keep ? 1 : 2, shown, reason)) return !(failed = true);
        if (!keep)
          for (LONG y = box.top; y < box.bottom; ++y) {
            const std::ptrdiff_t row = std::ptrdiff_t(std::size_t(y) * std::size_t(m_w) + std::size_t(box.left));
            std::fill_n(shown.begin() + row, box.right - box.left, 0u);
            std::fill_n(m_meant.begin() + row, box.right - box.left, 0u);
          }
      }
      Entry e;
      e.frame = i;
      e.delay = frame.m_nDelay;
      e.control = BYTE(frame.m_byGraphicControl & 0x02);
      e.interlaced = (frame.m_byDescriptor & 0x40) != 0;
      if (!MakeEntry(cur, shown, e, reason)) return !(failed = true);
      pending = std::move(e);
      if (!ReportProgressStep(progress, i + 1, count)) {
        failed = true;
        return Fail(reason, "cancelled");
      }
      return true;
    };
    if (!ForEachCanvas(m_model, m_settings.keyColour, step))
      return failed ? false : Fail(reason, "a frame could not be composed");
    if (pending) {
      const RECT box{pending->x, pending->y, pending->x + pending->w, pending->y + pending->h};
      if (!Finish(*pending, box, 1, shown, reason)) return false;
    }
    const std::uint8_t trailer = 0x3B;
    if (!m_sink(&trailer, 1)) return Fail(reason, "write error");
    return true;
  }

 private:
  static bool Fail(std::string& reason, const char* text) {
    reason = text;
    return false;
  }

  // First pass: the colour set of every frame, then the global table.
  bool ChooseGlobal(CTevCommonProgress* progress, std::string& reason) {
    std::map<std::vector<std::uint32_t>, int> sets;
    bool cancelled = false;
    const std::function<bool(int, Canvas&)> collect = [&](int, Canvas& cur) {
      m_slots.Clear();
      std::uint32_t last = 0;
      for (std::uint32_t c : cur) {
        if (!c || c == last) continue;  // a run of one colour needs one look-up
        last = c;
        // Past 255 colours the frame's set cannot be the global table: stop counting.
        if (m_slots.Add(c) < 0 || m_slots.Colours().size() > 255) break;
      }
      if (m_slots.Colours().size() <= 255) {
        std::vector<std::uint32_t> set = m_slots.Colours();
        std::sort(set.begin(), set.end());
        ++sets[std::move(set)];
      }
      cancelled = progress && progress->IsCancelled();
      return !cancelled;
    };
    if (!ForEachCanvas(m_model, m_settings.keyColour, collect))
      return Fail(reason, cancelled ? "cancelled" : "a frame could not be composed");
    m_slots.Clear();
    m_global = ChooseGlobalColours(sets);
    for (std::size_t k = 0; k < m_global.size(); ++k) m_globalIndex[m_global[k]] = int(k);
    return true;
  }

  bool WriteHeader(std::string& reason) {
    Bytes b;
    for (char c : std::string("GIF89a")) b.U8(c);
    m_globalBits = BitsFor(m_global.size() + 1);  // room for the transparent index
    b.U16(int(m_w));
    b.U16(int(m_h));
    b.U8(0x80 | 0x70 | (m_globalBits - 1));
    b.U8(int(m_global.size()));  // background: the transparent index
    b.U8(0);
    b.Table(m_global, m_globalBits);
    const bool loopAlways = GifKeepsFileLoop(m_model);
    const int loops = m_model.m_bLoopForever ? 0 : std::clamp(m_model.m_nLoopCount, 0, 0xFFFF);
    if (m_model.GetFrameCount() > 1 && (loops != 1 || loopAlways)) {
      b.U8(0x21);
      b.U8(0xFF);
      b.U8(11);
      for (char c : std::string("NETSCAPE2.0")) b.U8(c);
      b.U8(3);
      b.U8(1);
      b.U16(loops);
      b.U8(0);
    }
    for (const auto& raw : m_model.m_gifExtensions)
      if (WholeExtension(raw)) b.v.insert(b.v.end(), raw.begin(), raw.end());
    return m_sink(b.v.data(), b.v.size()) || Fail(reason, "write error");
  }

  // 0x21, a label, sub-blocks ending exactly with the terminator.
  static bool WholeExtension(const std::vector<std::uint8_t>& raw) {
    if (raw.size() < 3 || raw[0] != 0x21) return false;
    std::size_t at = 2;
    while (at < raw.size() && raw[at] != 0) at += 1 + raw[at];
    return at + 1 == raw.size();
  }

  // The differing box of cur against shown, its colours (reduced when they
  // do not fit) and shown updated to what the viewer will see. Pixels an
  // earlier reduction left approximate are corrected when the colours fit;
  // otherwise only what the model changed is drawn, so a reduction is not
  // repeated on every later frame.
  bool MakeEntry(const Canvas& cur, Canvas& shown, Entry& e, std::string& reason) {
    if (TryExact(cur, shown, shown, e)) return true;
    if (shown != m_meant && TryExact(cur, m_meant, shown, e)) return true;
    return Reduce(cur, shown, e, reason);
  }

  // Box of the pixels where cur differs from base; when their colours fit
  // one table, the entry draws them exactly.
  bool TryExact(const Canvas& cur, const Canvas& base, Canvas& shown, Entry& e) {
    LONG l = m_w, t = m_h, r = 0, bm = 0;
    for (LONG y = 0; y < m_h; ++y) {
      const std::size_t row = std::size_t(y) * std::size_t(m_w);
      LONG first = 0, last = 0;
      if (!MismatchSpan(cur.data() + row, base.data() + row, m_w, first, last)) continue;
      l = std::min(l, first);
      r = std::max(r, last + 1);
      t = std::min(t, y);
      bm = std::max(bm, y + 1);
    }
    if (r <= l) l = 0, t = 0, r = 1, bm = 1;  // nothing new: one unchanged pixel carries the delay
    e.x = l, e.y = t, e.w = r - l, e.h = bm - t;
    e.cells.assign(std::size_t(e.w) * std::size_t(e.h), kUnchanged);
    m_slots.Clear();
    bool transparentKept = false, full = false;
    std::uint32_t last = 0;  // runs of one colour cost one lookup
    for (LONG y = t; y < bm && !full; ++y)
      for (LONG x = l; x < r; ++x) {
        const std::size_t p = std::size_t(y) * std::size_t(m_w) + std::size_t(x);
        if (cur[p] != base[p] && cur[p]) {
          if (cur[p] == last) continue;
          last = cur[p];
          if (m_slots.Add(cur[p]) < 0) {
            full = true;
            break;
          }
        } else if (!shown[p]) {
          transparentKept = true;
        }
      }
    const std::size_t distinct = m_slots.Colours().size();
    const std::size_t room = transparentKept ? 255 : 256;
    if (full || distinct > room) {
      m_slots.Clear();
      return false;
    }
    e.palette = m_slots.Colours();
    std::uint32_t lastColour = 0;
    std::uint16_t lastIndex = 0;
    for (LONG y = t; y < bm; ++y)
      for (LONG x = l; x < r; ++x) {
        const std::size_t p = std::size_t(y) * std::size_t(m_w) + std::size_t(x);
        if (cur[p] != base[p] && cur[p]) {
          if (cur[p] != lastColour) {
            lastColour = cur[p];
            lastIndex = std::uint16_t(m_slots.Find(cur[p]));
          }
          e.cells[std::size_t(y - t) * std::size_t(e.w) + std::size_t(x - l)] = lastIndex;
          shown[p] = m_meant[p] = cur[p];
        }
      }
    m_slots.Clear();
    return true;
  }

  // A frame whose changed pixels hold too many colours: those pixels go
  // through the quantizer (255 colours, leaving the transparent index).
  bool Reduce(const Canvas& cur, Canvas& shown, Entry& e, std::string& reason) {
    DibPtr image(CDIB32::CreateSimple32BitsDIB(e.w, e.h, 0, 255));
    DibPtr mask(DibAlloc(e.w, e.h, 1, 2));
    if (!image || !mask) return Fail(reason, "out of memory");
    DibPalette(mask.get())[1] = RGBQUAD{255, 255, 255, 0};
    std::size_t distinct = 0;
    for (LONG y = 0; y < e.h; ++y) {
      BYTE* px = DibRow(image.get(), y);
      BYTE* m = DibRow(mask.get(), y);
      for (LONG x = 0; x < e.w; ++x) {
        const std::size_t p = std::size_t(y + e.y) * std::size_t(m_w) + std::size_t(x + e.x);
        if (cur[p] == m_meant[p] || !cur[p]) continue;
        px[4 * x] = BYTE(cur[p]);
        px[4 * x + 1] = BYTE(cur[p] >> 8);
        px[4 * x + 2] = BYTE(cur[p] >> 16);
        m[x >> 3] = BYTE(m[x >> 3] | (0x80 >> (x & 7)));
        if (m_slots.Add(cur[p]) >= 0 && m_slots.Colours().size() > distinct) distinct = m_slots.Colours().size();
      }
    }
    m_slots.Clear();
    CTevQColorQuantizer quantizer(255);
    quantizer.ResetQuantization();
    BITMAPINFOHEADER* out8 = nullptr;
    if (!quantizer.PickColorBitmap(image.get(), mask.get(), nullptr) || !quantizer.FillPalette())
      return Fail(reason, "a frame's colours could not be reduced");
    quantizer.SetOutputTable(256, RGBQUAD{0, 0, 0, 0});
    if (!quantizer.DitherBitmap(image.get(), mask.get(), &out8, m_settings.ditherMode, m_settings.ditherParameter,
                                nullptr))
      return Fail(reason, "a frame's colours could not be reduced");
    DibPtr indexed(out8);
    for (const RGBQUAD& q : quantizer.Palette())
      e.palette.push_back((std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue);
    for (LONG y = 0; y < e.h; ++y) {
      const BYTE* idx = DibRow(indexed.get(), y);
      const BYTE* m = DibRow(mask.get(), y);
      for (LONG x = 0; x < e.w; ++x) {
        if (!((m[x >> 3] >> (7 - (x & 7))) & 1)) continue;
        const BYTE k = std::min<BYTE>(idx[x], BYTE(e.palette.size() - 1));
        e.cells[std::size_t(y) * std::size_t(e.w) + std::size_t(x)] = k;
        const std::size_t p = std::size_t(y + e.y) * std::size_t(m_w) + std::size_t(x + e.x);
        shown[p] = kOpaque | e.palette[k];
        m_meant[p] = cur[p];
      }
    }
    if (m_note) {
      char text[160];
      std::snprintf(text, sizeof text, Tr("frame %d: %d colours reduced to %d"), e.frame, int(distinct),
                    int(e.palette.size()));
      m_note(text);
    }
    return true;
  }

  // Writes the entry over box (its own box, widened where pixels must
  // vanish) with the given disposal. shown is the screen after the entry.
  bool Finish(const Entry& e, const RECT& box, int disposal, const Canvas& shown, std::string& reason) {
    // The global table when it holds every drawn colour, else a local one.
    std::vector<int> remap(e.palette.size());
    bool global = !m_global.empty() || e.palette.empty();
    for (std::size_t k = 0; k < e.palette.size() && global; ++k) {
      const auto it = m_globalIndex.find(e.palette[k]);
      if (it == m_globalIndex.end()) global = false;
      else remap[k] = it->second;
    }
    if (!global)
      for (std::size_t k = 0; k < remap.size(); ++k) remap[k] = int(k);
    const std::vector<std::uint32_t>& table = global ? m_global : e.palette;
    const int transparent = table.size() < 256 ? int(table.size()) : -1;
    const LONG bw = box.right - box.left, bh = box.bottom - box.top;
    const std::size_t n = std::size_t(bw) * std::size_t(bh);
    // Per pixel: the drawn index, or for an unchanged one its own colour's
    // index in the table (-1 when absent) and whether it is transparent.
    std::vector<std::int16_t> drawn(n, -1), own(n, -1);
    m_slots.Clear();
    for (std::uint32_t c : table) m_slots.Add(c);
    std::size_t at = 0;
    for (LONG y = box.top; y < box.bottom; ++y)
      for (LONG x = box.left; x < box.right; ++x, ++at) {
        const LONG ex = x - e.x, ey = y - e.y;
        const bool inside = ex >= 0 && ey >= 0 && ex < e.w && ey < e.h;
        const std::uint16_t cell = inside ? e.cells[std::size_t(ey) * std::size_t(e.w) + std::size_t(ex)] : kUnchanged;
        if (cell != kUnchanged) {
          drawn[at] = std::int16_t(remap[cell]);
          continue;
        }
        const std::uint32_t c = shown[std::size_t(y) * std::size_t(m_w) + std::size_t(x)];
        own[at] = c ? std::int16_t(std::max(m_slots.Find(c), -1)) : std::int16_t(-2);  // -2: transparent
      }
    m_slots.Clear();
    std::vector<std::uint8_t> codes;
    int codeSize = 2;
    bool usesTransparent = false;
    const int bits = global ? m_globalBits : BitsFor(std::max<std::size_t>(table.size() + (transparent >= 0), 2));
    codeSize = std::max(2, bits);
    Choose(drawn, own, table, transparent, bw, bh, e.interlaced, codeSize, codes, usesTransparent);
    // A first image that leaves canvas undrawn names a transparent index:
    // some viewers show the background colour there otherwise.
    if (m_first && transparent >= 0 && (bw != m_w || bh != m_h)) usesTransparent = true;
    m_first = false;
    const int localBits = global ? 0 : BitsFor(std::max<std::size_t>(table.size() + (usesTransparent ? 1 : 0), 2));
    if (!global && localBits != bits) {
      // The smaller table without the transparent slot: encode again at its code size.
      // No pixel needed the transparent index, so none is left out by dropping it.
      codeSize = std::max(2, localBits);
      Choose(drawn, own, table, -1, bw, bh, e.interlaced, codeSize, codes, usesTransparent);
    }
    Bytes b;
    b.U8(0x21);
    b.U8(0xF9);
    b.U8(4);
    b.U8((disposal << 2) | (e.control & 0x02) | (usesTransparent ? 1 : 0));
    b.U16(int(std::min(e.delay, 0xFFFFu)));
    b.U8(usesTransparent ? transparent : 0);
    b.U8(0);
    b.U8(0x2C);
    b.U16(int(box.left));
    b.U16(int(box.top));
    b.U16(int(bw));
    b.U16(int(bh));
    b.U8((global ? 0 : 0x80 | (localBits - 1)) | (e.interlaced ? 0x40 : 0));
    if (!global) b.Table(table, localBits);
    b.Data(codeSize, codes);
    return m_sink(b.v.data(), b.v.size()) || Fail(reason, "write error");
  }

  // The unchanged pixels' values: transparent, their own colour, or
  // whichever continues the run before them; the candidates are encoded
  // (in parallel) and the shortest kept.
  void Choose(const std::vector<std::int16_t>& drawn, const std::vector<std::int16_t>& own,
              const std::vector<std::uint32_t>& table, int transparent, LONG bw, LONG bh, bool interlaced, int codeSize,
              std::vector<std::uint8_t>& codes, bool& usesTransparent) const {
    // Lossy: the chosen indexes encoded again, near table colours standing in.
    auto lossy = [&](const std::vector<std::uint8_t>& idx) {
      if (m_settings.lossy <= 0) return;
      const int count = int(std::min<std::size_t>(table.size(), std::size_t(1) << codeSize));
      const auto near = TevImageIO::GifNearIndexes(table.data(), count, transparent, m_settings.lossy);
      codes = TevImageIO::EncodeGifLzwLossy(idx.data(), idx.size(), codeSize, near);
    };
    enum Style { kClear, kOwn, kRunOwn, kRunClear };
    // The styles differ only on unchanged pixels that could show their own colour.
    // Trials pay off only where such pixels are more than a sliver of the box.
    std::size_t choices = 0;
    if (transparent >= 0)
      for (std::size_t p = 0; p < drawn.size(); ++p) choices += drawn[p] < 0 && own[p] >= 0;
    const bool choice = choices > 0 && choices * kMinChoiceShare >= drawn.size();
    const int styles = m_settings.level == 1 || !choice ? 1 : 4;
    auto build = [&](Style style, bool& anyClear) {
      std::vector<std::uint8_t> idx(drawn.size());
      anyClear = false;
      int prev = -1;
      static const int kStart[4] = {0, 4, 2, 1};
      static const int kStep[4] = {8, 8, 4, 2};
      std::size_t out = 0;
      for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (LONG y = interlaced ? kStart[pass] : 0; y < bh; y += interlaced ? kStep[pass] : 1)
          for (LONG x = 0; x < bw; ++x) {
            const std::size_t p = std::size_t(y) * std::size_t(bw) + std::size_t(x);
            int v = drawn[p];
            if (v < 0) {
              const int mine = own[p];
              if (mine == -2 || (mine < 0 && transparent >= 0)) v = transparent;
              else if (mine < 0) v = 0;  // a full table without a transparent slot
              else if (transparent < 0) v = mine;
              else if (style == kClear) v = transparent;
              else if (style == kOwn) v = mine;
              else if (style == kRunOwn) v = prev == mine ? mine : transparent;
              else v = prev == transparent ? transparent : mine;
              if (v < 0) v = 0;
            }
            anyClear = anyClear || (v == transparent);
            idx[out++] = std::uint8_t(v);
            prev = v;
          }
      return idx;
    };
    struct Trial {
      std::vector<std::uint8_t> idx, codes;
      bool clear = false, filled = false;
    };
    auto trial = [&](int style) {
      Trial t;
      t.idx = build(Style(style), t.clear);
      t.codes = m_settings.level >= 3 ? TevImageIO::EncodeGifLzwSmallest(t.idx.data(), t.idx.size(), codeSize)
                                      : TevImageIO::EncodeGifLzw(t.idx.data(), t.idx.size(), codeSize,
                                                                 TevImageIO::LzwClear::WhenFull, &t.filled);
      return t;
    };
    if (styles == 1 && m_settings.level < 3) {
      // Nothing to choose: one encoding with the better clear strategy.
      bool clear = false;
      // A sliver of unchanged pixels keeps its colour: runs go on through it.
      const std::vector<std::uint8_t> idx = build(choices > 0 ? kOwn : kClear, clear);
      usesTransparent = transparent >= 0 && clear;
      codes = TevImageIO::EncodeGifLzwSmallest(idx.data(), idx.size(), codeSize);
      lossy(idx);
      return;
    }
    std::vector<std::future<Trial>> futures;
    const bool parallel = drawn.size() >= 4096 && styles > 1;
    for (int s = 1; s < styles && parallel; ++s) futures.push_back(std::async(std::launch::async, trial, s));
    // Without trials a sliver of unchanged pixels keeps its colour (as above).
    Trial best = trial(styles == 1 && choices > 0 ? kOwn : kClear);
    int bestStyle = 0;
    for (int s = 1; s < styles; ++s) {
      Trial t = parallel ? futures[std::size_t(s - 1)].get() : trial(s);
      if (t.codes.size() < best.codes.size()) best = std::move(t), bestStyle = s;
    }
    usesTransparent = transparent >= 0 && best.clear;
    (void)bestStyle;
    codes = std::move(best.codes);
    // The winner also tries the deferred clear (level 2; level 3's trials
    // did) or the flexible encoder (level 3).
    std::vector<std::uint8_t> other =
        m_settings.level < 3
            ? (best.filled ? TevImageIO::EncodeGifLzw(best.idx.data(), best.idx.size(), codeSize,
                                                                 TevImageIO::LzwClear::Never)
                                      : std::vector<std::uint8_t>{})
            : TevImageIO::EncodeGifLzwFlexible(best.idx.data(), best.idx.size(), codeSize);
    if (!other.empty() && other.size() < codes.size()) codes = std::move(other);
    lossy(best.idx);
  }

  const CGifImage& m_model;
  CGifStreamSettings m_settings;
  const Sink& m_sink;
  const std::function<void(const std::string&)>& m_note;
  LONG m_w, m_h;
  CColourSlots m_slots;
  // The model's colour each shown pixel stands for: equal to the screen
  // except where a frame was reduced, so later frames redraw only what the
  // model changes instead of correcting the reduction again and again.
  Canvas m_meant;
  std::vector<std::uint32_t> m_global;
  std::unordered_map<std::uint32_t, int> m_globalIndex;
  int m_globalBits = 1;
  bool m_first = true;
};

}  // namespace

namespace {

// The colours of the composed frames: how many distinct ones (counting
// stops past limit) and how many frames hold more than limit colours in
// their changed pixels (all pixels for the first), which would be reduced
// whatever the tables. False when a frame cannot be composed or on cancel.
struct CColourCount {
  int distinct = 0;
  int framesOver = 0;
};

bool CountColours(const CGifImage& model, COLORREF keyColour, int limit, bool framesOver, CColourCount& out,
                  CTevCommonProgress* progress) {
  CColourSlots all, frame;
  if (!all.Ok() || (framesOver && !frame.Ok())) return false;
  out = CColourCount{};
  bool full = false;  // past limit: no more colours need counting
  Canvas prev;
  const std::function<bool(int, Canvas&)> use = [&](int i, Canvas& cur) {
    const bool first = i == 0 || prev.size() != cur.size();
    // One walk over the changed pixels feeds both counts until each is settled.
    bool frameDone = !framesOver;
    if (framesOver) frame.Clear();
    for (std::size_t p = 0; p < cur.size() && !(full && frameDone); ++p) {
      // A pixel that kept its colour adds nothing new to either set.
      const std::uint32_t c = cur[p];
      if (!c || (!first && c == prev[p])) continue;
      if (!full && (all.Add(c) < 0 || int(all.Colours().size()) > limit)) full = true;
      if (!frameDone && (frame.Add(c) < 0 || int(frame.Colours().size()) > limit)) {
        ++out.framesOver;
        frameDone = true;
      }
    }
    if (!framesOver && full) return false;  // the answer is known
    prev.swap(cur);
    return !(progress && progress->IsCancelled());
  };
  const bool done = ForEachCanvas(model, keyColour, use);
  out.distinct = full ? limit + 1 : int(all.Colours().size());
  if (progress && progress->IsCancelled()) return false;
  return done || (full && !framesOver);
}

// True when the frames cannot show more than limit colours: every shown
// object is drawn at full strength without a shadow, its pixels are opaque
// or clear, and all of them together hold at most limit colours. Each object
// is read once however many frames show it, and no frame is composed.
bool ObjectsWithin(const CGifImage& model, int limit) {
  std::vector<const CDib*> objects;  // in the order the frames first show them
  std::unordered_set<const CDib*> listed;
  bool plain = true;
  for (int i = 0; i < model.GetFrameCount() && plain; ++i) {
    const CGifFrame* frame = model.GetFrame(i);
    if (!frame) return false;
    frame->m_refs.ForEachShown([&](std::size_t, const CRefImageObject& ref) {
      const CDib* obj = ref.m_pObject.get();
      if (!obj || !obj->GetImage()) return;
      if (ref.m_nTransparency != 0 || obj->GetShadowImage()) plain = false;
      if (listed.insert(obj).second) objects.push_back(obj);
    });
  }
  if (!plain) return false;
  CColourSlots all;
  if (!all.Ok()) return false;
  const BITMAPINFOHEADER* before = nullptr;
  for (const CDib* obj : objects) {
    const BITMAPINFOHEADER* image = obj->GetImage();
    if (image->biBitCount != 32 || image->biCompression != BI_RGB) return false;
    const LONG w = DibWidth(image), h = DibHeight(image);
    // Consecutive frames' pictures are mostly alike: a pixel equal to the
    // one at its place in the picture before holds a colour counted already.
    const bool alike = before && DibWidth(before) == w && DibHeight(before) == h;
    std::uint32_t last = 0;
    for (LONG y = 0; y < h; ++y) {
      const BYTE* row = DibRow(image, y);
      const BYTE* above = alike ? DibRow(before, y) : nullptr;
      if (above && std::memcmp(row, above, std::size_t(w) * 4) == 0) continue;
      for (LONG x = 0; x < w; ++x) {
        std::uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        if (v == last || (v >> 24) == 0) continue;
        if ((v >> 24) != 255) return false;  // partly transparent: blends make new colours
        if (above && std::memcmp(row + 4 * x, above + 4 * x, 4) == 0) continue;
        last = v;
        if (all.Add(v) < 0 || int(all.Colours().size()) > limit) return false;
      }
    }
    before = image;
  }
  return true;
}

}  // namespace

int CountGifColours(const CGifImage& model, COLORREF keyColour, int limit, CTevCommonProgress* progress) {
  CColourCount count;
  if (!CountColours(model, keyColour, limit, false, count, progress)) return -1;
  return count.distinct;
}

bool GifNeedsLocalTables(const CGifImage& model, const CGifOptimizeOptions& options, bool globalPalette,
                         CTevCommonProgress* progress) {
  if (globalPalette || options.maxColors < 256 || model.GetFrameCount() == 0) return false;
  const int limit = model.GetFrameCount() > 1 ? 255 : 256;
  if (ObjectsWithin(model, limit)) return false;
  // One pass counts both: the colours of all frames and the frames whose
  // own change holds more than one table.
  CColourCount count;
  if (!CountColours(model, options.keyColour, limit, true, count, progress)) return false;
  if (count.distinct <= limit) return false;
  // Local tables keep the colours only where each frame's change fits one
  // table; when most frames must be reduced anyway, one palette for all is
  // as faithful and far smaller (inter-frame runs survive, no table per frame).
  return count.framesOver * 2 <= model.GetFrameCount();
}

bool EncodeGifLocalTables(const CGifImage& model, const CGifStreamSettings& settings, const Sink& sink,
                          const std::function<void(const std::string&)>& note, CTevCommonProgress* progress,
                          std::string* reason) {
  std::string why;
  CLocalTableWriter writer(model, settings, sink, note);
  const bool ok = writer.Run(progress, why);
  if (!ok && reason) *reason = why;
  return ok;
}

bool WriteGifLocalTables(const CGifImage& model, const std::string& path, const CGifStreamSettings& settings,
                         const std::function<void(const std::string&)>& note, CTevCommonProgress* progress,
                         std::string* reason) {
  TevImageIO::CAtomicFileWriter writer(path);
  std::string why;
  FILE* file = writer.Open(why);
  if (!file) {
    if (reason) *reason = why;
    return false;
  }
  const Sink sink = [file](const std::uint8_t* data, std::size_t n) { return std::fwrite(data, 1, n, file) == n; };
  if (!EncodeGifLocalTables(model, settings, sink, note, progress, reason)) return false;
  if (!writer.Commit(why)) {
    if (reason) *reason = why;
    return false;
  }
  return true;
}
