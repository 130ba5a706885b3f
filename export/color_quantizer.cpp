#include "export/color_quantizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "companions/dibkernel/dib_frames.h"

namespace {

inline bool MaskBit(const BYTE* row, LONG x) { return !row || ((row[x >> 3] >> (7 - (x & 7))) & 1); }

bool UsablePicture(const BITMAPINFOHEADER* image) {
  return image && DibHeaderValid(image) && image->biCompression == BI_RGB &&
         (image->biBitCount == 24 || image->biBitCount == 32);
}

bool UsableMask(const BITMAPINFOHEADER* mask, const BITMAPINFOHEADER* image) {
  return !mask || (DibHeaderValid(mask) && mask->biBitCount == 1 && DibWidth(mask) == DibWidth(image) &&
                   DibHeight(mask) == DibHeight(image));
}

inline std::uint32_t PixelAt(const BYTE* row, LONG x, int bytes) {
  const BYTE* p = row + std::size_t(x) * bytes;
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);  // 0x00RRGGBB
}

// 8 x 8 Bayer matrix, values 0..63.
const int kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                          {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                          {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                          {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

struct OctreeNode {
  int child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  std::uint64_t count = 0, r = 0, g = 0, b = 0;
  int level = 0;
  bool leaf = false;
  int index = -1;
};

// Pixels of one octree leaf, or of leaves merged into one palette entry;
// into is the cluster it was merged into (itself while it stands alone).
struct Cluster {
  std::uint64_t count;
  double r, g, b;  // sums over the pixels
  int into;
  RGBQUAD Colour() const {
    const double n = double(count);
    return RGBQUAD{BYTE(b / n + 0.5), BYTE(g / n + 0.5), BYTE(r / n + 0.5), 0};
  }
};

// The colour distance the palette lookups use: green weighs most, blue least.
inline double Distance(double dr, double dg, double db) { return dr * dr * 3 + dg * dg * 4 + db * db * 2; }

// Merges standing clusters, each time the pair whose merge adds the least
// squared error, until at most target stand.
void MergeClosestClusters(std::vector<Cluster>& clusters, std::size_t target) {
  std::vector<std::size_t> standing(clusters.size());
  for (std::size_t i = 0; i < clusters.size(); ++i) standing[i] = i;
  while (standing.size() > target && standing.size() > 1) {
    double best = -1;
    std::size_t ba = 0, bb = 1;
    for (std::size_t i = 0; i < standing.size(); ++i)
      for (std::size_t j = i + 1; j < standing.size(); ++j) {
        const Cluster& a = clusters[standing[i]];
        const Cluster& b = clusters[standing[j]];
        const double na = double(a.count), nb = double(b.count);
        const double cost = na * nb / (na + nb) * Distance(a.r / na - b.r / nb, a.g / na - b.g / nb, a.b / na - b.b / nb);
        if (best < 0 || cost < best) best = cost, ba = i, bb = j;
      }
    Cluster& keep = clusters[standing[ba]];
    Cluster& gone = clusters[standing[bb]];
    keep.count += gone.count;
    keep.r += gone.r;
    keep.g += gone.g;
    keep.b += gone.b;
    gone.into = int(standing[ba]);
    standing.erase(standing.begin() + std::ptrdiff_t(bb));
  }
}

}  // namespace

// Open-addressing hash map from a 24-bit colour to a 32-bit value.
class CTevQColorQuantizer::CColourTable {
 public:
  CColourTable() { Clear(); }
  void Clear() {
    keys_.assign(1 << 12, 0);
    values_.assign(1 << 12, 0);
    size_ = 0;
  }
  std::size_t size() const { return size_; }
  // The value slot of colour, inserted as 0 when absent.
  std::uint32_t& At(std::uint32_t colour) {
    if ((size_ + 1) * 2 > keys_.size()) Grow();
    std::size_t i = Slot(colour);
    if (!keys_[i]) {
      keys_[i] = colour + 1;
      ++size_;
    }
    return values_[i];
  }
  const std::uint32_t* Find(std::uint32_t colour) const {
    const std::size_t i = Slot(colour);
    return keys_[i] ? &values_[i] : nullptr;
  }
  template <class F>
  void ForEach(F f) {
    for (std::size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i]) f(keys_[i] - 1, values_[i]);
  }

 private:
  std::size_t Slot(std::uint32_t colour) const {
    const std::size_t mask = keys_.size() - 1;
    std::size_t i = (colour * 2654435761u) & mask;
    while (keys_[i] && keys_[i] != colour + 1) i = (i + 1) & mask;
    return i;
  }
  void Grow() {
    std::vector<std::uint32_t> k = std::move(keys_), v = std::move(values_);
    keys_.assign(k.size() * 2, 0);
    values_.assign(k.size() * 2, 0);
    for (std::size_t i = 0; i < k.size(); ++i)
      if (k[i]) {
        const std::size_t s = Slot(k[i] - 1);
        keys_[s] = k[i];
        values_[s] = v[i];
      }
  }
  std::vector<std::uint32_t> keys_, values_;  // key = colour + 1, 0 empty
  std::size_t size_ = 0;
};

CTevQColorQuantizer::CTevQColorQuantizer(int capacity)
    : m_capacity(std::clamp(capacity, 1, 256)), m_histogram(new CColourTable), m_nearest(new CColourTable) {}

CTevQColorQuantizer::~CTevQColorQuantizer() {
  delete m_histogram;
  delete m_nearest;
}

void CTevQColorQuantizer::ResetQuantization() {
  m_histogram->Clear();
  m_nearest->Clear();
  m_palette.clear();
  m_exact = false;
  m_tableEntries = 0;
}

std::size_t CTevQColorQuantizer::DistinctColours() const { return m_histogram->size(); }

BOOL CTevQColorQuantizer::PickColorBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                          CTevCommonProgress* progress) {
  if (!UsablePicture(image) || !UsableMask(mask, image)) return FALSE;
  const int bytes = image->biBitCount / 8;
  const LONG w = DibWidth(image), h = DibHeight(image);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(image, y);
    const BYTE* m = mask ? DibRow(mask, y) : nullptr;
    std::uint32_t last = 0xFFFFFFFFu;
    std::uint32_t* slot = nullptr;
    for (LONG x = 0; x < w; ++x) {
      if (!MaskBit(m, x)) continue;
      const std::uint32_t c = PixelAt(row, x, bytes);
      if (c != last) {  // runs of one colour cost one lookup
        slot = &m_histogram->At(c);
        last = c;
      }
      ++*slot;
    }
  }
  return !(progress && progress->IsCancelled());
}

