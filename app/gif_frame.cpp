#include "app/gif_frame.h"

namespace {
std::uint16_t g_defaultDelay = 20;
}

std::uint16_t GetDefaultFrameDelay() { return g_defaultDelay; }
void SetDefaultFrameDelay(std::uint16_t delay) { g_defaultDelay = delay; }

CGifFrame::CGifFrame() : m_nDelay(g_defaultDelay) {}

CGifFrame::CGifFrame(const CGifFrame& o)
    : CRefObj(),
      m_byGraphicControl(o.m_byGraphicControl),
      m_byTransparentIndex(o.m_byTransparentIndex),
      m_nDelay(o.m_nDelay),
      m_nFlags(o.m_nFlags),
      m_byDescriptor(o.m_byDescriptor),
      m_refs(o.m_refs.DeepCopy()) {}
