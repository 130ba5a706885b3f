// The filter and adjustment commands on pictures: CUpdateDibsAction keeps
// one CModifyDibElm per changed picture, and ApplyFilterToSelectedObjects
// runs a pixel process over the current frame's selected objects and
// records it.
//
// Usage: 1. build the process with its parameters 2. call
// ApplyFilterToSelectedObjects(doc, kind, process) 3. undo and redo go
// through the document's edit manager as for every action.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "app/loopwright_doc.h"
#include "editing/dib_elements.h"
#include "app/edit_manager.h"
#include "imaging/obj_selection.h"
#include "imaging/pixel_process.h"

class CUpdateDibsAction : public CEditAction {
 public:
  // The filter kinds and their menu texts.
  enum Kind {
    NEGATIVE = 0,
    GRAY = 1,
    MIRROR_HORIZONTALLY = 2,
    MIRROR_VERTICALLY = 3,
    BRIGHTNESS = 4,
    CONTRAST = 5,
    RED_GREEN_BLUE = 6,
    HUE_SATURATION = 7,
    BLUR = 8,
    GAUSSIAN_BLUR = 9,
    SHARPNESS = 10,
    EMBOSS = 11,
    SUNSPOT = 12,
  };
  CUpdateDibsAction(CLoopwrightDoc& doc, int kind);
  // A kind outside the table keeps whatever text it was given; filters
  // without a kind of their own set both forms here.
  void SetTexts(std::string undoText, std::string redoText);

  void AddElement(std::unique_ptr<CUpdateDibElm> element) { m_elements.push_back(std::move(element)); }
  bool IsEmpty() const { return m_elements.empty(); }
  std::size_t GetCount() const { return m_elements.size(); }
  int GetKind() const { return m_nKind; }

  // Every element from head to tail, then the views and the text.
  void Undo() override;
  void Redo() override;

  // Undo (redo false) or Redo form of a kind; empty outside 0..12.
  static std::string KindText(int kind, bool redo);

 private:
  void Refresh();

  CLoopwrightDoc& m_doc;
  int m_nKind;
  std::string m_strUndo, m_strRedo;
  std::list<std::unique_ptr<CUpdateDibElm>> m_elements;
};

// The picture ref's object would get from process: a new DIB (the object is
// left as it is), run inside selection (canvas coordinates) when given and
// not empty. Null when the process fails or there is no picture.
DibPtr FilteredPicture(const CRefImageObject& ref, int kind, TevImageTransform::CTevInterfacePixelProcess& process,
                       CTevCommonProgress* progress = nullptr,
                       const TevImageTransform::CTevObjSelection* selection = nullptr);

// Runs process over the pictures of the current frame's selected objects
// (each picture once, however many objects show it): through the selection
// walker, with the selection placed relative to each object, when the
// editing view's selection is given and not empty, else over the whole picture. The
// process runs on a copy that replaces the picture only when the walk
// succeeds and changed something. The changed pictures are recorded as one
// CUpdateDibsAction of the kind (texts set by SetTexts for kinds outside the
// table) added to the edit manager; the document is marked modified and the
// views are told. Returns the number of changed pictures (0: no action).
// label, when given, names the filter for kinds outside the table:
// "Undo <label>" / "Redo <label>".
int ApplyFilterToSelectedObjects(CLoopwrightDoc& doc, int kind, TevImageTransform::CTevInterfacePixelProcess& process,
                                 CTevCommonProgress* progress = nullptr, const std::string& label = {},
                                 const TevImageTransform::CTevObjSelection* selection = nullptr);