namespace {

// Whether a row of 32-bit pixels, opaque in its mask row (or without one),
// shows exactly the colours the runs hold for it: such a row changes nothing.
// One vectorized pass; the pixel loops only see rows that changed.
bool RowUnchanged(const BYTE* row, const BYTE* mask, LONG w, int bytes, const std::uint32_t* colour) {
  if (bytes != 4 || (mask && !CMaskedBitmapTransform::IsMaskRowFull(mask, w))) return false;
  std::uint32_t diff = 0;
  for (LONG x = 0; x < w; ++x) {
    std::uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    diff |= (v & 0x00FFFFFFu) ^ colour[x];
  }
  return diff == 0;
}

// Starts runs for pictures of w x h; false when a run of another size is under way.
bool StartRuns(CPixelRuns& runs, LONG w, LONG h) {
  if (runs.pictures == 0) {
    runs.width = w;
    runs.height = h;
    const std::size_t n = std::size_t(w) * std::size_t(h);
    runs.colour.assign(n, CPixelRuns::kNone);
    runs.since.assign(n, 0);
    runs.index.assign(n, 0);
    return true;
  }
  return runs.width == w && runs.height == h;
}

}  // namespace

BOOL CTevQColorQuantizer::PickColorFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                         CPixelRuns& runs, CTevCommonProgress* progress) {
  if (!UsablePicture(image) || !UsableMask(mask, image)) return FALSE;
  const int bytes = image->biBitCount / 8;
  const LONG w = DibWidth(image), h = DibHeight(image);
  if (!StartRuns(runs, w, h)) return FALSE;
  const int now = runs.pictures;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(image, y);
    const BYTE* m = mask ? DibRow(mask, y) : nullptr;
    std::uint32_t* colour = runs.colour.data() + std::size_t(y) * std::size_t(w);
    int* since = runs.since.data() + std::size_t(y) * std::size_t(w);
    if (now > 0 && RowUnchanged(row, m, w, bytes, colour)) continue;
    for (LONG x = 0; x < w; ++x) {
      const std::uint32_t c = MaskBit(m, x) ? PixelAt(row, x, bytes) : CPixelRuns::kNone;
      if (c == colour[x]) continue;
      if (colour[x] != CPixelRuns::kNone) m_histogram->At(colour[x]) += std::uint32_t(now - since[x]);
      if (c != CPixelRuns::kNone) m_histogram->At(c);  // a new colour takes its place in first-seen order
      colour[x] = c;
      since[x] = now;
    }
  }
  runs.pictures = now + 1;
  return !(progress && progress->IsCancelled());
}

