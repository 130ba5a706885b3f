// The editing view over a document of its own, driven as a window drives
// it, for the tool tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "tools/edit_view.h"
#include "tools/selection_actions.h"

class ToolScene : public ::testing::Test {
 protected:
  // A press at the first client point, moves through the others, the
  // release at the last.
  void Gesture(const std::vector<POINT>& path, unsigned keys = 0) {
    m_view.OnLButtonDown(keys | 1, path.front());
    for (std::size_t i = 1; i < path.size(); ++i) m_view.OnMouseMove(keys | 1, path[i]);
    m_view.OnLButtonUp(keys, path.back());
  }
  std::size_t Actions() { return m_doc.EditManager().UndoList().size(); }
  std::string UndoText() {
    const CEditAction* a = m_doc.EditManager().GetUndoTail();
    return a ? a->GetMenuText() : std::string();
  }

  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
  CEditPictureView m_view{m_doc};
};
