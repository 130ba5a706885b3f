// Undoable changes to one property of one object:
//   CModifyObjectPropertiesAction<T>   name, offsets, visibility, lock, scale, rotation
//   CModifyShapeObjsRenderAction<Wrap> one render setting of several shape or text objects
//   CModifyTextContentAction           a text object's characters
//   CModifyTransformFilterAction       a picture object's resampling filter
//   CTransformAction and subclasses    the transform tool's offset and transform
//
// Each stores the value of the other side and exchanges it with the
// object's. Properties that the object's picture is built from also keep the
// picture they replaced (moved here, not copied) in a CModifyDibElm and
// exchange it too, so undo gives back exactly the old pixels and position.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/dib_factories.h"
#include "app/edit_manager.h"
#include "app/loopwright_doc.h"
#include "editing/dib_elements.h"
#include "companions/base/tr.h"

struct TagPointD {
  double x = 0, y = 0;
};
struct TagSizeD {
  double cx = 0, cy = 0;
};

// The vector object behind a shape or text object; null for other objects.
TevCustomPathLibV::CTevVectorObject* VectorObjectOf(const CDib& object);
CBitmapDibFactory* BitmapFactoryOf(const CDib& object);
CTextDibFactory* TextFactoryOf(const CDib& object);

// Builds object's picture from its generator and installs it, keeping the
// picture's centre where it was in every frame (unless keepCentre is false:
// the transform tool places the object itself). The record puts the old
// picture and positions back; null (nothing changed) when the build fails.
std::unique_ptr<CModifyDibElm> RebuildObjectPicture(CLoopwrightDoc& doc, const RefPtr<CDib>& object,
                                                    bool keepCentre = true);

template <class T>
class CModifyObjectPropertiesAction : public CEditAction {
 public:
  CModifyObjectPropertiesAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref, std::string undoText,
                                std::string redoText)
      : m_doc(doc), m_pRef(std::move(ref)), m_strUndo(std::move(undoText)), m_strRedo(std::move(redoText)) {
    SetMenuText(m_strUndo);
  }
  virtual T GetValue() const = 0;
  virtual void SetValue(const T& value) = 0;
  // Stores the current value; the creator calls it before changing it.
  void Capture() { m_value = GetValue(); }
  // Writes the stored value back (a change that could not be completed).
  void Restore() { SetValue(m_value); }
  // The picture replaced by the change, exchanged along with the value.
  void SetPictureRecord(std::unique_ptr<CModifyDibElm> record) { m_pPicture = std::move(record); }

  void Undo() override {
    Exchange();
    SetMenuText(m_strRedo);
  }
  void Redo() override {
    Exchange();
    SetMenuText(m_strUndo);
  }

 protected:
  CRefImageObject& Ref() const { return *m_pRef; }
  CDib& Object() const { return *m_pRef->m_pObject; }

 private:
  void Exchange() {
    T current = GetValue();
    SetValue(m_value);
    m_value = std::move(current);
    if (m_pPicture) m_pPicture->Undo(m_doc);
    m_doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  }
  CLoopwrightDoc& m_doc;
  RefPtr<CRefImageObject> m_pRef;
  std::string m_strUndo, m_strRedo;
  T m_value{};
  std::unique_ptr<CModifyDibElm> m_pPicture;
};

class CModifyObjectNameAction : public CModifyObjectPropertiesAction<std::string> {
 public:
  CModifyObjectNameAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  std::string GetValue() const override { return Object().m_strName; }
  void SetValue(const std::string& v) override { Object().m_strName = v; }
};

class CModifyObjectXOffsetAction : public CModifyObjectPropertiesAction<int> {
 public:
  CModifyObjectXOffsetAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  int GetValue() const override { return Ref().m_nX; }
  void SetValue(const int& v) override { Ref().m_nX = v; }
};

class CModifyObjectYOffsetAction : public CModifyObjectPropertiesAction<int> {
 public:
  CModifyObjectYOffsetAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  int GetValue() const override { return Ref().m_nY; }
  void SetValue(const int& v) override { Ref().m_nY = v; }
};

class CModifyObjectVisibleAction : public CModifyObjectPropertiesAction<int> {
 public:
  CModifyObjectVisibleAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  int GetValue() const override { return Ref().m_bVisible ? 1 : 0; }
  void SetValue(const int& v) override { Ref().m_bVisible = v != 0; }
};

class CModifyObjectLockAction : public CModifyObjectPropertiesAction<int> {
 public:
  CModifyObjectLockAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  int GetValue() const override { return Ref().m_bLocked ? 1 : 0; }
  void SetValue(const int& v) override { Ref().m_bLocked = v != 0; }
};

// Picture objects: the value lives in the object's transform record (its
// picture generator), held here with a count of its own.
template <class T>
class CTransformImageObjAction : public CModifyObjectPropertiesAction<T> {
 public:
  CTransformImageObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref, std::string undoText,
                           std::string redoText)
      : CModifyObjectPropertiesAction<T>(doc, ref, std::move(undoText), std::move(redoText)),
        m_pTransform(ref->m_pObject->m_pFactory) {}

 protected:
  CBitmapDibFactory& Transform() const { return static_cast<CBitmapDibFactory&>(*m_pTransform); }

 private:
  RefPtr<CDibFactory> m_pTransform;
};

