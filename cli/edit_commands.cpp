// Script commands on the history and the project file: save, undo, redo, undo-text.
#include <ostream>

#include "app/import_dispatch.h"
#include "cli/console_prompt.h"
#include "cli/script_runner.h"
#include "companions/base/tr.h"

namespace {

// A command text on one line, exactly as held: line feed, carriage return
// and backslash written as the escapes \n, \r and \\.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
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
      return ScriptResult::Fail(FormatMessage1(Tr("Failed to save to the file %s!"), a[0]) +
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

  // The Undo and the Redo command's text, as a terminal shows them; --raw
  // prints them as the edit manager holds them, one line each.
  r.Register("undo-text", "undo-text [--raw]", [&doc, &out](const CScriptRunner::Args& a) {
    const bool raw = a.size() == 1 && a[0] == "--raw";
    if (a.size() > (raw ? 1u : 0u)) return ScriptResult::Usage({});
    const auto show = [raw](const std::string& text) { return raw ? OneLine(text) : PlainText(text); };
    out << show(doc.GetUndoCommandState().text) << "\n" << show(doc.GetRedoCommandState().text) << "\n";
    return ScriptResult::Ok();
  });
}
