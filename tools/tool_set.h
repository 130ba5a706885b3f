// The editing view's tools: the thirteen tools in their slot order, with
// the state and settings they share. Each view owns one CToolSet, so the
// tools are single per view rather than per process; the view keeps a
// pointer to the current one and its number.
#pragma once

#include <string>

#include "app/preferences.h"
#include "tools/object_tools.h"
#include "tools/paint_tools.h"
#include "tools/tool_base.h"

// Tool numbers in slot order.
enum ToolNumber {
  TOOL_SELECT = 0, TOOL_RECT_SELECTION = 1, TOOL_ELLIPSE_SELECTION = 2, TOOL_LASSO = 3, TOOL_MAGIC_WAND = 4,
  TOOL_TRANSFORM = 5, TOOL_TEXT = 6, TOOL_SHAPE = 7, TOOL_LINE = 8, TOOL_ERASE = 9, TOOL_FLOOD = 10,
  TOOL_PICK_COLOR = 11, TOOL_SYMBOL = 12, TOOL_COUNT = 13,
};

class CToolSet {
 public:
  CToolSet();
  CToolSet(const CToolSet&) = delete;
  CToolSet& operator=(const CToolSet&) = delete;
  // The tool of a number, null outside 0..12.
  CDefaultTool* Get(int number);
  // Number of a script name ("select", "rect-select", ...; also "eraser"
  // and "pick"), -1 if unknown.
  static int NumberOfName(const std::string& name);

  CToolState m_state;
  // The tools' settings: the preference keys of the brush, eraser, fill,
  // pick colour, shape and arrow keys, copied from the application's
  // preferences when the view is made. Changing them here lasts for this
  // view only; a window that wants them kept copies them back.
  CPreferences m_settings;
  CSelectTool m_select{m_state};
  CRectSelectionTool m_rect{m_state, false};
  CEllipseSelectionTool m_ellipse{m_state};
  CLassoSelectionTool m_lasso{m_state};
  CMagicWandTool m_wand{m_state};
  CTransformTool m_transform{m_state};
  CTextTool m_text;
  CDrawShapeTool m_shape{m_state};
  CLineTool m_line{m_state};
  CEraseTool m_erase{m_state};
  CFloodTool m_flood;
  CPickColorTool m_pickColor{m_state};
  CSymbolTool m_symbol;
};
