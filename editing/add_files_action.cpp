#include "editing/add_files_action.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <new>

#include "app/import_dispatch.h"
#include "editing/frame_actions.h"
#include "companions/base/tr.h"

namespace {

// Reads one file as the open command does and prepares it for merging:
// imported pictures get their references normalized (a project file and a
// layered picture opened as objects arrive complete).
bool LoadFile(CLoopwrightDoc& doc, const std::string& path, CTevCommonProgress* progress, CGifImage& model) {
  CLoopwrightApp& app = doc.App();
  app.m_bProjectLoaded = false;
  app.m_bLayersAsObjects = false;
  if (!OpenAnimationFile(model, path, app, doc.Prompt(), progress) || model.m_frames.empty()) return false;
  if (!app.m_bProjectLoaded && !app.m_bLayersAsObjects) model.NormalizeObjectReferences();
  return true;
}

// Gives every frame one reference per object in object order: its own when
// it has one, else a hidden copy of the object's first reference in any
// frame (a fresh hidden one at (0, 0) when no frame shows the object).
// A frame of the document (shared with the undo snapshot) whose references
// change is replaced by a copy.
void RepairInvariant(CGifFrameArray& frames, const CRefDibsList& objects, std::size_t firstNew, std::size_t added) {
  // The first reference of each object: a frame's whole list is walked only
  // for the first frame reading a given base, later ones add their own
  // entries (the base's objects are known by then).
  std::unordered_map<const CDib*, RefPtr<CRefImageObject>> source;
  std::unordered_set<const CRefTable*> walked;
  auto note = [&](const CRefImageObject* r) {
    if (r && r->m_pObject && !source.count(r->m_pObject.get()))
      source.emplace(r->m_pObject.get(), MakeRef<CRefImageObject>(*r));
  };
  for (const auto& f : frames) {
    const CRefTable* base = f->m_refs.Base();
    if (base && walked.insert(base).second) {
      for (const CRefImageObject* r : f->m_refs) note(r);
      for (std::size_t j = 0; j < base->size(); ++j) note(base->Get(j));
    } else {
      f->m_refs.ForEachExplicit([&](std::size_t, const CRefImageObjectList::Slot& r) { note(r.get()); });
    }
  }
  std::unordered_map<const CDib*, std::size_t> place;
  for (std::size_t j = 0; j < objects.size(); ++j) place.emplace(objects[j].get(), j);
  // Hidden copies of the first references, shared by every repaired frame.
  RefPtr<CRefTable> hidden;
  CRefPlaceCheck check;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    RefPtr<CGifFrame>& frame = frames[i];
    if (ShowsObjects(frame->m_refs, objects, check)) continue;
    const bool fromDocument = i < firstNew || i >= firstNew + added;
    if (fromDocument) frame = MakeRef<CGifFrame>(*frame);
    if (!hidden) {
      std::vector<RefPtr<CRefImageObject>> refs;
      refs.reserve(objects.size());
      for (const auto& object : objects) {
        auto it = source.find(object.get());
        auto copy = it != source.end() ? MakeRef<CRefImageObject>(*it->second) : MakeRef<CRefImageObject>(object);
        copy->m_bVisible = false;
        refs.push_back(copy);
      }
      hidden = MakeRef<CRefTable>(std::move(refs));
    }
    CRefImageObjectList refs(hidden, objects.size());
    const CRefImageObjectList& old = frame->m_refs;
    for (std::size_t k = 0; k < old.size(); ++k) {
      const CRefImageObject* r = old[k];
      if (!r || !r->m_pObject) continue;
      auto at = place.find(r->m_pObject.get());
      if (at == place.end() || refs.Explicit(at->second)) continue;
      // The frame keeps its own reference (the same one, not a copy).
      const CRefImageObjectList::Slot* own = old.Explicit(k);
      refs.Set(at->second, own ? *own : MakeRef<CRefImageObject>(*r));
    }
    frame->m_refs = std::move(refs);
  }
}

}  // namespace

int AddFramesFromFiles(CLoopwrightDoc& doc, const std::vector<std::string>& paths, int kind,
                       CTevCommonProgress* progress) {
  CLoopwrightApp& app = doc.App();
  const bool projectLoaded = app.m_bProjectLoaded, layersAsObjects = app.m_bLayersAsObjects;
  const int current = doc.GetCurrentFrame() ? doc.m_nCurrentFrame : -1;
  CGifFrameArray frames;
  CRefDibsList objects;
  std::size_t added = 0;
  int files = 0;
  try {
    frames = doc.m_frames;
    objects = doc.m_objects;
    int at = current;
    for (const std::string& path : paths) {
      CGifImage model;
      if (!LoadFile(doc, path, progress, model)) {
        doc.Prompt().ShowMessage(FormatMessage1(Tr("Failed to load the file %s!"), path), MessageKind::Info);
        continue;
      }
      for (auto& object : model.m_objects) {
        object->m_strName = app.NextDefaultObjectName();
        objects.push_back(object);
      }
      for (auto& frame : model.m_frames) {
        ++at;
        if (at >= int(frames.size()))
          frames.push_back(frame);
        else
          frames.insert(frames.begin() + at, frame);
        ++added;
      }
      ++files;
    }
    if (files > 0) RepairInvariant(frames, objects, std::size_t(current + 1), added);
  } catch (const std::bad_alloc&) {
    doc.Prompt().ShowMessage(Tr("Out of memory!"), MessageKind::Error, Tr("Error"));
    files = 0;
  }
  app.m_bProjectLoaded = projectLoaded;
  app.m_bLayersAsObjects = layersAsObjects;
  if (files == 0) return 0;

  doc.EditManager().AddAction(new CUpdateFramesDIBAction(doc, kind));
  doc.SetModifiedFlag();
  doc.m_frames.swap(frames);
  doc.m_objects.swap(objects);
  // The selection keeps naming the same frames; with no current frame the
  // first added one becomes current.
  const int shift = int(added);
  for (int& i : doc.m_selectedFrames)
    if (i > current) i += shift;
  if (current < 0) doc.SelectSingleFrame(0);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return files;
}
