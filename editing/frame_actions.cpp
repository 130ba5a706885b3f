#include "editing/frame_actions.h"

#include <algorithm>

#include "companions/base/tr.h"

namespace {

const char* const kFramesDibTexts[40][2] = {
    {"Undo Add banner text", "Redo Add banner text"},
    {"Undo Fade", "Redo Fade"},
    {"Undo Move Slider", "Redo Move Slider"},
    {"Undo Gate-3D", "Redo Gate-3D"},
    {"Undo Random Wipe", "Redo Random Wipe"},
    {"Undo Clock Wipe", "Redo Clock Wipe"},
    {"Undo Star Wipe", "Redo Star Wipe"},
    {"Undo Solenoid-Wipe", "Redo Solenoid-Wipe"},
    {"Undo Mosaic", "Redo Mosaic"},
    {"Undo Direction-Sense-Mosaic", "Redo Direction-Sense-Mosaic"},
    {"Undo Spin3D", "Redo Spin"},
    {"Undo Progressive-Film", "Redo Progressive-Film"},
    {"Undo Iris Wipe", "Redo Iris Wipe"},
    {"Undo Bars Slide", "Redo Bars Slide"},
    {"&Undo Multi-Bar-Slide", "Redo Multi-Bar-Slide"},
    {"Undo Smooth-Slide", "Redo Smooth-Slide"},
    {"Undo Smooth-Spread", "Redo Smooth-Spread"},
    {"Undo Narrow Bars", "Redo Narrow Bars"},
    {"Undo Lines Wipe", "Redo Lines Wipe"},
    {"Undo Arcs Wipe", "Redo Arcs Wipe"},
    {"Undo Circles Wipe", "Redo Circles Wipe"},
    {"Undo Diamonds Wipe", "Redo Diamonds Wipe"},
    {"Undo Thawing", "Redo Thawing"},
    {"Undo Side Roll", "Redo Side Roll"},
    {"Undo Row Spread", "Redo Row Spread"},
    {"Undo Diamonds", "Redo Diamonds"},
    {"Undo Ripple", "Redo Ripple"},
    {"Undo Rotate", "Redo Rotate"},
    {"Undo Eye Open", "Redo Eye Open"},
    {"Undo Zoom", "Redo Zoom"},
    {"Undo Quaters Slider", "Redo Quaters Slider"},
    {"Undo Turn Page", "Redo Turn Page"},
    {"Undo Wave", "Redo Wave"},
    {"Undo Light", "Redo Light"},
    {"Undo Rotate 3D", "Redo Rotate 3D"},
    {"Undo Sweep Wipe", "Redo Sweep Wipe"},
    {"Undo Add image flie(s)", "Redo Add image flie(s)"},
    {"Undo Add AVI file", "Redo Add AVI file"},
    {"Undo Blinds", "Redo Blinds"},
    {"Undo Rotate Rectangle", "Redo Rotate Rectangle"},
};

const char* const kModifyFramesTexts[3][2] = {
    {"Undo Add Frame", "Redo Add Frame"},
    {"Undo Delete Frame", "Redo Delete Frame"},
    {"Undo Duplicate Frame", "Redo Duplicate Frame"},
};

const char* const kChangeOrderTexts[4][2] = {
    {"Undo Move To First Frame", "Redo Move To First Frame"},
    {"Undo Move To Last Frame", "Redo Move To Last Frame"},
    {"Undo Move To Previous Frame", "Redo Move To Previous Frame"},
    {"Undo Move To Next Frame", "Redo Move To Next Frame"},
};

template <std::size_t N>
std::string TextOf(const char* const (&table)[N][2], int kind, bool redo) {
  return kind >= 0 && kind < int(N) ? table[kind][redo ? 1 : 0] : std::string();
}

}  // namespace