class CScaleImageObjAction : public CTransformImageObjAction<TagPointD> {
 public:
  // ref must show a picture object (BitmapFactoryOf is not null).
  CScaleImageObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  TagPointD GetValue() const override { return {Transform().ScaleX(), Transform().ScaleY()}; }
  void SetValue(const TagPointD& v) override { Transform().SetParameters(v.x, v.y, Transform().GetAngle()); }
};

class CRotateImageObjAction : public CTransformImageObjAction<double> {
 public:
  CRotateImageObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  double GetValue() const override { return Transform().GetAngle(); }
  void SetValue(const double& v) override { Transform().SetParameters(Transform().ScaleX(), Transform().ScaleY(), v); }
};

class CScaleShapeObjAction : public CModifyObjectPropertiesAction<TagSizeD> {
 public:
  // ref must show a shape or text object (VectorObjectOf is not null).
  CScaleShapeObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  TagSizeD GetValue() const override;
  void SetValue(const TagSizeD& v) override;
};

class CScaleTextObjAction : public CModifyObjectPropertiesAction<TagPointD> {
 public:
  CScaleTextObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  TagPointD GetValue() const override;
  void SetValue(const TagPointD& v) override;
};

// Shapes and texts alike: both are vector objects with an angle.
class CRotateShapeObjAction : public CModifyObjectPropertiesAction<double> {
 public:
  CRotateShapeObjAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  double GetValue() const override;
  void SetValue(const double& v) override;
};

// Render settings of shape and text objects, each reached through a wrap:
// Value, Get(const CDib&), Set(CDib&, Value), and whether the picture is
// rebuilt from it (kRebuildsPicture) or only the shadow.
template <class TProp>
struct CModifyRefImageObjectPropWrap {
  using Value = typename TProp::Value;
  static constexpr bool kRebuildsPicture = true;
  static Value Get(const CDib& o) { return TProp::Get(VectorObjectOf(o)->RenderProps()); }
  static void Set(CDib& o, const Value& v) { TProp::Set(VectorObjectOf(o)->RenderProps(), v); }
};

#define LW_RENDER_PROP_WRAP(Name, Type, field)                                                   \
  struct Name {                                                                                  \
    using Value = Type;                                                                          \
    static Value Get(const TevCustomPathLibV::TevRenderProps& p) { return p.field; }            \
    static void Set(TevCustomPathLibV::TevRenderProps& p, const Value& v) { p.field = v; }      \
  };
LW_RENDER_PROP_WRAP(CModifyShapeObjFilledColorWrap, COLORREF, fillColour)
LW_RENDER_PROP_WRAP(CModifyShapeObjOutlineColorWrap, COLORREF, outlineColour)
LW_RENDER_PROP_WRAP(CModifyShapeObjOutlineWidthWrap, double, outlineWidth)
LW_RENDER_PROP_WRAP(CModifyShapeObjDashStyleWrap, std::int32_t, dashStyle)
LW_RENDER_PROP_WRAP(CModifyShapeObjFillInsideFlagWrap, bool, fillInside)
LW_RENDER_PROP_WRAP(CModifyShapeObjStrokeOutlineFlagWrap, bool, strokeOutline)
LW_RENDER_PROP_WRAP(CModifyShapeObjStrokenGradientColorsWrap, TevVecLib::CTevGradientColors, outlineGradient)
LW_RENDER_PROP_WRAP(CRenderTransparencyProp, BYTE, transparency)
#undef LW_RENDER_PROP_WRAP

// The fill mode goes with the fill gradient: a gradient without a mode
// would never show.
struct CFillGradientValue {
  TevVecLib::CTevGradientColors colours;
  std::int32_t mode = 0;
  friend bool operator==(const CFillGradientValue&, const CFillGradientValue&) = default;
};
struct CModifyShapeObjFilledGradientColorsWrap {
  using Value = CFillGradientValue;
  static Value Get(const TevCustomPathLibV::TevRenderProps& p) { return {p.fillGradient, p.fillMode}; }
  static void Set(TevCustomPathLibV::TevRenderProps& p, const Value& v) {
    p.fillGradient = v.colours;
    p.fillMode = v.mode;
  }
};

struct CModifyObjectTransparencyWrap : CModifyRefImageObjectPropWrap<CRenderTransparencyProp> {};

// The shadow kind, and whether the object had its shadow picture built, so
// that the exchange back leaves it exactly as it was.
struct CShadowStyle {
  std::int32_t kind = 0;
  bool built = false;
  friend bool operator==(const CShadowStyle&, const CShadowStyle&) = default;
};
struct CModifyObjectShadowStyleWrap {
  using Value = CShadowStyle;
  static constexpr bool kRebuildsPicture = false;
  static Value Get(const CDib& o) { return {o.m_nShadowKind, o.HasShadow()}; }
  static void Set(CDib& o, const Value& v) {
    o.m_nShadowKind = v.kind;
    if (v.built) {
      o.BuildShadow();
    } else {
      o.SetShadowImage(nullptr);
      o.ComputeShadowPlacement();
    }
  }
};

