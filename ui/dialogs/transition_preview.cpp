#include "ui/dialogs/transition_preview.h"

#include <algorithm>
#include <cmath>

#include "app/frame_render.h"
#include "generators/transition_generator.h"
#include "ui/dib_image.h"

namespace {

// Pictures per loop: the performer renders picture i of this many, so
// progress p shows the picture nearest to it.
constexpr int kPreviewSteps = 100;

}  // namespace

void CTransitionPreview::SetPerformer(CEffectPerform* performer) {
  m_performer = performer;
  m_source.reset();
  m_sourceIndex = -1;
  if (!performer) return;
  const bool objectMode = performer->IsObjectMode();
  m_source = BuildTransitionSource(m_doc, objectMode);
  if (objectMode && m_source) {
    const CGifFrame* frame = m_doc.GetCurrentFrame();
    for (int j = 0; frame && j < int(frame->m_refs.size()); ++j)
      if (frame->m_refs[std::size_t(j)] == m_source.get()) m_sourceIndex = j;
  }
}

void CTransitionPreview::Advance(int ms) {
  double p = m_progress + double(ms) / kLoopMs;
  p -= std::floor(p);
  m_progress = p;
}

void CTransitionPreview::SetProgress(double progress) { m_progress = std::clamp(progress, 0.0, 1.0); }

QImage CTransitionPreview::Picture() const {
  const CGifFrame* current = m_doc.GetCurrentFrame();
  if (!m_performer || !m_source || !current) return {};
  const int index = std::clamp(int(m_progress * kPreviewSteps), 0, kPreviewSteps - 1);
  RefPtr<CRefImageObject> picture = m_performer->BuildFrameObject(*m_source, index, kPreviewSteps);
  // Frame mode shows the picture alone (the new frames hide everything
  // else); object mode shows it in place of the source on the current frame.
  auto frame = MakeRef<CGifFrame>(std::uint16_t(0));
  if (m_performer->IsObjectMode()) {
    frame = MakeRef<CGifFrame>(*current);
    if (m_sourceIndex >= 0) frame->m_refs.Edit(std::size_t(m_sourceIndex))->m_bVisible = false;
  }
  if (picture) frame->m_refs.push_back(picture);
  return ComposedFrameImage(m_doc, *frame);
}