void CTevQColorQuantizer::FlushColourRuns(CPixelRuns& runs) {
  for (std::size_t p = 0; p < runs.colour.size(); ++p)
    if (runs.colour[p] != CPixelRuns::kNone) m_histogram->At(runs.colour[p]) += std::uint32_t(runs.pictures - runs.since[p]);
  runs = CPixelRuns{};
}

DibPtr CTevQColorQuantizer::NewMappedPicture(LONG w, LONG h) const {
  const int entries = std::max<int>(m_tableEntries, int(m_palette.size()));
  DibPtr out(DibAlloc(w, h, 8, DWORD(entries)));
  if (!out) return out;
  RGBQUAD* pal = DibPalette(out.get());
  for (int i = 0; i < entries; ++i) pal[i] = i < int(m_palette.size()) ? m_palette[std::size_t(i)] : m_fill;
  return out;
}

BOOL CTevQColorQuantizer::MapFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                   BITMAPINFOHEADER** out8, CPixelRuns& runs, CTevCommonProgress* progress) {
  if (!out8 || !UsablePicture(image) || !UsableMask(mask, image) || m_palette.empty()) return FALSE;
  const LONG w = DibWidth(image), h = DibHeight(image);
  if (!StartRuns(runs, w, h)) return FALSE;
  DibPtr out = NewMappedPicture(w, h);
  if (!out) return FALSE;
  const int bytes = image->biBitCount / 8;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(image, y);
    const BYTE* m = mask ? DibRow(mask, y) : nullptr;
    BYTE* o = DibRow(out.get(), y);
    std::uint32_t* colour = runs.colour.data() + std::size_t(y) * std::size_t(w);
    BYTE* index = runs.index.data() + std::size_t(y) * std::size_t(w);
    if (runs.pictures > 0 && RowUnchanged(row, m, w, bytes, colour)) {
      std::memcpy(o, index, std::size_t(w));
      continue;
    }
    for (LONG x = 0; x < w; ++x) {
      if (!MaskBit(m, x)) {
        o[x] = 0;
        continue;
      }
      const std::uint32_t c = PixelAt(row, x, bytes);
      if (c != colour[x]) {
        colour[x] = c;
        index[x] = BYTE(MapExact(c));
      }
      o[x] = index[x];
    }
  }
  ++runs.pictures;
  if (progress && progress->IsCancelled()) return FALSE;
  *out8 = out.release();
  return TRUE;
}

