#include "tools/tool_set.h"

#include <array>

#include "tools/edit_view.h"

namespace {
// Script names in slot order.
constexpr std::array<const char*, TOOL_COUNT> kToolNames = {
    "select", "rect-select", "ellipse-select", "lasso", "wand", "transform", "text",
    "shape",  "brush",       "erase",          "fill",  "pick-color", "symbol",
};
}  // namespace

ContextMenu CDefaultTool::OnRButtonDown(CEditPictureView& view, unsigned, POINT point) {
  return view.HasSelection() && view.IsInSelection(view.ClientToImage(point)) ? MENU_SELECTION : MENU_OBJECT;
}

CToolSet::CToolSet() = default;

CDefaultTool* CToolSet::Get(int number) {
  switch (number) {
    case TOOL_SELECT: return &m_select;
    case TOOL_RECT_SELECTION: return &m_rect;
    case TOOL_ELLIPSE_SELECTION: return &m_ellipse;
    case TOOL_LASSO: return &m_lasso;
    case TOOL_MAGIC_WAND: return &m_wand;
    case TOOL_TRANSFORM: return &m_transform;
    case TOOL_TEXT: return &m_text;
    case TOOL_SHAPE: return &m_shape;
    case TOOL_LINE: return &m_line;
    case TOOL_ERASE: return &m_erase;
    case TOOL_FLOOD: return &m_flood;
    case TOOL_PICK_COLOR: return &m_pickColor;
    case TOOL_SYMBOL: return &m_symbol;
    default: return nullptr;
  }
}

int CToolSet::NumberOfName(const std::string& name) {
  if (name == "eraser") return TOOL_ERASE;
  if (name == "pick") return TOOL_PICK_COLOR;
  for (int i = 0; i < TOOL_COUNT; ++i)
    if (name == kToolNames[std::size_t(i)]) return i;
  return -1;
}
