#include "editing/nudge_objects.h"

#include <algorithm>
#include <memory>

#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_refs.h"
#include "companions/base/tr.h"

namespace {
constexpr long long kMaxPosition = 1000000000;
}  // namespace

ObjectResult NudgeSelectedObjects(CLoopwrightDoc& doc, int dx, int dy) {
  CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return ObjectResult::Refused("there is no current frame");
  std::vector<RefPtr<CRefImageObject>> refs;
  for (std::size_t j = 0; j < doc.m_objects.size(); ++j) {
    if (std::find(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(), doc.m_objects[j]) ==
        doc.m_selectedObjects.end())
      continue;
    CRefImageObject* ref = RefOf(*frame, int(j));
    if (!ref || !ref->m_bVisible) continue;
    if (ref->m_bLocked) return ObjectResult::Refused(kLockedObjectsMessage);
    refs.push_back(RefPtr<CRefImageObject>(ref));
  }
  auto action = std::make_unique<CModifyObjectPropsAction<CObjectPropOffset>>(doc, Tr("Move Objects"));
  action->Reserve(refs.size());
  for (const auto& r : refs) action->Add(r);
  objcmd::Record(doc, action.release());
  for (const auto& r : refs) {
    r->m_nX = std::int32_t(std::clamp<long long>((long long)r->m_nX + dx, -kMaxPosition, kMaxPosition));
    r->m_nY = std::int32_t(std::clamp<long long>((long long)r->m_nY + dy, -kMaxPosition, kMaxPosition));
  }
  doc.UpdateAllViews(HINT_OBJECT_MOVED, frame);
  return ObjectResult::Done();
}