BOOL CTevQColorQuantizer::FillPalette() {
  m_palette.clear();
  m_nearest->Clear();
  if (m_histogram->size() == 0) return FALSE;
  if (m_histogram->size() <= std::size_t(m_capacity)) {
    // Few enough colours: the palette is exactly them, in colour order.
    std::vector<std::uint32_t> colours;
    m_histogram->ForEach([&](std::uint32_t c, std::uint32_t) { colours.push_back(c); });
    std::sort(colours.begin(), colours.end());
    for (std::uint32_t c : colours) {
      m_histogram->At(c) = std::uint32_t(m_palette.size());
      m_palette.push_back(RGBQUAD{BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0});
    }
    m_exact = true;
    return TRUE;
  }
  m_exact = false;
  std::vector<OctreeNode> nodes(1);
  m_histogram->ForEach([&](std::uint32_t c, std::uint32_t count) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    int n = 0;
    for (int level = 0;; ++level) {
      OctreeNode& node = nodes[std::size_t(n)];
      node.count += count;
      node.r += std::uint64_t(r) * count;
      node.g += std::uint64_t(g) * count;
      node.b += std::uint64_t(b) * count;
      if (level == 8) {
        node.leaf = true;
        break;
      }
      const int shift = 7 - level;
      const int k = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
      int next = node.child[k];
      if (next < 0) {
        next = int(nodes.size());
        nodes[std::size_t(n)].child[k] = next;
        OctreeNode fresh;
        fresh.level = level + 1;
        nodes.push_back(fresh);
      }
      n = next;
    }
  });
  // Merge the deepest levels first, nodes with the fewest pixels first. A
  // merge that would leave fewer leaves than the capacity is skipped and the
  // levels above are left alone: merging whole subtrees near the root would
  // collapse a picture with few wide colour groups into one or two colours.
  std::size_t leaves = m_histogram->size();
  bool stopped = false;
  for (int level = 7; level >= 0 && leaves > std::size_t(m_capacity) && !stopped; --level) {
    std::vector<int> candidates;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      if (nodes[i].level == level && !nodes[i].leaf) candidates.push_back(int(i));
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](int a, int b) { return nodes[std::size_t(a)].count < nodes[std::size_t(b)].count; });
    for (int i : candidates) {
      if (leaves <= std::size_t(m_capacity)) break;
      int children = 0;
      for (int c : nodes[std::size_t(i)].child) children += c >= 0;
      if (leaves - std::size_t(children - 1) < std::size_t(m_capacity)) {
        stopped = true;
        continue;
      }
      nodes[std::size_t(i)].leaf = true;
      leaves -= std::size_t(children - 1);
    }
  }
  // Clusters: one per leaf reachable from the root.
  std::vector<Cluster> clusters;
  std::vector<int> stack{0};
  while (!stack.empty()) {
    const int n = stack.back();
    stack.pop_back();
    OctreeNode& node = nodes[std::size_t(n)];
    if (node.leaf) {
      node.index = int(clusters.size());
      clusters.push_back(Cluster{node.count, double(node.r), double(node.g), double(node.b), int(clusters.size())});
      continue;
    }
    for (int k = 7; k >= 0; --k)
      if (node.child[k] >= 0) stack.push_back(node.child[k]);
  }
  // The few leaves over the capacity: merge the pairs that cost the least.
  MergeClosestClusters(clusters, std::size_t(m_capacity));
  std::vector<int> group(clusters.size());
  m_palette.clear();
  for (std::size_t i = 0; i < clusters.size(); ++i) {
    if (clusters[i].into != int(i)) continue;
    group[i] = int(m_palette.size());
    m_palette.push_back(clusters[i].Colour());
  }
  for (std::size_t i = 0; i < clusters.size(); ++i) {
    std::size_t root = i;
    while (clusters[root].into != int(root)) root = std::size_t(clusters[root].into);
    group[i] = group[root];
  }
  // Lloyd steps over the picked colours move the entries to the centres of
  // what they stand for; then every colour goes to its nearest entry.
  if (RefinePalette()) {
    m_histogram->ForEach([&](std::uint32_t c, std::uint32_t& value) {
      value = std::uint32_t(Nearest(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)));
    });
    return TRUE;
  }
  m_histogram->ForEach([&](std::uint32_t c, std::uint32_t& value) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    int n = 0;
    for (int level = 0; !nodes[std::size_t(n)].leaf; ++level) {
      const int shift = 7 - level;
      n = nodes[std::size_t(n)].child[(((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1)];
    }
    value = std::uint32_t(group[std::size_t(nodes[std::size_t(n)].index)]);
  });
  return TRUE;
}

