// WMF reader: the records clip art uses (mapping, pens, brushes, fonts,
// lines, polygons, rectangles, ellipses, arcs, chords, pies, text, pattern
// and bitmap blits) played onto a metafile canvas. The picture size comes
// from the placeable header's frame at 96 pixels per inch, else from the
// window extent; the logical window maps onto the whole picture. Unknown
// records are skipped; every record's size and parameter count is checked.
#include <cmath>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/metafile_canvas.h"

namespace TevImageIO {

namespace {

constexpr DWORD kPlaceableKey = 0x9AC6CDD7;
// Longest side of the picture; larger frames are drawn scaled down.
constexpr double kMaxMetafileSide = 4096;

// ANSI text as code points (Windows-1252 taken as Latin-1).
std::u32string AnsiToU32(const BYTE* text, std::size_t n) {
  std::u32string out;
  for (std::size_t i = 0; i < n && text[i]; ++i) out.push_back(char32_t(text[i]));
  return out;
}

// One record's parameters: 16-bit words after the function number.
class WmfParams {
 public:
  WmfParams(const BYTE* p, std::size_t words) : p_(p), n_(words) {}
  std::size_t Count() const { return n_; }
  int S(std::size_t i) const { return i < n_ ? short(p_[2 * i] | (p_[2 * i + 1] << 8)) : 0; }
  int U(std::size_t i) const { return i < n_ ? (p_[2 * i] | (p_[2 * i + 1] << 8)) : 0; }
  DWORD D(std::size_t i) const { return DWORD(U(i)) | (DWORD(U(i + 1)) << 16); }
  const BYTE* Bytes(std::size_t i) const { return p_ + 2 * i; }
  std::size_t BytesFrom(std::size_t i) const { return i < n_ ? 2 * (n_ - i) : 0; }

