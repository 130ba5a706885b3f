// Undoable actions on the animation as a whole: the frame set and order,
// delays, frame properties, the loop setting, canvas and animation size,
// and the frames importers and generators add.
//
// Each action stores a snapshot (with a count on every frame and object it
// keeps) and Undo exchanges it with the document's state, so Redo is the
// same exchange with the Undo text back. The commands that record them are
// in editing/frame_commands.h.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/loopwright_doc.h"
#include "editing/dib_elements.h"
#include "app/edit_manager.h"
#include "companions/base/tr.h"

// The frames list selection as the actions keep it: the selected frame
// indexes (in selection order) and the current frame.
struct CFrameSelection {
  std::vector<int> selected;
  int current = -1;
  static CFrameSelection Of(const CLoopwrightDoc& doc) { return {doc.m_selectedFrames, doc.m_nCurrentFrame}; }
  void Exchange(CLoopwrightDoc& doc) {
    std::swap(selected, doc.m_selectedFrames);
    std::swap(current, doc.m_nCurrentFrame);
  }
};

// Shared part of the frame actions: the document and the two text forms.
class CFrameActionBase : public CEditAction {
 public:
  void Undo() override;
  void Redo() override;

 protected:
  CFrameActionBase(CLoopwrightDoc& doc, std::string undoText, std::string redoText);
  // The state exchange; the same call undoes and redoes.
  virtual void Exchange() = 0;
  // Tells the views after the exchange (hint 1, the current frame).
  virtual void Notify();

  CLoopwrightDoc& m_doc;
  std::string m_strUndo, m_strRedo;
};

// kind 0 add frame, 1 delete frame, 2 duplicate frame. Stores the frame
// array and the selection as they were before the change.
class CModifyFramesAction : public CFrameActionBase {
 public:
  enum Kind { ADD_FRAME = 0, DELETE_FRAME = 1, DUPLICATE_FRAME = 2 };
  CModifyFramesAction(CLoopwrightDoc& doc, int kind);

 protected:
  void Exchange() override;
  void Notify() override;

 private:
  CGifFrameArray m_frames;
  CFrameSelection m_selection;
};

// Reverses the whole animation (selectedOnly false) or the frames at the
// positions that were selected when the action was recorded; the reversal
// is its own inverse.
class CReverseOrderOfFramesAction : public CFrameActionBase {
 public:
  CReverseOrderOfFramesAction(CLoopwrightDoc& doc, bool selectedOnly);
  // Carries out the reversal (also used for the first time).
  void Apply() { Exchange(); }
  bool IsSelectedOnly() const { return m_bSelectedOnly; }

 protected:
  void Exchange() override;

 private:
  bool m_bSelectedOnly;
  std::vector<int> m_positions;  // ascending, for selectedOnly
};

// kind 0 to first, 1 to last, 2 to previous, 3 to next.
class CChangeOrderOfFramesAction : public CFrameActionBase {
 public:
  enum Kind { TO_FIRST = 0, TO_LAST = 1, TO_PREVIOUS = 2, TO_NEXT = 3 };
  CChangeOrderOfFramesAction(CLoopwrightDoc& doc, int kind);

 protected:
  void Exchange() override;

 private:
  CGifFrameArray m_frames;
  CFrameSelection m_selection;
};

// (frame, old delay) for each frame whose delay changed.
class CEditFrameDelayAction : public CFrameActionBase {
 public:
  explicit CEditFrameDelayAction(CLoopwrightDoc& doc);
  void Add(RefPtr<CGifFrame> frame, std::uint16_t delay) { m_items.emplace_back(std::move(frame), delay); }
  bool IsEmpty() const { return m_items.empty(); }

 protected:
  void Exchange() override;
  void Notify() override {}  // only the frames list redraws

 private:
  std::vector<std::pair<RefPtr<CGifFrame>, std::uint16_t>> m_items;
};

struct CModifyFramePropertiesItem {
  int interlaced = 0;
  std::uint16_t delay = 0;
  RefPtr<CGifFrame> frame;
};
using CModifyFramePropertiesWrap = std::vector<CModifyFramePropertiesItem>;

