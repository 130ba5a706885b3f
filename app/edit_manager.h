// The undo history: CEditAction, the base of every undoable change, and
// CEditManager, which keeps the undo and redo lists.
//
// Recording a change: 1. create the action (it stores what Undo needs, with
// a count on every frame or object it keeps) 2. AddAction on the document's
// manager 3. mark the document modified 4. make the change 5. tell the views.
//
// The document owns the manager, so it lives beside the document; the
// actions that fill it live in editing/, above app/.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <utility>

class CEditAction {
 public:
  virtual ~CEditAction() = default;
  // Puts back the state the action replaced and switches the text to its
  // Redo form. Most actions exchange a stored snapshot with the document's
  // state, so Redo is the same exchange followed by the Undo text.
  virtual void Undo() {}
  virtual void Redo() {}

  const std::string& GetMenuText() const { return m_strMenuText; }
  void SetMenuText(std::string text) { m_strMenuText = std::move(text); }

 protected:
  std::string m_strMenuText;
};

class CEditManager {
 public:
  using ActionList = std::list<std::unique_ptr<CEditAction>>;
  static constexpr int kDefaultUndoMaxTimes = 26;

  CEditManager() = default;
  CEditManager(const CEditManager&) = delete;
  CEditManager& operator=(const CEditManager&) = delete;
  virtual ~CEditManager() { RemoveAll(); }

  // The bound of the undo list; 0 or less means the default of 26.
  void SetUndoMaxTimes(int limit) { m_nUndoMaxTimes = limit > 0 ? limit : kDefaultUndoMaxTimes; }
  int GetUndoMaxTimes() const { return m_nUndoMaxTimes; }

  // Appends the action (owned from now on). When the undo list already holds
  // more than UndoMaxTimes actions the oldest is destroyed first, so it holds
  // at most UndoMaxTimes + 1. A new action clears the redo list: redoing an
  // older snapshot after later edits would silently overwrite them.
  void AddAction(CEditAction* action) {
    if (!action) return;
    std::unique_ptr<CEditAction> owned(action);
    while (int(m_undo.size()) > m_nUndoMaxTimes) m_undo.pop_front();
    m_redo.clear();
    m_undo.push_back(std::move(owned));
  }

  // Destroys every action of both lists, undo list first.
  void RemoveAll() {
    m_undo.clear();
    m_redo.clear();
  }

  bool CanUndo() const { return !m_undo.empty(); }
  bool CanRedo() const { return !m_redo.empty(); }
  CEditAction* GetUndoTail() const { return m_undo.empty() ? nullptr : m_undo.back().get(); }
  CEditAction* GetRedoTail() const { return m_redo.empty() ? nullptr : m_redo.back().get(); }

  // Moves the newest undo action to the redo list and undoes it.
  bool Undo() {
    if (m_undo.empty()) return false;
    m_redo.splice(m_redo.end(), m_undo, std::prev(m_undo.end()));
    m_redo.back()->Undo();
    return true;
  }
  // Moves the newest redo action back to the undo list (no bound test) and
  // redoes it.
  bool Redo() {
    if (m_redo.empty()) return false;
    m_undo.splice(m_undo.end(), m_redo, std::prev(m_redo.end()));
    m_undo.back()->Redo();
    return true;
  }

  const ActionList& UndoList() const { return m_undo; }
  const ActionList& RedoList() const { return m_redo; }

 private:
  int m_nUndoMaxTimes = kDefaultUndoMaxTimes;
  ActionList m_undo;  // oldest at the front
  ActionList m_redo;  // most recently undone at the back
};
