#include "editing/object_property_actions.h"

#include "editing/object_refs.h"

TevCustomPathLibV::CTevVectorObject* VectorObjectOf(const CDib& object) {
  CDibFactory* f = object.m_pFactory.get();
  if (auto* shape = dynamic_cast<CShapeDibFactory*>(f)) return &shape->Shape();
  if (auto* text = dynamic_cast<CTextDibFactory*>(f)) return &text->Text();
  return nullptr;
}

CBitmapDibFactory* BitmapFactoryOf(const CDib& object) {
  return dynamic_cast<CBitmapDibFactory*>(object.m_pFactory.get());
}

CTextDibFactory* TextFactoryOf(const CDib& object) { return dynamic_cast<CTextDibFactory*>(object.m_pFactory.get()); }

std::unique_ptr<CModifyDibElm> RebuildObjectPicture(CLoopwrightDoc& doc, const RefPtr<CDib>& object,
                                                    bool keepCentre) {
  if (!object || !object->m_pFactory || !object->GetImage()) return nullptr;
  DibPtr picture(object->m_pFactory->Build());
  if (!picture) return nullptr;
  // Half the change in size, truncated toward zero, so that the exchange
  // back moves by exactly the opposite amount.
  const int dx = keepCentre ? (object->m_nWidth - int(picture->biWidth)) / 2 : 0;
  const int dy = keepCentre ? (object->m_nHeight - int(DibHeight(picture.get()))) / 2 : 0;
  DibPtr old = ExchangeObjectImage(*object, std::move(picture));
  if (!old) return nullptr;
  OffsetRefsOf(doc, object.get(), dx, dy);
  return std::make_unique<CModifyDibElm>(object, std::move(old), dx, dy);
}

CModifyObjectNameAction::CModifyObjectNameAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Modify Object's Name", "Redo Modify Object's Name") {
  Capture();
}

CModifyObjectXOffsetAction::CModifyObjectXOffsetAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Offset Object", "Redo Offset Object") {
  Capture();
}

CModifyObjectYOffsetAction::CModifyObjectYOffsetAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Offset Object", "Redo Offset Object") {
  Capture();
}

CModifyObjectVisibleAction::CModifyObjectVisibleAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Object Visible/InVisible",
                                    "Redo Object Visible/InVisible") {
  Capture();
}

CModifyObjectLockAction::CModifyObjectLockAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Lock/Unlock Object", "Redo Lock/Unlock Object") {
  Capture();
}

CScaleImageObjAction::CScaleImageObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CTransformImageObjAction(doc, std::move(ref), "Undo Scale Object", "Redo Scale Object") {
  Capture();
}

CRotateImageObjAction::CRotateImageObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CTransformImageObjAction(doc, std::move(ref), "Undo Rotate Object", "Redo Rotate Object") {
  Capture();
}

CScaleShapeObjAction::CScaleShapeObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Scale Object", "Redo Scale Object") {
  Capture();
}

TagSizeD CScaleShapeObjAction::GetValue() const {
  const auto* v = VectorObjectOf(Object());
  return {v->ScaleX(), v->ScaleY()};
}

void CScaleShapeObjAction::SetValue(const TagSizeD& value) { VectorObjectOf(Object())->SetScale(value.cx, value.cy); }

CScaleTextObjAction::CScaleTextObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Scale Object", "Redo Scale Object") {
  Capture();
}

TagPointD CScaleTextObjAction::GetValue() const {
  const auto* v = VectorObjectOf(Object());
  return {v->ScaleX(), v->ScaleY()};
}

void CScaleTextObjAction::SetValue(const TagPointD& value) { VectorObjectOf(Object())->SetScale(value.x, value.y); }

CRotateShapeObjAction::CRotateShapeObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CModifyObjectPropertiesAction(doc, std::move(ref), "Undo Rotate Object", "Redo Rotate Object") {
  Capture();
}

double CRotateShapeObjAction::GetValue() const { return VectorObjectOf(Object())->Angle(); }

void CRotateShapeObjAction::SetValue(const double& value) { VectorObjectOf(Object())->SetAngle(value); }

void CGeneratorValueAction::FinishExchange() {
  if (m_pPicture) m_pPicture->Undo(m_doc);
  m_doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
}

