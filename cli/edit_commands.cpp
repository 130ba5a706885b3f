// Script commands on the history and the project file: save, undo, redo, undo-text.
#include <ostream>

#include "app/import_dispatch.h"
#include "cli/console_prompt.h"
#include "cli/script_runner.h"

namespace {

// A command text on one line: its line feed written as the two characters \n.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

}  // namespace

void AddEditCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  std::ostream& out = r.Out();

  r.Register("save", "save FILE", [&doc](const CScriptRunner::Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    // save always writes a project; pictures and animations are exports.
    if (UpperExtension(a[0]) != "LWP")
      return ScriptResult::Usage("save writes a project (.lwp); use export " + a[0] + " to write other files");
    if (!doc.OnSaveDocument(a[0], &ConsoleProgress()))
      return ScriptResult::Fail(FormatMessage1("保存到 %s 文件失败!", a[0]) +
                                (doc.m_strLastError.empty() ? "" : " (" + doc.m_strLastError + ")"));
    return ScriptResult::Ok();
  });

  r.Register("undo", "undo", [&doc](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    if (!doc.GetUndoCommandState().enabled || !doc.OnEditUndo()) return ScriptResult::Fail("nothing to undo");
    return ScriptResult::Ok();
  });

  r.Register("redo", "redo", [&doc](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    if (!doc.GetRedoCommandState().enabled || !doc.OnEditRedo()) return ScriptResult::Fail("nothing to redo");
    return ScriptResult::Ok();
  });

  r.Register("undo-text", "undo-text", [&doc, &out](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    out << OneLine(doc.GetUndoCommandState().text) << "\n" << OneLine(doc.GetRedoCommandState().text) << "\n";
    return ScriptResult::Ok();
  });
}
