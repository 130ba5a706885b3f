// Script commands on the document as a whole: new, open, selection, info, render.
#include <algorithm>
#include <ostream>

#include "app/frame_render.h"
#include "cli/console_prompt.h"
#include "cli/model_json.h"
#include "cli/script_runner.h"
#include "companions/base/tr.h"

namespace {

ScriptResult RenderTo(CLoopwrightDoc& doc, const std::string& out, long long index) {
  CGifFrame* frame = doc.GetFrame(int(index));
  if (!frame) return ScriptResult::Fail("no frame " + std::to_string(index));
  DibPtr picture = RenderFrame(doc, *frame);
  if (!picture) return ScriptResult::Fail("the frame could not be composed");
  std::string reason;
  if (!WritePngPicture(picture.get(), out, &reason))
    return ScriptResult::Fail(FormatMessage1(Tr("Failed to save to the file %s!"), out) + (reason.empty() ? "" : " (" + reason + ")"));
  return ScriptResult::Ok();
}

}  // namespace

void AddDocumentCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  std::ostream& out = r.Out();

  r.Register("new", "new [W H]", [&doc](const CScriptRunner::Args& a) {
    long long w = 0, h = 0;
    if (a.size() == 2) {
      if (!ParseInt(a[0], w) || !ParseInt(a[1], h) || w < 1 || h < 1 || w > kMaxDibDimension || h > kMaxDibDimension)
        return ScriptResult::Usage("new: width and height must be 1 to " + std::to_string(kMaxDibDimension));
    } else if (!a.empty()) {
      return ScriptResult::Usage({});
    }
    if (!doc.OnNewDocument(int(w), int(h))) return ScriptResult::Fail("new: out of memory");
    return ScriptResult::Ok();
  });

  r.Register("open", "open FILE", [&doc](const CScriptRunner::Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    if (!doc.OnOpenDocument(a[0], &ConsoleProgress()))
      return ScriptResult::Fail(FormatMessage1(Tr("Failed to load the file %s!"), a[0]) +
                                (doc.m_strLastError.empty() ? "" : " (" + doc.m_strLastError + ")"));
    return ScriptResult::Ok();
  });

  r.Register("current-frame", "current-frame I", [&doc](const CScriptRunner::Args& a) {
    long long i;
    if (a.size() != 1 || !ParseInt(a[0], i)) return ScriptResult::Usage({});
    if (!doc.GetFrame(int(i))) return ScriptResult::Fail("no frame " + a[0]);
    doc.m_nCurrentFrame = int(i);
    if (std::find(doc.m_selectedFrames.begin(), doc.m_selectedFrames.end(), int(i)) == doc.m_selectedFrames.end())
      doc.m_selectedFrames.push_back(int(i));
    return ScriptResult::Ok();
  });

  r.Register("select-frames", "select-frames I,J,...", [&doc](const CScriptRunner::Args& a) {
    std::vector<int> list;
    if (a.size() != 1 || !ParseIndexList(a[0], list)) return ScriptResult::Usage({});
    for (int i : list)
      if (!doc.GetFrame(i)) return ScriptResult::Fail("no frame " + std::to_string(i));
    std::vector<int> unique;
    for (int i : list)
      if (std::find(unique.begin(), unique.end(), i) == unique.end()) unique.push_back(i);
    doc.m_selectedFrames = unique;
    doc.m_nCurrentFrame = unique.front();
    return ScriptResult::Ok();
  });

  r.Register("select-objects", "select-objects all|I,J,...", [&doc](const CScriptRunner::Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    doc.m_selectedObjects.clear();
    if (a[0] == "all") {
      doc.m_selectedObjects = doc.m_objects;
      return ScriptResult::Ok();
    }
    std::vector<int> list;
    if (!ParseIndexList(a[0], list)) return ScriptResult::Usage({});
    for (int i : list) {
      if (i >= doc.GetObjectCount()) return ScriptResult::Fail("no object " + std::to_string(i));
      const auto& o = doc.m_objects[std::size_t(i)];
      if (std::find(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(), o) == doc.m_selectedObjects.end())
        doc.m_selectedObjects.push_back(o);
    }
    return ScriptResult::Ok();
  });

  r.Register("info", "info", [&doc, &out](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    out << ModelToJson(doc).dump() << "\n";
    return ScriptResult::Ok();
  });

  r.Register("render", "render OUT.png [N]", [&doc](const CScriptRunner::Args& a) {
    long long n = 0;
    if (a.empty() || a.size() > 2 || (a.size() == 2 && !ParseInt(a[1], n))) return ScriptResult::Usage({});
    return RenderTo(doc, a[0], n);
  });
}