CModifyTextContentAction::CModifyTextContentAction(CLoopwrightDoc& doc, RefPtr<CDib> object)
    : CGeneratorValueAction(doc, std::move(object)), m_text(TextFactoryOf(*m_pObject)->Text().TextContent()) {
  SetMenuText("Undo Modify Text");
}

void CModifyTextContentAction::Restore() { TextFactoryOf(*m_pObject)->Text().SetTextContent(m_text); }

void CModifyTextContentAction::Exchange() {
  auto& text = TextFactoryOf(*m_pObject)->Text();
  TevCustomPathLibV::CArrayOfTextCharacters current = text.TextContent();
  text.SetTextContent(m_text);
  m_text = std::move(current);
  FinishExchange();
}

void CModifyTextContentAction::Undo() {
  Exchange();
  SetMenuText("Redo Modify Text");
}

void CModifyTextContentAction::Redo() {
  Exchange();
  SetMenuText("Undo Modify Text");
}

CModifyTransformFilterAction::CModifyTransformFilterAction(CLoopwrightDoc& doc, RefPtr<CDib> object)
    : CGeneratorValueAction(doc, std::move(object)), m_nFilter(BitmapFactoryOf(*m_pObject)->Filter()) {
  SetMenuText("Undo Modify Transform Filter");
}

void CModifyTransformFilterAction::Restore() { BitmapFactoryOf(*m_pObject)->SetFilter(m_nFilter); }

void CModifyTransformFilterAction::Exchange() {
  CBitmapDibFactory* f = BitmapFactoryOf(*m_pObject);
  const std::int32_t current = f->Filter();
  f->SetFilter(m_nFilter);
  m_nFilter = current;
  FinishExchange();
}

void CModifyTransformFilterAction::Undo() {
  Exchange();
  SetMenuText("Redo Modify Transform Filter");
}

void CModifyTransformFilterAction::Redo() {
  Exchange();
  SetMenuText("Undo Modify Transform Filter");
}

CTransformAction::CTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : m_doc(doc), m_pRef(std::move(ref)), m_offset{LONG(m_pRef->m_nX), LONG(m_pRef->m_nY)} {
  SetMenuText("Undo Transform object");
}

void CTransformAction::Exchange() {
  const POINT current{LONG(m_pRef->m_nX), LONG(m_pRef->m_nY)};
  m_pRef->m_nX = std::int32_t(m_offset.x);
  m_pRef->m_nY = std::int32_t(m_offset.y);
  m_offset = current;
  ExchangeTransform();
  if (m_pPicture) m_pPicture->Undo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
}

void CTransformAction::Undo() { Exchange(); }

void CTransformAction::Redo() {
  Exchange();
  SetMenuText("Undo Transform object");
}

CBitmapTransformAction::CBitmapTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CTransformAction(doc, std::move(ref)) {
  const CBitmapDibFactory* f = BitmapFactoryOf(Object());
  m_dScaleX = f->ScaleX();
  m_dScaleY = f->ScaleY();
  m_dAngle = f->GetAngle();
}

void CBitmapTransformAction::ExchangeTransform() {
  CBitmapDibFactory* f = BitmapFactoryOf(Object());
  const double sx = f->ScaleX(), sy = f->ScaleY(), angle = f->GetAngle();
  f->SetParameters(m_dScaleX, m_dScaleY, m_dAngle);
  m_dScaleX = sx, m_dScaleY = sy, m_dAngle = angle;
}

CShapeTransformAction::CShapeTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref)
    : CTransformAction(doc, std::move(ref)) {
  const auto* v = VectorObjectOf(Object());
  m_dScaleX = v->ScaleX();
  m_dScaleY = v->ScaleY();
  m_dAngle = v->Angle();
}

void CShapeTransformAction::ExchangeTransform() {
  auto* v = VectorObjectOf(Object());
  const double sx = v->ScaleX(), sy = v->ScaleY(), angle = v->Angle();
  v->SetScale(m_dScaleX, m_dScaleY);
  v->SetAngle(m_dAngle);
  m_dScaleX = sx, m_dScaleY = sy, m_dAngle = angle;
}
