// Filter actions and the command that records them.
#include "editing/filter_actions.h"

#include <algorithm>
#include <cstring>

#include "companions/dibkernel/dib_kernel.h"
#include "imaging/obj_image.h"
#include "imaging/obj_selection.h"

namespace {

const char* const kKindNames[] = {"Negative",          "Gray",          "Mirror horizontally", "Mirror vertically",
                                  "Adjust Brightness", "Adjust Contrast", "Adjust red/green/blue",
                                  "Adjust Hue/Saturation", "Blur",     "Gaussian Blur",       "Sharpness",
                                  "Emboss",            "Sunspot"};
constexpr int kKindCount = int(sizeof kKindNames / sizeof kKindNames[0]);

bool SamePixels(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  return DibTotalBytes(a) == DibTotalBytes(b) && std::memcmp(a, b, DibTotalBytes(a)) == 0;
}

}  // namespace

std::string CUpdateDibsAction::KindText(int kind, bool redo) {
  if (kind < 0 || kind >= kKindCount) return {};
  return std::string(redo ? "Redo " : "Undo ") + kKindNames[kind];
}

CUpdateDibsAction::CUpdateDibsAction(CLoopwrightDoc& doc, int kind)
    : m_doc(doc), m_nKind(kind), m_strUndo(KindText(kind, false)), m_strRedo(KindText(kind, true)) {
  if (!m_strUndo.empty()) SetMenuText(m_strUndo);
}

void CUpdateDibsAction::SetTexts(std::string undoText, std::string redoText) {
  m_strUndo = std::move(undoText);
  m_strRedo = std::move(redoText);
  SetMenuText(m_strUndo);
}

void CUpdateDibsAction::Refresh() { m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame()); }

void CUpdateDibsAction::Undo() {
  for (auto& element : m_elements) element->Undo(m_doc);
  Refresh();
  if (!m_strRedo.empty()) SetMenuText(m_strRedo);
}

void CUpdateDibsAction::Redo() {
  for (auto& element : m_elements) element->Redo(m_doc);
  Refresh();
  if (!m_strUndo.empty()) SetMenuText(m_strUndo);
}

namespace {

using TevImageTransform::CTevObjSelection;

int BytesOfPixel(const TevImageTransform::CTevObjImage& image) { return image.ColorBits() / 8; }

// Pixels of image at canvas offset (dx, dy) that the selection leaves out
// get their bytes back from original: a process that reads or writes
// across the picture (a mirror swaps with the far side) never changes
// anything outside the selection.
void RestoreUnselected(TevImageTransform::CTevObjImage& image, const BITMAPINFOHEADER* original,
                       const CTevObjSelection& selection, LONG dx, LONG dy) {
  TevImageTransform::CTevObjImage before;
  if (!before.Attach(const_cast<BITMAPINFOHEADER*>(original))) return;
  const int bpp = BytesOfPixel(image);
  if (bpp < 1 || before.Width() != image.Width() || before.Height() != image.Height() ||
      before.ColorBits() != image.ColorBits()) {
    before.Detch();
    return;
  }
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (selection.GetPosLevel(int(dx + x), int(dy + y)) == 0)
        std::memcpy(image.GetBits(x, y), before.GetBits(x, y), std::size_t(bpp));
  before.Detch();
}

// A mirror inside a selection turns the selected block over (its bounding
// box within the picture), then keeps the result where the mask selects.
int MirrorInSelection(TevImageTransform::CTevInterfacePixelProcess& process, TevImageTransform::CTevObjImage& image,
                      const CTevObjSelection& selection, LONG dx, LONG dy, CTevCommonProgress* progress) {
  const RECT s = selection.GetRect();
  RECT box{s.left - dx, s.top - dy, s.right - dx, s.bottom - dy};
  image.BoundRect(box);
  if (box.left >= box.right || box.top >= box.bottom || BytesOfPixel(image) < 1) return 0;
  TevImageTransform::CTevObjImage block;
  if (!image.GetSubBlock(&block, box) || !block.SinglePixelProcessProc(process, progress)) return 0;
  if (block.Width() != box.right - box.left || block.Height() != box.bottom - box.top) return 0;
  const int bpp = BytesOfPixel(image);
  for (LONG y = box.top; y < box.bottom; ++y)
    for (LONG x = box.left; x < box.right; ++x) {
      const int level = selection.GetPosLevel(int(dx + x), int(dy + y));
      if (level == 0) continue;
      BYTE* p = image.GetBits(int(x), int(y));
      const BYTE* q = block.GetBits(int(x - box.left), int(y - box.top));
      for (int c = 0; c < bpp; ++c) p[c] = bpp == 4 ? BYTE((q[c] * level + p[c] * (255 - level) + 127) / 255) : q[c];
    }
  return 1;
}

}  // namespace

