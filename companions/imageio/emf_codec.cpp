// EMF reader: the records clip art uses (mapping modes, window and viewport,
// world transforms, pens, brushes, fonts, lines, polygons, Bezier curves,
// rectangles, ellipses, arcs, chords, pies, paths, text and bitmap blits)
// played onto a metafile canvas. The picture covers the header's bounds in
// device pixels (or its frame when the bounds are empty). EMF+ comments are
// skipped (dual files draw through their EMF records), as are other unknown
// records; every record's size and every count in it is checked.
#include <cmath>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/metafile_canvas.h"

namespace TevImageIO {

namespace {

constexpr double kMaxMetafileSide = 4096;

// One record: 32-bit fields from its start (type and size are fields 0 and 1).
class EmfRecord {
 public:
  EmfRecord(const BYTE* p, std::size_t size) : p_(p), size_(size) {}
  std::size_t Size() const { return size_; }
  const BYTE* Data() const { return p_; }
  bool Has(std::size_t offset, std::size_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
  DWORD U(std::size_t off) const {
    return Has(off, 4) ? DWORD(p_[off]) | (DWORD(p_[off + 1]) << 8) | (DWORD(p_[off + 2]) << 16) | (DWORD(p_[off + 3]) << 24) : 0;
  }
  int L(std::size_t off) const { return int(U(off)); }
  int S16(std::size_t off) const { return Has(off, 2) ? short(p_[off] | (p_[off + 1] << 8)) : 0; }
  double F(std::size_t off) const {
    const DWORD v = U(off);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }

 private:
  const BYTE* p_;
  std::size_t size_;
};

MetaPoint PointAt(const EmfRecord& r, std::size_t off, bool small) {
  return small ? MetaPoint{double(r.S16(off)), double(r.S16(off + 2))} : MetaPoint{double(r.L(off)), double(r.L(off + 4))};
}

// count points at off; empty when they do not fit in the record.
std::vector<MetaPoint> PointsAt(const EmfRecord& r, std::size_t off, std::size_t count, bool small) {
  const std::size_t each = small ? 4 : 8;
  std::vector<MetaPoint> pts;
  if (count > r.Size() / each || !r.Has(off, count * each)) return pts;
  for (std::size_t i = 0; i < count; ++i) pts.push_back(PointAt(r, off + i * each, small));
  return pts;
}

// PolyPolygon / PolyPolyline: bounds, number of figures, total points, counts, points.
std::vector<std::vector<MetaPoint>> PolyPoly(const EmfRecord& r, bool small) {
  const std::size_t figures = r.U(24), total = r.U(28);
  std::vector<std::vector<MetaPoint>> out;
  if (figures > r.Size() / 4 || !r.Has(32, figures * 4)) return out;
  const std::vector<MetaPoint> pts = PointsAt(r, 32 + figures * 4, total, small);
  if (pts.size() != total) return out;
  std::size_t at = 0;
  for (std::size_t i = 0; i < figures; ++i) {
    const std::size_t n = r.U(32 + i * 4);
    if (n > total - at) return {};
    out.emplace_back(pts.begin() + long(at), pts.begin() + long(at + n));
    at += n;
  }
  return out;
}

std::u32string Utf16ToU32(const EmfRecord& r, std::size_t off, std::size_t chars) {
  std::u32string out;
  if (chars > r.Size() / 2 || !r.Has(off, chars * 2)) return out;
  for (std::size_t i = 0; i < chars; ++i) {
    char32_t c = char32_t(r.S16(off + 2 * i) & 0xFFFF);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < chars) {
      const char32_t lo = char32_t(r.S16(off + 2 * i + 2) & 0xFFFF);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

void BlitRecord(CMetafileCanvas& c, const EmfRecord& r, int type) {
  if (type == 81) {  // StretchDIBits
    const double xDest = r.L(24), yDest = r.L(28), xSrc = r.L(32), ySrc = r.L(36), cxSrc = r.L(40), cySrc = r.L(44);
    const std::size_t offBmi = r.U(48), cbBmi = r.U(52), offBits = r.U(56), cbBits = r.U(60);
    const DWORD rop = r.U(68);
    const double cxDest = r.L(72), cyDest = r.L(76);
    if (!cbBmi || !r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return;
    DibPtr pic = DecodeMetafileBitmap(r.Data(), r.Size(), offBmi, offBits, rop);
    // Source rows count from the bottom of the bitmap.
    if (pic) c.DrawPicture(pic.get(), xSrc, DibHeight(pic.get()) - ySrc - cySrc, cxSrc, cySrc, xDest, yDest, cxDest, cyDest);
    return;
  }
  // BitBlt (76) and StretchBlt (77).
  const double xDest = r.L(24), yDest = r.L(28), cxDest = r.L(32), cyDest = r.L(36);
  const DWORD rop = r.U(40);
  const double xSrc = r.L(44), ySrc = r.L(48);
  const std::size_t offBmi = r.U(84), cbBmi = r.U(88), offBits = r.U(92), cbBits = r.U(96);
  const double cxSrc = type == 77 ? r.L(100) : cxDest, cySrc = type == 77 ? r.L(104) : cyDest;
  if (!cbBmi) {  // no source: a pattern blit
    const DWORD op = rop >> 16;
    const COLORREF black = 0, white = 0xFFFFFF;
    if (op == 0xF0) c.FillRect(xDest, yDest, xDest + cxDest, yDest + cyDest);
    else if (op == 0x00) c.FillRect(xDest, yDest, xDest + cxDest, yDest + cyDest, &black);
    else if (op == 0xFF) c.FillRect(xDest, yDest, xDest + cxDest, yDest + cyDest, &white);
    return;
  }
  if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return;
  DibPtr pic = DecodeMetafileBitmap(r.Data(), r.Size(), offBmi, offBits, rop);
  if (pic) c.DrawPicture(pic.get(), xSrc, ySrc, cxSrc, cySrc, xDest, yDest, cxDest, cyDest);
}

void PlayRecord(CMetafileCanvas& c, int type, const EmfRecord& r) {
  const bool small = type >= 85 && type <= 91;
  switch (type) {
    case 2: case 85: c.PolyBezier(PointsAt(r, 28, r.U(24), small), false); break;
    case 3: case 86: c.PolyPolygon({PointsAt(r, 28, r.U(24), small)}); break;
    case 4: case 87: c.Polyline(PointsAt(r, 28, r.U(24), small)); break;
    case 5: case 88: c.PolyBezier(PointsAt(r, 28, r.U(24), small), true); break;
    case 6: case 89: c.PolylineTo(PointsAt(r, 28, r.U(24), small)); break;
    case 7: case 90: c.PolyPolyline(PolyPoly(r, small)); break;
    case 8: case 91: c.PolyPolygon(PolyPoly(r, small)); break;
    case 9: c.SetWindowExt(r.L(8), r.L(12)); break;
    case 10: c.SetWindowOrg(r.L(8), r.L(12)); break;
    case 11: c.SetViewportExt(r.L(8), r.L(12)); break;
    case 12: c.SetViewportOrg(r.L(8), r.L(12)); break;
    case 31: case 32: {  // ScaleViewportExtEx / ScaleWindowExtEx: xNum, xDenom, yNum, yDenom
      if (!r.L(12) || !r.L(20)) break;
      const MetaPoint e = type == 31 ? c.ViewportExt() : c.WindowExt();
      const double x = e.x * r.L(8) / r.L(12), y = e.y * r.L(16) / r.L(20);
      if (type == 31) c.SetViewportExt(x, y);
      else c.SetWindowExt(x, y);
      break;
    }
    case 15: c.SetPixel(PointAt(r, 8, false), r.U(16)); break;
    case 17: c.SetMapMode(r.L(8)); break;
    case 18: c.SetBkMode(r.L(8)); break;
    case 19: c.SetPolyFillMode(r.L(8)); break;
    case 22: c.SetTextAlign(r.L(8)); break;
    case 24: c.SetTextColour(r.U(8)); break;
    case 25: c.SetBkColour(r.U(8)); break;
    case 27: c.MoveTo(PointAt(r, 8, false)); break;
    case 54: c.LineTo(PointAt(r, 8, false)); break;
    case 30: c.IntersectClipRect(r.L(8), r.L(12), r.L(16), r.L(20)); break;
    case 75: if (r.L(12) == 5) c.ResetClip(); break;  // RGN_COPY of a new region
    case 33: c.Save(); break;
    case 34: c.Restore(r.L(8)); break;
    case 35: case 36: {
      const TevVecLib::CTevTransMatrix m(r.F(8), r.F(12), r.F(16), r.F(20), r.F(24), r.F(28));
      c.ModifyWorldTransform(m, type == 35 ? 4 : int(r.U(32)));
      break;
    }
    case 37: {
      const DWORD ih = r.U(8);
      if (ih & 0x80000000u) c.SelectStockObject(int(ih & 0x7FFFFFFF));
      else c.SelectObject(ih);
      break;
    }
    case 40: c.DeleteObject(r.U(8)); break;
    case 38: c.PutObject(r.U(8), MetaPen{int(r.U(12)), double(r.L(16)), r.U(24)}); break;
    case 95: c.PutObject(r.U(8), MetaPen{int(r.U(28)), double(r.U(32)), r.U(40)}); break;
    case 39: c.PutObject(r.U(8), MetaBrush{r.U(12) == 1 ? 1 : 0, r.U(16)}); break;
    case 93: case 94: c.PutObject(r.U(8), MetaBrush{0, 0x808080}); break;  // pattern brushes: mid grey
    case 82: {
      MetaFont f;
      f.height = r.L(12);
      f.escapement = r.L(20);
      f.weight = r.L(28);
      f.italic = r.Has(32, 2) && r.Data()[32];
      f.underline = r.Has(33, 1) && r.Data()[33];
      const std::u32string face = Utf16ToU32(r, 40, 32);
      for (char32_t ch : face) f.face.push_back(ch < 0x80 ? char(ch) : '?');
      c.PutObject(r.U(8), f);
      break;
    }
    case 42: c.Ellipse(r.L(8), r.L(12), r.L(16), r.L(20)); break;
    case 43: c.Rectangle(r.L(8), r.L(12), r.L(16), r.L(20)); break;
    case 44: c.RoundRect(r.L(8), r.L(12), r.L(16), r.L(20), r.L(24), r.L(28)); break;
    case 45: case 46: case 47: case 55:
      c.Arc(type == 46 ? kMetaChord : type == 47 ? kMetaPie : kMetaArc, r.L(8), r.L(12), r.L(16), r.L(20),
            PointAt(r, 24, false), PointAt(r, 32, false));
      if (type == 55) c.MoveTo(PointAt(r, 32, false));
      break;
    case 59: c.BeginPath(); break;
    case 60: c.EndPath(); break;
    case 61: c.CloseFigure(); break;
    case 62: c.FillPath(); break;
    case 63: c.StrokeAndFillPath(); break;
    case 64: c.StrokePath(); break;
    case 67: case 68: c.AbortPath(); break;
    case 76: case 77: case 81: BlitRecord(c, r, type); break;
    case 83: case 84: {  // ExtTextOutA / ExtTextOutW
      const MetaPoint ref = PointAt(r, 36, false);
      const std::size_t chars = r.U(44), off = r.U(48);
      std::u32string text;
      if (type == 84) {
        text = Utf16ToU32(r, off, chars);
      } else if (chars <= r.Size() && r.Has(off, chars)) {
        for (std::size_t i = 0; i < chars && r.Data()[off + i]; ++i) text.push_back(char32_t(r.Data()[off + i]));
      }
      c.TextOut(ref, text, true);
      break;
    }
    default: break;
  }
}

}  // namespace

bool SniffEmf(const BYTE* head, std::size_t size) {
  return size >= 44 && head[0] == 1 && head[1] == 0 && head[2] == 0 && head[3] == 0 && std::memcmp(head + 40, " EMF", 4) == 0;
}

int ReadEmf(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffEmf(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not an EMF file: " + pack.path);
  const EmfRecord header(bytes.data(), bytes.size());
  const std::size_t headerSize = header.U(4);
  if (headerSize < 88 || headerSize > bytes.size() || headerSize % 4)
    return Fail(pack, IMAGEIO_ERR_FORMAT, "EMF: header breaks off");
  const double bl = header.L(8), bt = header.L(12), br = header.L(16), bb = header.L(20);
  const double fl = header.L(24), ft = header.L(28), fr = header.L(32), fb = header.L(36);
  const double devX = header.L(72), devY = header.L(76), mmX = header.L(80), mmY = header.L(84);
  const double pxPerMmX = devX > 0 && mmX > 0 ? devX / mmX : 96 / 25.4;
  const double pxPerMmY = devY > 0 && mmY > 0 ? devY / mmY : 96 / 25.4;
  double left = bl, top = bt, width = br - bl + 1, height = bb - bt + 1;
  if (!(width >= 1 && height >= 1)) {
    // Empty bounds: the frame (hundredths of a millimetre) on the reference device.
    left = fl / 100 * pxPerMmX, top = ft / 100 * pxPerMmY;
    width = (fr - fl) / 100 * pxPerMmX, height = (fb - ft) / 100 * pxPerMmY;
  }
  if (!(width >= 1 && height >= 1)) return Fail(pack, IMAGEIO_ERR_FORMAT, "EMF: no picture size");
  const MetafileFit fit = FitMetafile(width, height, kMaxMetafileSide, options ? options->maxPixels : 0);
  const double shrink = fit.shrink;
  const int w = fit.width, h = fit.height;
  CMetafileCanvas canvas;
  if (!canvas.Create(w, h)) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "EMF: picture too large");
  canvas.SetPixelsPerMillimetre(pxPerMmX, pxPerMmY);
  canvas.SetDeviceToPicture(shrink, -left * shrink, -top * shrink);
  canvas.SetWindowExt(1, 1);
  canvas.SetViewportExt(1, 1);

  std::size_t at = headerSize;
  bool ended = false;
  while (at + 8 <= bytes.size()) {
    const EmfRecord head(bytes.data() + at, 8);
    const DWORD type = head.U(0), size = head.U(4);
    if (size < 8 || size % 4 || size > bytes.size() - at) return Fail(pack, IMAGEIO_ERR_FORMAT, "EMF: record size outside the file");
    if (type == 14) {
      ended = true;
      break;
    }
    if (type == 1) return Fail(pack, IMAGEIO_ERR_FORMAT, "EMF: a second header");
    PlayRecord(canvas, int(type), EmfRecord(bytes.data() + at, size));
    at += size;
    if (!Step(progress, (long long)at, (long long)bytes.size())) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  if (!ended) return Fail(pack, IMAGEIO_ERR_FORMAT, "EMF: file breaks off before its end record");
  pack.picture = canvas.TakePicture();
  pack.width = w;
  pack.height = h;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