CFrameActionBase::CFrameActionBase(CLoopwrightDoc& doc, std::string undoText, std::string redoText)
    : m_doc(doc), m_strUndo(std::move(undoText)), m_strRedo(std::move(redoText)) {
  SetMenuText(m_strUndo);
}

void CFrameActionBase::Undo() {
  Exchange();
  Notify();
  if (!m_strRedo.empty()) SetMenuText(m_strRedo);
}

void CFrameActionBase::Redo() {
  Exchange();
  Notify();
  if (!m_strUndo.empty()) SetMenuText(m_strUndo);
}

void CFrameActionBase::Notify() { m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame()); }

CModifyFramesAction::CModifyFramesAction(CLoopwrightDoc& doc, int kind)
    : CFrameActionBase(doc, TextOf(kModifyFramesTexts, kind, false), TextOf(kModifyFramesTexts, kind, true)),
      m_frames(doc.m_frames),
      m_selection(CFrameSelection::Of(doc)) {}

void CModifyFramesAction::Exchange() {
  std::swap(m_frames, m_doc.m_frames);
  m_selection.Exchange(m_doc);
}

void CModifyFramesAction::Notify() {
  const int last = m_doc.m_selectedFrames.empty() ? m_doc.m_nCurrentFrame : m_doc.m_selectedFrames.back();
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetFrame(last));
}

CReverseOrderOfFramesAction::CReverseOrderOfFramesAction(CLoopwrightDoc& doc, bool selectedOnly)
    : CFrameActionBase(doc, "Undo Reverse Order", "Redo Reverse Order"), m_bSelectedOnly(selectedOnly) {
  if (selectedOnly) {
    for (int i : doc.m_selectedFrames)
      if (i >= 0 && i < doc.GetFrameCount()) m_positions.push_back(i);
    std::sort(m_positions.begin(), m_positions.end());
    m_positions.erase(std::unique(m_positions.begin(), m_positions.end()), m_positions.end());
  }
}

void CReverseOrderOfFramesAction::Exchange() {
  auto& frames = m_doc.m_frames;
  if (!m_bSelectedOnly) {
    std::reverse(frames.begin(), frames.end());
    return;
  }
  // Two indexes walk towards each other over the selected positions only.
  std::size_t lo = 0, hi = m_positions.size();
  while (lo + 1 < hi) {
    --hi;
    if (std::size_t(m_positions[hi]) < frames.size()) frames[std::size_t(m_positions[lo])].swap(frames[std::size_t(m_positions[hi])]);
    ++lo;
  }
}

CChangeOrderOfFramesAction::CChangeOrderOfFramesAction(CLoopwrightDoc& doc, int kind)
    : CFrameActionBase(doc, TextOf(kChangeOrderTexts, kind, false), TextOf(kChangeOrderTexts, kind, true)),
      m_frames(doc.m_frames),
      m_selection(CFrameSelection::Of(doc)) {}

void CChangeOrderOfFramesAction::Exchange() {
  std::swap(m_frames, m_doc.m_frames);
  m_selection.Exchange(m_doc);
}

CEditFrameDelayAction::CEditFrameDelayAction(CLoopwrightDoc& doc)
    : CFrameActionBase(doc, "&Undo Make Same Delay", "&Redo Make Same Delay") {}

void CEditFrameDelayAction::Exchange() {
  for (auto& [frame, delay] : m_items) std::swap(frame->m_nDelay, delay);
}

CModifyAnimationLoopTimesAction::CModifyAnimationLoopTimesAction(CLoopwrightDoc& doc, const std::string& description,
                                                                 int loopForever, int count)
    : CFrameActionBase(doc, TrFormat("Undo %s", {description}), TrFormat("Redo %s", {description})),
      m_nLoopForever(loopForever),
      m_nLoopCount(count) {}

void CModifyAnimationLoopTimesAction::Exchange() {
  std::swap(m_nLoopForever, m_doc.m_bLoopForever);
  std::swap(m_nLoopCount, m_doc.m_nLoopCount);
}