// Old delay and interlaced flag of each changed frame.
template <class TWrap>
class CModifyFramePropertiesAction : public CFrameActionBase, public TWrap {
 public:
  CModifyFramePropertiesAction(CLoopwrightDoc& doc, const std::string& description)
      : CFrameActionBase(doc, TrFormat("Undo %s", {description}), TrFormat("Redo %s", {description})) {}

 protected:
  void Exchange() override {
    for (auto& item : *this) {
      const std::uint16_t delay = item.frame->m_nDelay;
      const int interlaced = item.frame->IsInterlaced() ? 1 : 0;
      item.frame->m_nDelay = item.delay;
      item.frame->SetInterlaced(item.interlaced != 0);
      item.delay = delay;
      item.interlaced = interlaced;
    }
  }
};

// Old loop mode (1 endless, 0 a fixed count) and count.
class CModifyAnimationLoopTimesAction : public CFrameActionBase {
 public:
  CModifyAnimationLoopTimesAction(CLoopwrightDoc& doc, const std::string& description, int loopForever, int count);

 protected:
  void Exchange() override;
  void Notify() override {}

 private:
  int m_nLoopForever, m_nLoopCount;
};

// Old canvas size and old positions of the references it moved.
class CUpdateCanvasSizeAction : public CFrameActionBase {
 public:
  // One reference and its old position.
  struct CObjectPropOffset {
    RefPtr<CRefImageObject> ref;
    POINT offset;
  };
  explicit CUpdateCanvasSizeAction(CLoopwrightDoc& doc);
  // Records the reference's current position.
  void AddOffset(const RefPtr<CRefImageObject>& ref) { m_offsets.push_back({ref, POINT{ref->m_nX, ref->m_nY}}); }
  // Moves every reference of every frame with fn, recording what undo needs:
  // the old position of each explicit reference and each frame's old base.
  void MoveAllRefs(const std::function<void(CRefImageObject&)>& fn);

 protected:
  CUpdateCanvasSizeAction(CLoopwrightDoc& doc, std::string undoText, std::string redoText);
  void Exchange() override;

 private:
  int m_nWidth, m_nHeight;
  std::vector<CObjectPropOffset> m_offsets;
  std::vector<std::pair<RefPtr<CGifFrame>, RefPtr<CRefTable>>> m_bases;
};

// The canvas exchange plus one picture element per object.
class CUpdateAnimationSizeAction : public CUpdateCanvasSizeAction {
 public:
  explicit CUpdateAnimationSizeAction(CLoopwrightDoc& doc);
  void AddElement(std::unique_ptr<CUpdateDibElm> elm) { m_elements.push_back(std::move(elm)); }
  void Undo() override;
  void Redo() override;

 private:
  std::list<std::unique_ptr<CUpdateDibElm>> m_elements;
};

// The menu text of CUpdateFramesDIBAction kind 0-39 ("" outside).
std::string FramesDibActionText(int kind, bool redo);

// Frames added by an importer or generator (kind: the table of
// FramesDibActionText). Stores the frame array, the object list, the
// selected objects, the frames list selection and each kept frame's
// reference list from before the change (adding an object gives every
// frame a reference, so the frames that stay must get their lists back).
class CUpdateFramesDIBAction : public CFrameActionBase {
 public:
  CUpdateFramesDIBAction(CLoopwrightDoc& doc, int kind);
  int GetKind() const { return m_nKind; }

 protected:
  void Exchange() override;

 private:
  int m_nKind;
  CGifFrameArray m_frames;
  CRefDibsList m_objects;
  CRefDibsList m_selectedObjects;
  CFrameSelection m_selection;
  std::vector<std::pair<RefPtr<CGifFrame>, CRefImageObjectList>> m_refLists;
};

// A generation that also changed a key frame's delay: keeps that frame and
// its old delay.
class CBuldingFramesDIBAction : public CUpdateFramesDIBAction {
 public:
  CBuldingFramesDIBAction(CLoopwrightDoc& doc, int kind, RefPtr<CGifFrame> frame, std::uint16_t delay);

 protected:
  void Exchange() override;

 private:
  RefPtr<CGifFrame> m_pFrame;
  std::uint16_t m_nDelay;
};
