// A text image of a document for undo/redo comparisons: every model field,
// every reference, a checksum of every object picture and of every composed
// frame, the frame identities and the selection.
#pragma once

#include <sstream>
#include <string>

#include "app/frame_render.h"
#include "app/loopwright_doc.h"

inline std::uint64_t PixelHash(const BITMAPINFOHEADER* dib) {
  if (!dib) return 0;
  std::uint64_t h = 1469598103934665603ull;
  for (LONG y = 0; y < DibHeight(dib); ++y) {
    const BYTE* row = DibRow(dib, y);
    for (std::size_t i = 0; i < std::size_t(dib->biWidth) * 4; ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h ^ std::uint64_t(dib->biWidth) << 32 ^ std::uint64_t(DibHeight(dib));
}

inline std::string Snapshot(const CLoopwrightDoc& d, bool withIdentity = true) {
  std::ostringstream s;
  s << "canvas " << d.m_nWidth << "x" << d.m_nHeight << " bg " << d.m_clrBackground << " loop " << d.m_bLoopForever
    << "/" << d.m_nLoopCount << "\n";
  for (const auto& o : d.m_objects)
    s << "object " << o->m_strName << " k" << o->m_nKind << " " << o->m_nWidth << "x" << o->m_nHeight << " px "
      << PixelHash(o->GetImage()) << " shadow " << o->HasShadow() << "\n";
  for (const auto& f : d.m_frames) {
    s << "frame";
    if (withIdentity) s << " @" << f.get();
    s << " d" << f->m_nDelay << " g" << int(f->m_byGraphicControl) << " p" << int(f->m_byDescriptor) << " f"
      << f->m_nFlags;
    for (const auto& r : f->m_refs)
      s << " [" << d.IndexOfObject(r->m_pObject.get()) << " " << r->m_nX << "," << r->m_nY << " v" << r->m_bVisible
        << " l" << r->m_bLocked << " t" << r->m_nTransparency << "]";
    DibPtr composed = RenderFrame(d, *f);
    s << " composed " << PixelHash(composed.get()) << "\n";
  }
  s << "selected";
  for (int i : d.m_selectedFrames) s << " " << i;
  s << " current " << d.m_nCurrentFrame << "\n";
  return s.str();
}
