// The one document: the animation plus its view state (current and selected
// frames, selected objects), the modified flag and the observers (views).
#pragma once

#include <string>
#include <vector>

#include "app/gif_image.h"
#include "app/loopwright_app.h"
#include "app/prompt.h"
#include "app/edit_manager.h"

class CTevCommonProgress;

// Update hints: 1 frames or object lists changed (frame: the current one),
// 2 an object was moved by the select tool, 3 an object property changed.
enum UpdateHint { HINT_FRAMES_CHANGED = 1, HINT_OBJECT_MOVED = 2, HINT_OBJECT_PROPERTY = 3 };

class CDocObserver {
 public:
  virtual ~CDocObserver() = default;
  virtual void OnUpdate(int hint, CGifFrame* frame) = 0;
};

// Text and enabled state of a menu command.
struct CCommandState {
  std::string text;
  bool enabled = false;
};

class CLoopwrightDoc : public CGifImage {
 public:
  CLoopwrightDoc(CLoopwrightApp& app, CPromptInterface& prompt);
  ~CLoopwrightDoc() override;

  // New animation from the preferences ("NewAnimationWidth" x
  // "NewAnimationHeight"); a positive width or height replaces the preferred one.
  bool OnNewDocument(int width = 0, int height = 0);
  // Reads the file into a temporary model; on success it replaces the
  // content, on failure shows "载入 %s 文件失败!" and keeps the document.
  bool OnOpenDocument(const std::string& path, CTevCommonProgress* progress = nullptr);
  // The second half of an open whose file was read into model elsewhere (a
  // window reads on a worker thread): the model replaces the content.
  void AdoptOpenedModel(CGifImage& model, const std::string& path);
  // Writes the project file; on failure shows "保存到 %s 文件失败!" and
  // keeps the previous file. Clears the modified flag on success.
  bool OnSaveDocument(const std::string& path, CTevCommonProgress* progress = nullptr);
  // Empties frames, objects, the selection lists and the undo history.
  virtual void DeleteContents();
  // The export, save and preview commands need at least one frame.
  bool CanExport() const { return !m_frames.empty(); }

  void UpdateAllViews(int hint, CGifFrame* frame);
  void AddObserver(CDocObserver* observer);
  void RemoveObserver(CDocObserver* observer);
  void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
  bool IsModified() const { return m_bModified; }

  CGifFrame* GetCurrentFrame() const { return GetFrame(m_nCurrentFrame); }
  // Makes frame i current and the only selected frame (nothing for -1).
  void SelectSingleFrame(int index);

  // Undo and Redo commands: move the newest action of one list to the other,
  // run it and mark the document modified. False when the list is empty.
  bool OnEditUndo();
  bool OnEditRedo();
  // The command texts (the action's menu text, or the cannot-undo/redo text)
  // and whether they are enabled (a non-empty list and the editing mode).
  CCommandState GetUndoCommandState() const;
  CCommandState GetRedoCommandState() const;
  CEditManager& EditManager() { return m_editManager; }

  CLoopwrightApp& App() { return m_app; }
  CPromptInterface& Prompt() { return m_prompt; }

  int m_nCurrentFrame = -1;
  std::vector<int> m_selectedFrames;  // in selection order
  CRefDibsList m_selectedObjects;
  long long m_nFileSize = -1;         // bytes of the opened file, -1 unknown
  std::string m_strPathName;
  std::string m_strLastError;         // reason of the last failed open

 private:
  CLoopwrightApp& m_app;
  CPromptInterface& m_prompt;
  std::vector<CDocObserver*> m_observers;
  CEditManager m_editManager;
  bool m_bModified = false;
};