bool CTevQColorQuantizer::RefinePalette() {
  struct Point {
    double r, g, b, count;
  };
  std::vector<Point> points;
  if (m_histogram->size() <= kRefineColours) {
    m_histogram->ForEach([&](std::uint32_t c, std::uint32_t count) {
      points.push_back(Point{double((c >> 16) & 0xFF), double((c >> 8) & 0xFF), double(c & 0xFF), double(count)});
    });
  } else {
    // Many colours: their sums per 5-bit cell stand for them.
    std::vector<Point> cells(kRefineColours, Point{0, 0, 0, 0});
    m_histogram->ForEach([&](std::uint32_t c, std::uint32_t count) {
      Point& p = cells[((c >> 9) & 0x7C00) | ((c >> 6) & 0x3E0) | ((c >> 3) & 0x1F)];
      p.r += double((c >> 16) & 0xFF) * count;
      p.g += double((c >> 8) & 0xFF) * count;
      p.b += double(c & 0xFF) * count;
      p.count += count;
    });
    for (const Point& p : cells)
      if (p.count > 0) points.push_back(Point{p.r / p.count, p.g / p.count, p.b / p.count, p.count});
  }
  const std::size_t k = m_palette.size();
  if (k < 2 || points.size() * k > kRefineWork) return false;
  std::vector<double> centre(k * 3), sum(k * 4);
  for (std::size_t i = 0; i < k; ++i) {
    centre[i * 3] = m_palette[i].rgbRed;
    centre[i * 3 + 1] = m_palette[i].rgbGreen;
    centre[i * 3 + 2] = m_palette[i].rgbBlue;
  }
  for (int step = 0; step < 8; ++step) {
    std::fill(sum.begin(), sum.end(), 0.0);
    for (const Point& p : points) {
      std::size_t best = 0;
      double bestDistance = 1e30;
      for (std::size_t i = 0; i < k; ++i) {
        const double d = Distance(p.r - centre[i * 3], p.g - centre[i * 3 + 1], p.b - centre[i * 3 + 2]);
        if (d < bestDistance) bestDistance = d, best = i;
      }
      sum[best * 4] += p.r * p.count;
      sum[best * 4 + 1] += p.g * p.count;
      sum[best * 4 + 2] += p.b * p.count;
      sum[best * 4 + 3] += p.count;
    }
    double moved = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const double n = sum[i * 4 + 3];
      if (n <= 0) continue;  // an entry nothing went to keeps its place
      for (int c = 0; c < 3; ++c) {
        const double to = sum[i * 4 + std::size_t(c)] / n;
        moved = std::max(moved, std::abs(to - centre[i * 3 + std::size_t(c)]));
        centre[i * 3 + std::size_t(c)] = to;
      }
    }
    if (moved < 0.5) break;
  }
  for (std::size_t i = 0; i < k; ++i)
    m_palette[i] = RGBQUAD{BYTE(std::lround(centre[i * 3 + 2])), BYTE(std::lround(centre[i * 3 + 1])),
                           BYTE(std::lround(centre[i * 3])), 0};
  m_nearest->Clear();
  return true;
}

void CTevQColorQuantizer::SetOutputTable(int entries, RGBQUAD fill) {
  m_tableEntries = std::clamp(entries, 0, 256);
  m_fill = fill;
}

