#include "generators/effect_performers.h"

#include "companions/dibkernel/dib_kernel.h"

namespace {

const CEffectParamInfo* FindParam(const std::vector<CEffectParamInfo>& infos, const std::string& name) {
  for (const auto& info : infos)
    if (name == info.name) return &info;
  return nullptr;
}

}  // namespace

bool CEffectOptionsPage::SetValue(const std::string& name, int value) {
  const auto infos = m_performer.GetParamInfo();
  const CEffectParamInfo* info = FindParam(infos, name);
  if (!info || value < info->lo || value > info->hi) return false;
  if (info->slot >= 0) m_performer.m_nParam[info->slot] = value;
  else m_performer.SetFlag(info->flag, value != 0);
  return true;
}

bool CEffectOptionsPage::GetValue(const std::string& name, int& value) const {
  const auto infos = m_performer.GetParamInfo();
  const CEffectParamInfo* info = FindParam(infos, name);
  if (!info) return false;
  value = info->slot >= 0 ? m_performer.m_nParam[info->slot] : ((m_performer.m_nFlags & info->flag) ? 1 : 0);
  return true;
}

CEffectPerform::CEffectPerform(int galleryId, int p0, int p1, int p2)
    : m_nGalleryId(galleryId), m_nParam{p0, p1, p2} {}

CEffectPerform::~CEffectPerform() = default;

int CEffectPerform::CreateOptionsPage(void*) { return 1; }

int CEffectPerform::DestroyOptionsPage() {
  m_pOptionsPage.reset();
  return 1;
}

int CEffectPerformWithOptions::CreateOptionsPage(void*) {
  if (!m_pOptionsPage) m_pOptionsPage = std::make_unique<CEffectOptionsPage>(*this);
  return 1;
}

DibPtr CEffectPerform::RenderEffectDib(BITMAPINFOHEADER*, const double&) { return nullptr; }

void CEffectPerform::AdjustPosition(const CRefImageObject&, CRefImageObject&) {}

double CEffectPerform::FrameProgress(int index, int count, bool appear) {
  if (count < 1) return appear ? 1.0 : 0.0;
  return appear ? double(index + 1) / double(count + 1) : 1.0 - double(index + 1) / double(count);
}

int CEffectPerform::FadeTransparency(int t0, int index, int count, bool appear) {
  if (count < 1) return t0;
  const int opaque = 255 - t0;
  return appear ? 255 - opaque * (index + 1) / (count + 1) : t0 + opaque * (index + 1) / count;
}

RefPtr<CRefImageObject> CEffectPerform::CopyReference(const CRefImageObject& source, RefPtr<CDib> object) {
  auto ref = MakeRef<CRefImageObject>(source);
  ref->m_pObject = std::move(object);
  return ref;
}

void CEffectPerform::ApplyFade(const CRefImageObject& source, CRefImageObject& ref, int index, int count) const {
  if (IsFading()) ref.m_nTransparency = FadeTransparency(source.m_nTransparency, index, count, IsAppear());
}

RefPtr<CRefImageObject> CEffectPerform::FinishNewObject(const CRefImageObject& source, RefPtr<CRefImageObject> ref,
                                                        int index, int count) const {
  CDib* object = ref ? ref->m_pObject.get() : nullptr;
  if (!object || !object->GetImage()) return nullptr;
  LONG l = 0, t = 0, r = 0, b = 0;
  if (!DibKernel::CheckBlankBorder(object->GetImage(), &l, &t, &r, &b)) return nullptr;
  if (l || t || r || b) {
    DibPtr trimmed(DibKernel::Trim32BitsDIB(object->GetImage(), l, t, r, b));
    if (!trimmed || !object->SetImage(std::move(trimmed))) return nullptr;
    ref->m_nX += l;
    ref->m_nY += t;
  }
  const CDib* from = source.m_pObject.get();
  if (IsObjectMode() && from && from->HasShadow()) {
    object->m_nShadowKind = from->m_nShadowKind;
    object->m_nShadowDistX = from->m_nShadowDistX;
    object->m_nShadowDistY = from->m_nShadowDistY;
    object->m_byShadowRatio = from->m_byShadowRatio;
    object->m_byShadowTransparency = from->m_byShadowTransparency;
    object->m_byShadowSoftness = from->m_byShadowSoftness;
    object->m_clrShadow = from->m_clrShadow;
    object->m_nPerspectiveAngle = from->m_nPerspectiveAngle;
    object->m_nPerspectiveLength = from->m_nPerspectiveLength;
    object->BuildShadow();
  }
  ApplyFade(source, *ref, index, count);
  return ref;
}

RefPtr<CRefImageObject> CEffectPerformWidthFixedPos::BuildFrameObject(const CRefImageObject& source, int index,
                                                                      int count) {
  BITMAPINFOHEADER* picture = source.m_pObject ? source.m_pObject->GetImage() : nullptr;
  if (!picture || count < 1 || index < 0 || index >= count) return nullptr;
  const double progress = FrameProgress(index, count, IsAppear());
  DibPtr rendered = RenderEffectDib(picture, progress);
  if (!rendered) return nullptr;
  auto object = MakeRef<CDib>(std::move(rendered));
  if (!object->GetImage()) return nullptr;
  object->m_strName = source.m_pObject->m_strName;
  auto ref = CopyReference(source, object);
  AdjustPosition(source, *ref);
  return FinishNewObject(source, ref, index, count);
}

bool IsEffectOffered(const CEffectPerform& performer, bool objectSelected, bool textSelected) {
  if ((performer.m_nFlags & EFFECT_TEXT_ONLY) && !textSelected) return false;
  if (!(performer.m_nFlags & EFFECT_OFFERED_ALWAYS) && !(performer.IsObjectMode() && objectSelected)) return false;
  return true;
}
