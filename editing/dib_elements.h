// DIB update elements: small undo records of one object's picture, used by
// the actions that change pictures. Undo and Redo exchange the stored state
// with the object's, so each is its own inverse.
#pragma once

#include "app/dib_object.h"

class CLoopwrightDoc;

class CUpdateDibElm {
 public:
  virtual ~CUpdateDibElm() = default;
  virtual bool Undo(CLoopwrightDoc& /*doc*/) { return true; }
  virtual bool Redo(CLoopwrightDoc& /*doc*/) { return true; }
};

// Keeps an object's previous picture; Undo exchanges it with the current one
// and moves the object's references back by (dx, dy) (then negates them).
class CModifyDibElm : public CUpdateDibElm {
 public:
  CModifyDibElm(RefPtr<CDib> object, DibPtr stored, int dx = 0, int dy = 0)
      : m_pObject(std::move(object)), m_pStored(std::move(stored)), m_nDx(dx), m_nDy(dy) {}
  bool Undo(CLoopwrightDoc& doc) override;
  bool Redo(CLoopwrightDoc& doc) override { return Undo(doc); }
  CDib* GetObject() const { return m_pObject.get(); }

 protected:
  RefPtr<CDib> m_pObject;
  DibPtr m_pStored;
  int m_nDx, m_nDy;
};

// A raster object resized by the animation-resize command: the previous
// picture comes back exactly.
class CResizeNormalDibElm : public CModifyDibElm {
 public:
  using CModifyDibElm::CModifyDibElm;
};

// A generator object rescaled through its factory; Undo rescales by the
// inverse factors (and keeps them for the next exchange).
class CScaleDibElm : public CUpdateDibElm {
 public:
  CScaleDibElm(RefPtr<CDib> object, double scaleX, double scaleY)
      : m_pObject(std::move(object)), m_dScaleX(scaleX), m_dScaleY(scaleY) {}
  bool Undo(CLoopwrightDoc& doc) override;
  bool Redo(CLoopwrightDoc& doc) override { return Undo(doc); }

 private:
  RefPtr<CDib> m_pObject;
  double m_dScaleX, m_dScaleY;
};

// Replaces an object's picture (rebuilding its shadow when it has one).
// Returns the previous picture, or null (and changes nothing) when image is
// unusable.
DibPtr ExchangeObjectImage(CDib& object, DibPtr image);
