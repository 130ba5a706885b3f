// Script commands that add the frames of files to the open animation.
#include "cli/script_runner.h"
#include "editing/add_files_action.h"

void AddImportCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();

  // Unreadable files are reported one by one; the command fails only when
  // none could be added.
  r.Register("add-files", "add-files FILE [FILE ...]", [&doc](const CScriptRunner::Args& a) {
    if (a.empty()) return ScriptResult::Usage({});
    if (AddFramesFromImageFiles(doc, a) == 0) return ScriptResult::Fail("add-files: no file could be added");
    return ScriptResult::Ok();
  });

  r.Register("add-avi", "add-avi FILE", [&doc](const CScriptRunner::Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    if (!AddFramesFromAviFile(doc, a[0])) return ScriptResult::Fail("add-avi: the file could not be added");
    return ScriptResult::Ok();
  });
}