int CTevQColorQuantizer::Nearest(int r, int g, int b) {
  const std::uint32_t key = (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
  if (m_exact)
    if (const std::uint32_t* v = m_histogram->Find(key)) return int(*v);
  if (const std::uint32_t* v = m_nearest->Find(key)) return int(*v);
  int best = 0;
  long bestDistance = 1L << 30;
  for (std::size_t i = 0; i < m_palette.size(); ++i) {
    const long dr = r - m_palette[i].rgbRed, dg = g - m_palette[i].rgbGreen, db = b - m_palette[i].rgbBlue;
    const long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
    if (d < bestDistance) {
      bestDistance = d;
      best = int(i);
    }
  }
  if (m_nearest->size() > (1u << 20)) m_nearest->Clear();
  m_nearest->At(key) = std::uint32_t(best);
  return best;
}

int CTevQColorQuantizer::MapExact(std::uint32_t rgb) {
  if (const std::uint32_t* v = m_histogram->Find(rgb)) return int(*v);
  return Nearest(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

BOOL CTevQColorQuantizer::DitherBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                       BITMAPINFOHEADER** out8, int ditherMode, int ditherParameter,
                                       CTevCommonProgress* progress) {
  if (!out8 || !UsablePicture(image) || !UsableMask(mask, image) || m_palette.empty()) return FALSE;
  const LONG w = DibWidth(image), h = DibHeight(image);
  DibPtr out = NewMappedPicture(w, h);
  if (!out) return FALSE;
  const int bytes = image->biBitCount / 8;
  const int strength = std::clamp(ditherParameter, 0, 100);
  const bool diffuse = ditherMode == DITHER_ERROR_DIFFUSION && strength > 0;
  const bool ordered = ditherMode == DITHER_ORDERED && strength > 0;
  // Error rows for diffusion: current and next, one pixel of margin each side, 3 channels, in 1/16 units.
  std::vector<int> errCur, errNext;
  if (diffuse) {
    errCur.assign(std::size_t(w + 2) * 3, 0);
    errNext.assign(std::size_t(w + 2) * 3, 0);
  }
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(image, y);
    const BYTE* m = mask ? DibRow(mask, y) : nullptr;
    BYTE* o = DibRow(out.get(), y);
    if (!diffuse) {
      std::uint32_t last = 0xFFFFFFFFu;
      int lastIndex = 0;
      for (LONG x = 0; x < w; ++x) {
        if (!MaskBit(m, x)) {
          o[x] = 0;
          continue;
        }
        const std::uint32_t c = PixelAt(row, x, bytes);
        if (ordered) {
          // Threshold offset in -16..+16 at full strength.
          const int t = ((kBayer[y & 7][x & 7] * 2 - 63) * strength) / 200;
          o[x] = BYTE(Nearest(std::clamp(int((c >> 16) & 0xFF) + t, 0, 255), std::clamp(int((c >> 8) & 0xFF) + t, 0, 255),
                              std::clamp(int(c & 0xFF) + t, 0, 255)));
          continue;
        }
        if (c != last) {
          lastIndex = MapExact(c);
          last = c;
        }
        o[x] = BYTE(lastIndex);
      }
    } else {
      const bool reverse = y & 1;
      std::fill(errNext.begin(), errNext.end(), 0);
      for (LONG i = 0; i < w; ++i) {
        const LONG x = reverse ? w - 1 - i : i;
        const int dir = reverse ? -1 : 1;
        if (!MaskBit(m, x)) {
          o[x] = 0;
          continue;
        }
        const std::uint32_t c = PixelAt(row, x, bytes);
        int want[3] = {int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)};
        int* e = &errCur[std::size_t(x + 1) * 3];
        for (int k = 0; k < 3; ++k) want[k] = std::clamp(want[k] + (e[k] * strength) / 1600, 0, 255);
        const int index = Nearest(want[0], want[1], want[2]);
        o[x] = BYTE(index);
        const RGBQUAD& q = m_palette[std::size_t(index)];
        const int got[3] = {q.rgbRed, q.rgbGreen, q.rgbBlue};
        for (int k = 0; k < 3; ++k) {
          const int err = want[k] - got[k];
          errCur[std::size_t(x + 1 + dir) * 3 + k] += err * 7;
          errNext[std::size_t(x + 1 - dir) * 3 + k] += err * 3;
          errNext[std::size_t(x + 1) * 3 + k] += err * 5;
          errNext[std::size_t(x + 1 + dir) * 3 + k] += err;
        }
      }
      std::swap(errCur, errNext);
    }
  }
  if (progress && progress->IsCancelled()) return FALSE;
  *out8 = out.release();
  return TRUE;
}
