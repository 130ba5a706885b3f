#include "editing/dib_elements.h"

#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_kernel.h"

DibPtr ExchangeObjectImage(CDib& object, DibPtr image) {
  if (!image || !object.GetImage()) return nullptr;
  DibPtr old(CBitmapCreator::Clone(object.GetImage()));
  if (!old || !object.SetImage(std::move(image))) return nullptr;
  if (object.HasShadow()) object.BuildShadow();
  return old;
}

bool CModifyDibElm::Undo(CLoopwrightDoc& doc) {
  if (!m_pObject || !m_pStored) return false;
  DibPtr previous = ExchangeObjectImage(*m_pObject, std::move(m_pStored));
  if (!previous) return false;
  m_pStored = std::move(previous);
  if (m_nDx || m_nDy) {
    for (const auto& frame : doc.m_frames)
      for (std::size_t j : frame->m_refs.PlacesOf(m_pObject.get())) {
        CRefImageObject* ref = frame->m_refs.Edit(j);
        ref->m_nX -= m_nDx;
        ref->m_nY -= m_nDy;
      }
    m_nDx = -m_nDx;
    m_nDy = -m_nDy;
  }
  return true;
}

bool CScaleDibElm::Undo(CLoopwrightDoc& /*doc*/) {
  if (!m_pObject || !m_pObject->m_pFactory || m_dScaleX == 0 || m_dScaleY == 0) return false;
  CDibFactory& factory = *m_pObject->m_pFactory;
  DibPtr image(factory.Transform(1.0 / m_dScaleX, 1.0 / m_dScaleY, factory.GetAngle()));
  if (!image || !ExchangeObjectImage(*m_pObject, std::move(image))) return false;
  m_dScaleX = 1.0 / m_dScaleX;
  m_dScaleY = 1.0 / m_dScaleY;
  return true;
}
