#include "app/loopwright_doc.h"

#include <algorithm>
#include <filesystem>

#include "app/import_dispatch.h"
#include "app/project_file.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/base/tr.h"

CLoopwrightDoc::CLoopwrightDoc(CLoopwrightApp& app, CPromptInterface& prompt) : m_app(app), m_prompt(prompt) {
  m_editManager.SetUndoMaxTimes(m_app.Pref("UndoMaxTimes"));
}

// The actions hold counts on frames and objects: drop them before the model.
CLoopwrightDoc::~CLoopwrightDoc() { m_editManager.RemoveAll(); }

void CLoopwrightDoc::DeleteContents() {
  m_editManager.RemoveAll();
  m_editManager.SetUndoMaxTimes(m_app.Pref("UndoMaxTimes"));
  Clear();
  m_selectedObjects.clear();
  m_selectedFrames.clear();
  m_nCurrentFrame = -1;
}

void CLoopwrightDoc::SelectSingleFrame(int index) {
  m_selectedFrames.clear();
  m_nCurrentFrame = GetFrame(index) ? index : -1;
  if (m_nCurrentFrame >= 0) m_selectedFrames.push_back(m_nCurrentFrame);
}

bool CLoopwrightDoc::OnNewDocument(int width, int height) {
  DeleteContents();
  ResetOutputSettings();
  // A size given explicitly is taken as it is (up to the model's limit); the
  // preferences' own range applies only to the stored values.
  const int w = width > 0 ? width : m_app.Pref("NewAnimationWidth");
  const int h = height > 0 ? height : m_app.Pref("NewAnimationHeight");
  if (w < 1 || h < 1 || w > kMaxDibDimension || h > kMaxDibDimension) return false;
  m_nWidth = w;
  m_nHeight = h;
  m_nImageColorIndex = 0;
  m_clrBackground = 0xFFFFFF;
  m_nTransparencyState = 2;
  m_bLoopForever = 1;
  m_nLoopCount = 1;
  m_strSource.clear();
  auto frame = MakeRef<CGifFrame>(std::uint16_t(m_app.Pref("DefaultDelay")));
  if (!m_app.Pref("InitTransparent")) {
    DibPtr image(CDIB32::CreateSimple32BitsDIB(w, h, COLORREF(m_app.Pref("InitColor")) & 0xFFFFFF, 255));
    if (!image) return false;
    auto object = MakeRef<CDib>(std::move(image));
    object->m_strName = m_app.NextDefaultObjectName();
    m_objects.push_back(object);
    auto ref = MakeRef<CRefImageObject>(object);
    ref->m_bVisible = true;
    frame->m_refs.push_back(ref);
  }
  m_frames.push_back(frame);
  m_strPathName.clear();
  m_nFileSize = -1;
  m_bModified = false;
  SelectSingleFrame(0);
  UpdateAllViews(HINT_FRAMES_CHANGED, GetFrame(0));
  return true;
}

bool CLoopwrightDoc::OnOpenDocument(const std::string& path, CTevCommonProgress* progress) {
  m_prompt.SetStatusCaption(TrFormat("Loading file %s", {std::filesystem::path(path).filename().string()}));
  m_app.m_bProjectLoaded = false;
  m_app.m_bLayersAsObjects = false;
  CGifImage model;
  m_strLastError.clear();
  if (!OpenAnimationFile(model, path, m_app, m_prompt, progress, &m_strLastError)) {
    m_prompt.ShowMessage(FormatMessage1(Tr("Failed to load the file %s!"), path), MessageKind::Error);
    return false;
  }
  AdoptOpenedModel(model, path);
  return true;
}

void CLoopwrightDoc::AdoptOpenedModel(CGifImage& model, const std::string& path) {
  DeleteContents();
  if (!m_app.m_bProjectLoaded) {
    for (auto& object : model.m_objects) object->m_strName = m_app.NextDefaultObjectName();
    if (!m_app.m_bLayersAsObjects) model.NormalizeObjectReferences();
  }
  TakeOver(model);
  m_editManager.RemoveAll();
  ResetOutputSettings();
  m_strPathName = path;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  m_nFileSize = ec ? -1 : static_cast<long long>(size);
  m_bModified = false;
  SelectSingleFrame(0);
  UpdateAllViews(HINT_FRAMES_CHANGED, GetFrame(0));
}

void CLoopwrightDoc::UpdateAllViews(int hint, CGifFrame* frame) {
  for (CDocObserver* o : std::vector<CDocObserver*>(m_observers)) o->OnUpdate(hint, frame);
}

void CLoopwrightDoc::AddObserver(CDocObserver* observer) {
  if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CLoopwrightDoc::RemoveObserver(CDocObserver* observer) {
  m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

bool CLoopwrightDoc::OnEditUndo() {
  if (!m_editManager.Undo()) return false;
  SetModifiedFlag();
  return true;
}

bool CLoopwrightDoc::OnEditRedo() {
  if (!m_editManager.Redo()) return false;
  SetModifiedFlag();
  return true;
}

CCommandState CLoopwrightDoc::GetUndoCommandState() const {
  const CEditAction* a = m_editManager.GetUndoTail();
  return {a ? a->GetMenuText() : std::string(Tr("Cannot undo\nCannot undo(&U)")), a != nullptr && m_app.m_nDisplayMode == 0};
}

CCommandState CLoopwrightDoc::GetRedoCommandState() const {
  const CEditAction* a = m_editManager.GetRedoTail();
  return {a ? a->GetMenuText() : std::string(Tr("Cannot redo\nCannot redo(&R)")), a != nullptr && m_app.m_nDisplayMode == 0};
}

bool CLoopwrightDoc::OnSaveDocument(const std::string& path, CTevCommonProgress* progress) {
  m_strLastError.clear();
  if (!WriteProjectFile(*this, path, progress, &m_strLastError)) {
    std::string text = FormatMessage1(Tr("Failed to save to the file %s!"), path);
    if (!m_strLastError.empty()) text += " (" + m_strLastError + ")";
    m_prompt.ShowMessage(text, MessageKind::Error);
    return false;
  }
  m_strPathName = path;
  m_bModified = false;
  return true;
}