template <class TWrap>
class CModifyShapeObjsRenderAction : public CEditAction {
 public:
  CModifyShapeObjsRenderAction(CLoopwrightDoc& doc, std::string description)
      : m_doc(doc), m_strDescription(std::move(description)) {
    SetMenuText(TrFormat("Undo %s", {m_strDescription}));
  }
  // Keeps object's current value; returns the record's index.
  std::size_t Add(RefPtr<CDib> object) {
    CModifyObjRenderPropertiesItem item;
    item.value = TWrap::Get(*object);
    item.object = std::move(object);
    m_items.push_back(std::move(item));
    return m_items.size() - 1;
  }
  void SetPictureRecord(std::size_t index, std::unique_ptr<CModifyDibElm> record) {
    m_items[index].picture = std::move(record);
  }
  // Writes record index's stored value back (a change that failed).
  void Restore(std::size_t index) { TWrap::Set(*m_items[index].object, m_items[index].value); }
  std::size_t GetCount() const { return m_items.size(); }
  // Exchanges the first n records only: takes back a change that failed
  // part way.
  void ExchangeFirst(std::size_t n) {
    for (std::size_t i = 0; i < n && i < m_items.size(); ++i) {
      auto& item = m_items[i];
      auto current = TWrap::Get(*item.object);
      TWrap::Set(*item.object, item.value);
      item.value = std::move(current);
      if (item.picture) item.picture->Undo(m_doc);
    }
  }
  void Undo() override {
    Exchange();
    SetMenuText(TrFormat("Redo %s", {m_strDescription}));
  }
  void Redo() override {
    Exchange();
    SetMenuText(TrFormat("Undo %s", {m_strDescription}));
  }

 private:
  struct CModifyObjRenderPropertiesItem {
    RefPtr<CDib> object;
    typename TWrap::Value value{};
    std::unique_ptr<CModifyDibElm> picture;
  };
  void Exchange() {
    ExchangeFirst(m_items.size());
    m_doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  }
  CLoopwrightDoc& m_doc;
  std::string m_strDescription;
  std::vector<CModifyObjRenderPropertiesItem> m_items;
};

// A picture-rebuilding change of one generator object whose value sits in
// the object itself (text content, transform filter).
class CGeneratorValueAction : public CEditAction {
 public:
  void SetPictureRecord(std::unique_ptr<CModifyDibElm> record) { m_pPicture = std::move(record); }

 protected:
  CGeneratorValueAction(CLoopwrightDoc& doc, RefPtr<CDib> object) : m_doc(doc), m_pObject(std::move(object)) {}
  void FinishExchange();
  CLoopwrightDoc& m_doc;
  RefPtr<CDib> m_pObject;

 private:
  std::unique_ptr<CModifyDibElm> m_pPicture;
};

class CModifyTextContentAction : public CGeneratorValueAction {
 public:
  // object must be a text object (TextFactoryOf is not null).
  CModifyTextContentAction(CLoopwrightDoc& doc, RefPtr<CDib> object);
  void Restore();
  void Undo() override;
  void Redo() override;

 private:
  void Exchange();
  TevCustomPathLibV::CArrayOfTextCharacters m_text;
};

class CModifyTransformFilterAction : public CGeneratorValueAction {
 public:
  // object must be a picture object (BitmapFactoryOf is not null).
  CModifyTransformFilterAction(CLoopwrightDoc& doc, RefPtr<CDib> object);
  void Restore();
  void Undo() override;
  void Redo() override;

 private:
  void Exchange();
  std::int32_t m_nFilter;
};

// The transform tool's record: the reference's offset and, in the
// subclasses, the object's scale and angle. Only Redo writes a text, so
// after an undo the Redo command still reads "Undo Transform object".
class CTransformAction : public CEditAction {
 public:
  CTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);
  void SetPictureRecord(std::unique_ptr<CModifyDibElm> record) { m_pPicture = std::move(record); }
  void Undo() override;
  void Redo() override;

 protected:
  virtual void ExchangeTransform() {}
  CDib& Object() const { return *m_pRef->m_pObject; }

 private:
  void Exchange();
  CLoopwrightDoc& m_doc;
  RefPtr<CRefImageObject> m_pRef;
  POINT m_offset;
  std::unique_ptr<CModifyDibElm> m_pPicture;
};

class CBitmapTransformAction : public CTransformAction {
 public:
  CBitmapTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);

 protected:
  void ExchangeTransform() override;

 private:
  double m_dScaleX, m_dScaleY, m_dAngle;
};

// Shapes and texts keep scale and angle in their vector object.
class CShapeTransformAction : public CTransformAction {
 public:
  CShapeTransformAction(CLoopwrightDoc& doc, RefPtr<CRefImageObject> ref);

 protected:
  void ExchangeTransform() override;

 private:
  double m_dScaleX, m_dScaleY, m_dAngle;
};

class CTextTransformAction : public CShapeTransformAction {
 public:
  using CShapeTransformAction::CShapeTransformAction;
};