CUpdateCanvasSizeAction::CUpdateCanvasSizeAction(CLoopwrightDoc& doc)
    : CUpdateCanvasSizeAction(doc, "Undo Resize canvas", Tr("Redo Resize canvas")) {}

CUpdateCanvasSizeAction::CUpdateCanvasSizeAction(CLoopwrightDoc& doc, std::string undoText, std::string redoText)
    : CFrameActionBase(doc, std::move(undoText), std::move(redoText)), m_nWidth(doc.m_nWidth), m_nHeight(doc.m_nHeight) {}

void CUpdateCanvasSizeAction::Exchange() {
  std::swap(m_nWidth, m_doc.m_nWidth);
  std::swap(m_nHeight, m_doc.m_nHeight);
  for (auto& item : m_offsets) {
    std::swap(item.offset.x, item.ref->m_nX);
    std::swap(item.offset.y, item.ref->m_nY);
  }
  for (auto& [frame, base] : m_bases) base = frame->m_refs.ExchangeBase(std::move(base));
}

void CUpdateCanvasSizeAction::MoveAllRefs(const std::function<void(CRefImageObject&)>& fn) {
  CRefTableMemo memo;
  for (const auto& frame : m_doc.m_frames) {
    CRefImageObjectList& refs = frame->m_refs;
    refs.ForEachExplicit([&](std::size_t, const CRefImageObjectList::Slot& ref) {
      if (!ref) return;
      AddOffset(ref);
      fn(*ref);
    });
    if (RefPtr<CRefTable> moved = refs.TransformedBase(fn, memo))
      m_bases.emplace_back(frame, refs.ExchangeBase(std::move(moved)));
  }
}

CUpdateAnimationSizeAction::CUpdateAnimationSizeAction(CLoopwrightDoc& doc)
    : CUpdateCanvasSizeAction(doc, Tr("Undo Resize Animation"), Tr("Redo Resize Animation")) {}

void CUpdateAnimationSizeAction::Undo() {
  for (auto& e : m_elements) e->Undo(m_doc);
  CFrameActionBase::Undo();
}

void CUpdateAnimationSizeAction::Redo() {
  for (auto& e : m_elements) e->Redo(m_doc);
  CFrameActionBase::Redo();
}

std::string FramesDibActionText(int kind, bool redo) { return TextOf(kFramesDibTexts, kind, redo); }

CUpdateFramesDIBAction::CUpdateFramesDIBAction(CLoopwrightDoc& doc, int kind)
    : CFrameActionBase(doc, FramesDibActionText(kind, false), FramesDibActionText(kind, true)),
      m_nKind(kind),
      m_frames(doc.m_frames),
      m_objects(doc.m_objects),
      m_selectedObjects(doc.m_selectedObjects),
      m_selection(CFrameSelection::Of(doc)) {
  m_refLists.reserve(doc.m_frames.size());
  for (const auto& frame : doc.m_frames) m_refLists.emplace_back(frame, frame->m_refs);
}

void CUpdateFramesDIBAction::Exchange() {
  for (auto& [frame, refs] : m_refLists) std::swap(frame->m_refs, refs);
  std::swap(m_frames, m_doc.m_frames);
  std::swap(m_objects, m_doc.m_objects);
  std::swap(m_selectedObjects, m_doc.m_selectedObjects);
  m_selection.Exchange(m_doc);
}

CBuldingFramesDIBAction::CBuldingFramesDIBAction(CLoopwrightDoc& doc, int kind, RefPtr<CGifFrame> frame,
                                                 std::uint16_t delay)
    : CUpdateFramesDIBAction(doc, kind), m_pFrame(std::move(frame)), m_nDelay(delay) {}

void CBuldingFramesDIBAction::Exchange() {
  if (m_pFrame) std::swap(m_nDelay, m_pFrame->m_nDelay);
  CUpdateFramesDIBAction::Exchange();
}