 private:
  const BYTE* p_;
  std::size_t n_;
};

std::vector<MetaPoint> Points(const WmfParams& p, std::size_t at, std::size_t count) {
  std::vector<MetaPoint> pts;
  if (at + 2 * count > p.Count()) return pts;
  for (std::size_t i = 0; i < count; ++i) pts.push_back({double(p.S(at + 2 * i)), double(p.S(at + 2 * i + 1))});
  return pts;
}

void PlayRecord(CMetafileCanvas& c, int fn, const WmfParams& p) {
  const std::size_t n = p.Count();
  switch (fn) {
    case 0x0103: c.SetMapMode(p.S(0)); break;
    case 0x020B: if (n >= 2) c.SetWindowOrg(p.S(1), p.S(0)); break;
    case 0x020C: if (n >= 2) c.SetWindowExt(p.S(1), p.S(0)); break;
    case 0x020F: if (n >= 2) c.SetWindowOrg(c.WindowOrg().x + p.S(1), c.WindowOrg().y + p.S(0)); break;
    case 0x0400:  // ScaleWindowExt: yDenom, yNum, xDenom, xNum
      if (n >= 4 && p.S(0) && p.S(2))
        c.SetWindowExt(c.WindowExt().x * p.S(3) / p.S(2), c.WindowExt().y * p.S(1) / p.S(0));
      break;
    case 0x0201: c.SetBkColour(p.D(0)); break;
    case 0x0209: c.SetTextColour(p.D(0)); break;
    case 0x0102: c.SetBkMode(p.S(0)); break;
    case 0x0106: c.SetPolyFillMode(p.S(0)); break;
    case 0x012E: c.SetTextAlign(p.U(0)); break;
    case 0x001E: c.Save(); break;
    case 0x0127: c.Restore(p.S(0)); break;
    case 0x012D: c.SelectObject(std::size_t(p.U(0))); break;
    case 0x01F0: c.DeleteObject(std::size_t(p.U(0))); break;
    case 0x02FA:  // CreatePenIndirect: style, width (x, y), colour
      if (n >= 5) c.AddObject(MetaPen{p.U(0), double(p.S(1)), p.D(3)});
      break;
    case 0x02FC:  // CreateBrushIndirect: style, colour, hatch
      if (n >= 3) c.AddObject(MetaBrush{p.U(0) == 1 ? 1 : 0, p.D(1)});
      break;
    case 0x02FB: {  // CreateFontIndirect
      MetaFont f;
      f.height = p.S(0);
      f.escapement = p.S(2);
      f.weight = p.S(4);
      if (n >= 9) {
        const BYTE* b = p.Bytes(5);
        f.italic = b[0];
        f.underline = b[1];
        const std::size_t faceBytes = std::min<std::size_t>(32, p.BytesFrom(9));
        const BYTE* face = p.Bytes(9);
        for (std::size_t i = 0; i < faceBytes && face[i]; ++i) f.face.push_back(char(face[i] < 0x80 ? face[i] : '?'));
      }
      c.AddObject(f);
      break;
    }
    case 0x0142: case 0x01F9:  // pattern brushes: painted in mid grey
      c.AddObject(MetaBrush{0, 0x808080});
      break;
    case 0x00F7: case 0x06FF:  // palettes and regions take a slot but draw nothing
      c.AddObject(MetaPen{5, 0, 0});
      break;
    case 0x0214: if (n >= 2) c.MoveTo({double(p.S(1)), double(p.S(0))}); break;
    case 0x0213: if (n >= 2) c.LineTo({double(p.S(1)), double(p.S(0))}); break;
    case 0x0325: c.Polyline(Points(p, 1, std::size_t(p.U(0)))); break;
    case 0x0324: c.PolyPolygon({Points(p, 1, std::size_t(p.U(0)))}); break;
    case 0x0538: {  // PolyPolygon: count, counts[], points
      const std::size_t polys = std::size_t(p.U(0));
      if (1 + polys > n) break;
      std::vector<std::vector<MetaPoint>> all;
      std::size_t at = 1 + polys;
      for (std::size_t i = 0; i < polys; ++i) {
        const std::size_t k = std::size_t(p.U(1 + i));
        if (at + 2 * k > n) return;
        all.push_back(Points(p, at, k));
        at += 2 * k;
      }
      c.PolyPolygon(all);
      break;
    }
    case 0x041B: if (n >= 4) c.Rectangle(p.S(3), p.S(2), p.S(1), p.S(0)); break;
    case 0x061C: if (n >= 6) c.RoundRect(p.S(5), p.S(4), p.S(3), p.S(2), p.S(1), p.S(0)); break;
    case 0x0418: if (n >= 4) c.Ellipse(p.S(3), p.S(2), p.S(1), p.S(0)); break;
    case 0x0817: case 0x081A: case 0x0830:
      if (n >= 8)
        c.Arc(fn == 0x0817 ? kMetaArc : fn == 0x081A ? kMetaPie : kMetaChord, p.S(7), p.S(6), p.S(5), p.S(4),
              {double(p.S(3)), double(p.S(2))}, {double(p.S(1)), double(p.S(0))});
      break;
    case 0x041F: if (n >= 4) c.SetPixel({double(p.S(3)), double(p.S(2))}, p.D(0)); break;
    case 0x0416: if (n >= 4) c.IntersectClipRect(p.S(3), p.S(2), p.S(1), p.S(0)); break;
    case 0x012C: c.ResetClip(); break;
    case 0x0521: {  // TextOut: count, string (even length), y, x
      const std::size_t len = std::size_t(p.U(0)), words = (len + 1) / 2;
      if (1 + words + 2 > n) break;
      c.TextOut({double(p.S(1 + words + 1)), double(p.S(1 + words))}, AnsiToU32(p.Bytes(1), len), true);
      break;
    }
    case 0x0A32: {  // ExtTextOut: y, x, count, options, [rect], string
      if (n < 4) break;
      const std::size_t len = std::size_t(p.U(2));
      const int options = p.U(3);
      std::size_t at = 4;
      if (options & 0x0006) at += 4;
      if (at + (len + 1) / 2 > n) break;
      c.TextOut({double(p.S(1)), double(p.S(0))}, AnsiToU32(p.Bytes(at), len), true);
      break;
    }
    case 0x061D: {  // PatBlt: rop, height, width, y, x
      if (n < 6) break;
      const DWORD op = p.D(0) >> 16;
      const COLORREF black = 0, white = 0xFFFFFF;
      const double x = p.S(5), y = p.S(4), w = p.S(3), h = p.S(2);
      if (op == 0xF0) c.FillRect(x, y, x + w, y + h);
      else if (op == 0x00) c.FillRect(x, y, x + w, y + h, &black);
      else if (op == 0xFF) c.FillRect(x, y, x + w, y + h, &white);
      break;
    }
    case 0x0F43: {  // StretchDIBits: rop, usage, srcH, srcW, ySrc, xSrc, dstH, dstW, yDst, xDst, DIB
      if (n < 11) break;
      DibPtr pic = DecodeMetafileBitmap(p.Bytes(11), p.BytesFrom(11), 0, 0, p.D(0));
      if (!pic) break;
      const double srcH = p.S(3), srcY = p.S(5);
      // Source rows count from the bottom of the bitmap.
      c.DrawPicture(pic.get(), p.S(6), DibHeight(pic.get()) - srcY - srcH, p.S(4), srcH, p.S(10), p.S(9), p.S(8),
                    p.S(7));
      break;
    }
    case 0x0B41: case 0x0940: {  // DibStretchBlt / DibBitBlt: rop, [srcH, srcW,] ySrc, xSrc, [dstH, dstW | h, w], y, x, DIB
      const bool stretch = fn == 0x0B41;
      const std::size_t fixed = stretch ? 10 : 8;
      if (n < fixed) break;
      const double srcH = stretch ? p.S(2) : p.S(4), srcW = stretch ? p.S(3) : p.S(5);
      const double ySrc = stretch ? p.S(4) : p.S(2), xSrc = stretch ? p.S(5) : p.S(3);
      const double h = stretch ? p.S(6) : p.S(4), w = stretch ? p.S(7) : p.S(5);
      const double y = stretch ? p.S(8) : p.S(6), x = stretch ? p.S(9) : p.S(7);
      if (n <= std::size_t(fn >> 8)) {  // no bitmap: a pattern blit; the destination is the last four words
        const double px = p.S(n - 1), py = p.S(n - 2), pw = p.S(n - 3), ph = p.S(n - 4);
        if ((p.D(0) >> 16) == 0xF0) c.FillRect(px, py, px + pw, py + ph);
        break;
      }
      DibPtr pic = DecodeMetafileBitmap(p.Bytes(fixed), p.BytesFrom(fixed), 0, 0, p.D(0));
      if (pic) c.DrawPicture(pic.get(), xSrc, ySrc, srcW, srcH, x, y, w, h);
      break;
    }
    default: break;
  }
}

}  // namespace

bool SniffWmf(const BYTE* head, std::size_t size) {
  if (size >= 4 && (DWORD(head[0]) | (DWORD(head[1]) << 8) | (DWORD(head[2]) << 16) | (DWORD(head[3]) << 24)) == kPlaceableKey)
    return true;
  // A plain metafile header: type 1 or 2, header size 9 words, version 0x100 or 0x300.
  return size >= 18 && (head[0] == 1 || head[0] == 2) && head[1] == 0 && head[2] == 9 && head[3] == 0 &&
         head[4] == 0 && (head[5] == 1 || head[5] == 3);
}

int ReadWmf(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffWmf(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a WMF file: " + pack.path);
  ByteReader r(bytes.data(), bytes.size());
  bool placeable = false;
  int left = 0, top = 0, right = 0, bottom = 0, inch = 0;
  if (r.U32LE() == kPlaceableKey) {
    placeable = true;
    r.Skip(2);
    left = short(r.U16LE()), top = short(r.U16LE()), right = short(r.U16LE()), bottom = short(r.U16LE());
    inch = r.U16LE();
    r.Skip(6);
  } else {
    r.Seek(0);
  }
  const std::size_t headerAt = r.pos();
  r.Skip(2);
  const WORD headerWords = r.U16LE();
  if (!r.ok() || headerWords < 9 || !r.Seek(headerAt + 2 * std::size_t(headerWords)))
    return Fail(pack, IMAGEIO_ERR_FORMAT, "WMF: header breaks off");
  const std::size_t recordsAt = r.pos();

  // Picture size: the placeable frame, else the first window extent.
  double width = 0, height = 0;
  if (placeable && right != left && bottom != top) {
    const double dpi = inch > 0 ? inch : 1440;
    width = std::fabs(double(right - left)) * 96 / dpi;
    height = std::fabs(double(bottom - top)) * 96 / dpi;
  } else {
    for (std::size_t at = recordsAt; at + 6 <= bytes.size();) {
      const DWORD words = DWORD(bytes[at]) | (DWORD(bytes[at + 1]) << 8) | (DWORD(bytes[at + 2]) << 16) |
                          (DWORD(bytes[at + 3]) << 24);
      const int fn = bytes[at + 4] | (bytes[at + 5] << 8);
      if (words < 3 || words > (bytes.size() - at) / 2 || fn == 0) break;
      if (fn == 0x020C && words >= 5) {
        width = std::fabs(double(short(bytes[at + 8] | (bytes[at + 9] << 8))));
        height = std::fabs(double(short(bytes[at + 6] | (bytes[at + 7] << 8))));
        break;
      }
      at += 2 * std::size_t(words);
    }
  }
  if (!(width >= 1 && height >= 1)) return Fail(pack, IMAGEIO_ERR_FORMAT, "WMF: no picture size");
  const MetafileFit fit = FitMetafile(width, height, kMaxMetafileSide, options ? options->maxPixels : 0);
  const int w = fit.width, h = fit.height;
  CMetafileCanvas canvas;
  if (!canvas.Create(w, h)) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "WMF: picture too large");
  canvas.SetFitWindow(true);
  if (placeable) {
    canvas.SetWindowOrg(std::min(left, right), std::min(top, bottom));
    canvas.SetWindowExt(std::abs(right - left), std::abs(bottom - top));
  }

  std::size_t at = recordsAt;
  bool ended = false;
  while (at + 6 <= bytes.size()) {
    const DWORD words = DWORD(bytes[at]) | (DWORD(bytes[at + 1]) << 8) | (DWORD(bytes[at + 2]) << 16) |
                        (DWORD(bytes[at + 3]) << 24);
    const int fn = bytes[at + 4] | (bytes[at + 5] << 8);
    if (fn == 0) {
      ended = true;
      break;
    }
    if (words < 3 || words > (bytes.size() - at) / 2) return Fail(pack, IMAGEIO_ERR_FORMAT, "WMF: record size outside the file");
    PlayRecord(canvas, fn, WmfParams(bytes.data() + at + 6, words - 3));
    at += 2 * std::size_t(words);
    if (!Step(progress, (long long)at, (long long)bytes.size())) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  if (!ended) return Fail(pack, IMAGEIO_ERR_FORMAT, "WMF: file breaks off before its end record");
  pack.picture = canvas.TakePicture();
  pack.width = w;
  pack.height = h;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
