// A frame and its per-object references.
#pragma once

#include <vector>

#include "app/dib_object.h"

// One frame's view of one object: placement, visibility, lock, transparency.
// A freshly constructed reference is hidden, unlocked, opaque, at (0, 0).
class CRefImageObject : public CRefObj {
 public:
  CRefImageObject() = default;
  explicit CRefImageObject(RefPtr<CDib> object) : m_pObject(std::move(object)) {}
  CRefImageObject(const CRefImageObject& o)
      : CRefObj(), m_nReserved1(o.m_nReserved1), m_nReserved2(o.m_nReserved2), m_nX(o.m_nX), m_nY(o.m_nY),
        m_bLocked(o.m_bLocked), m_pObject(o.m_pObject), m_bVisible(o.m_bVisible),
        m_nTransparency(o.m_nTransparency) {}
  CRefImageObject& operator=(const CRefImageObject&) = delete;

  std::int32_t m_nReserved1 = 0;
  std::int32_t m_nReserved2 = 0;
  std::int32_t m_nX = 0;
  std::int32_t m_nY = 0;
  bool m_bLocked = false;
  RefPtr<CDib> m_pObject;
  bool m_bVisible = false;
  std::int32_t m_nTransparency = 0;  // 0 opaque, 255 invisible
};

using CRefImageObjectList = std::vector<RefPtr<CRefImageObject>>;

class CGifFrame : public CRefObj {
 public:
  // Delay defaults to the application's "DefaultDelay" preference.
  CGifFrame();
  explicit CGifFrame(std::uint16_t delay) : m_nDelay(delay) {}
  // Copies the fields and gives the copy its own references (same objects).
  CGifFrame(const CGifFrame& o);
  CGifFrame& operator=(const CGifFrame&) = delete;

  // Disposal method held in bits 2-4 of the graphic-control byte.
  int GetDisposal() const { return (m_byGraphicControl >> 2) & 7; }
  void SetDisposal(int d) { m_byGraphicControl = BYTE((m_byGraphicControl & ~0x1C) | ((d & 7) << 2)); }
  bool IsInterlaced() const { return (m_byDescriptor & 0x40) != 0; }
  void SetInterlaced(bool on) { m_byDescriptor = BYTE(on ? (m_byDescriptor | 0x40) : (m_byDescriptor & ~0x40)); }

  BYTE m_byGraphicControl = 8;
  BYTE m_byTransparentIndex = 0;
  std::uint16_t m_nDelay = 20;
  std::uint32_t m_nFlags = 0;
  BYTE m_byDescriptor = 0x80;
  CRefImageObjectList m_refs;
};

// The delay new frames get; the application sets it from its preferences.
std::uint16_t GetDefaultFrameDelay();
void SetDefaultFrameDelay(std::uint16_t delay);
