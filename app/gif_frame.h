// A frame and its per-object references.
#pragma once

#include <vector>

#include "app/frame_refs.h"

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