DibPtr FilteredPicture(const CRefImageObject& ref, int kind, TevImageTransform::CTevInterfacePixelProcess& process,
                       CTevCommonProgress* progress, const TevImageTransform::CTevObjSelection* selection) {
  using TevImageTransform::CTevObjImage;
  const CDib* object = ref.m_pObject.get();
  if (!object || !object->GetImage()) return nullptr;
  DibPtr work(CBitmapCreator::Clone(object->GetImage()));
  CTevObjImage image;
  if (!work || !image.Attach(work.get())) return nullptr;
  int result;
  if (selection && !selection->IsSelectionEmpty()) {
    const POINT pos = selection->GetSelectionPos();
    const POINT at{LONG(std::int64_t(pos.x) - ref.m_nX), LONG(std::int64_t(pos.y) - ref.m_nY)};
    if (kind == CUpdateDibsAction::MIRROR_HORIZONTALLY || kind == CUpdateDibsAction::MIRROR_VERTICALLY)
      result = MirrorInSelection(process, image, *selection, ref.m_nX, ref.m_nY, progress);
    else
      result = selection->SinglePixelProcessProc(process, image, at, progress);
    if (result && image.IsValidImage())
      RestoreUnselected(image, object->GetImage(), *selection, ref.m_nX, ref.m_nY);
  } else {
    result = image.SinglePixelProcessProc(process, progress);
  }
  if (!result || !image.IsValidImage()) return nullptr;
  // A process that re-created the picture hands over its own DIB.
  BITMAPINFOHEADER* out = image.Detch();
  return out == work.get() ? std::move(work) : DibPtr(out);
}

int ApplyFilterToSelectedObjects(CLoopwrightDoc& doc, int kind, TevImageTransform::CTevInterfacePixelProcess& process,
                                 CTevCommonProgress* progress, const std::string& label,
                                 const TevImageTransform::CTevObjSelection* selection) {
  CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return 0;
  auto action = std::make_unique<CUpdateDibsAction>(doc, kind);
  if (CUpdateDibsAction::KindText(kind, false).empty() && !label.empty())
    action->SetTexts("Undo " + label, "Redo " + label);
  std::vector<CDib*> done;
  for (const auto& ref : frame->m_refs) {
    CDib* object = ref->m_pObject.get();
    if (!object || !object->GetImage()) continue;
    const bool selected = std::any_of(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(),
                                      [&](const RefPtr<CDib>& o) { return o.get() == object; });
    if (!selected || std::find(done.begin(), done.end(), object) != done.end()) continue;
    done.push_back(object);
    DibPtr changed = FilteredPicture(*ref, kind, process, progress, selection);
    if (!changed) continue;
    if (SamePixels(changed.get(), object->GetImage())) continue;
    DibPtr previous = ExchangeObjectImage(*object, std::move(changed));
    if (!previous) continue;
    action->AddElement(std::make_unique<CModifyDibElm>(RefPtr<CDib>(object), std::move(previous)));
  }
  const int count = int(action->GetCount());
  if (count == 0) return 0;
  doc.EditManager().AddAction(action.release());
  doc.SetModifiedFlag();
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, frame);
  return count;
}
