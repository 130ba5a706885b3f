// Script commands on frames and on the animation as a whole; each records
// one undoable action (or nothing, when nothing would change).
#include <map>

#include "cli/script_runner.h"
#include "editing/frame_commands.h"
#include "companions/base/tr.h"

namespace {

// Commands that change nothing succeed quietly: the GUI records nothing then.
ScriptResult Done(bool) { return ScriptResult::Ok(); }

bool ParseRange(const std::string& text, long long lo, long long hi, long long& v) {
  return ParseInt(text, v) && v >= lo && v <= hi;
}

}  // namespace

void AddFrameCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();

  r.Register("add-frame", "add-frame", [&doc](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    return Done(AddBlankFrame(doc));
  });

  r.Register("delete-frames", "delete-frames", [&doc](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    if (doc.m_selectedFrames.empty()) return ScriptResult::Fail("delete-frames: no frame is selected");
    return Done(DeleteSelectedFrames(doc));
  });

  r.Register("duplicate-frames", "duplicate-frames", [&doc](const CScriptRunner::Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    if (doc.m_selectedFrames.empty()) return ScriptResult::Fail("duplicate-frames: no frame is selected");
    if (!DuplicateSelectedFrames(doc)) return ScriptResult::Fail(Tr("Out of memory!"));
    return ScriptResult::Ok();
  });

  r.Register("reverse", "reverse [selected]", [&doc](const CScriptRunner::Args& a) {
    if (a.size() > 1 || (a.size() == 1 && a[0] != "selected")) return ScriptResult::Usage({});
    return Done(ReverseFrames(doc, a.size() == 1));
  });

  r.Register("move-frames", "move-frames first|last|previous|next", [&doc](const CScriptRunner::Args& a) {
    static const std::map<std::string, int> kinds = {{"first", 0}, {"last", 1}, {"previous", 2}, {"next", 3}};
    if (a.size() != 1 || !kinds.count(a[0])) return ScriptResult::Usage({});
    return Done(MoveSelectedFrames(doc, kinds.at(a[0])));
  });

  r.Register("same-delay", "same-delay D [all]", [&doc](const CScriptRunner::Args& a) {
    long long d;
    if (a.empty() || a.size() > 2 || !ParseRange(a[0], 0, 32767, d) || (a.size() == 2 && a[1] != "all"))
      return ScriptResult::Usage({});
    return Done(MakeSameDelay(doc, std::uint16_t(d), a.size() == 2));
  });

  r.Register("frame-props", "frame-props delay=D interlaced=0|1", [&doc](const CScriptRunner::Args& a) {
    std::map<std::string, std::string> kv;
    if (!ParseKeyValues(a, 0, kv)) return ScriptResult::Usage({});
    CGifFrame* current = doc.GetCurrentFrame();
    if (!current) return ScriptResult::Fail("frame-props: no frame is selected");
    long long delay = current->m_nDelay, interlaced = current->IsInterlaced() ? 1 : 0;
    for (const auto& [key, value] : kv) {
      if (key == "delay" && ParseRange(value, 0, 32767, delay)) continue;
      if (key == "interlaced" && ParseRange(value, 0, 1, interlaced)) continue;
      return ScriptResult::Usage({});
    }
    return Done(ModifyFrameProperties(doc, int(delay), interlaced != 0));
  });

  r.Register("loop", "loop forever|once|N", [&doc](const CScriptRunner::Args& a) {
    long long n;
    if (a.size() != 1) return ScriptResult::Usage({});
    if (a[0] == "forever") return Done(SetLoopTimes(doc, 1, doc.m_nLoopCount));
    if (a[0] == "once") return Done(SetLoopTimes(doc, 0, 1));
    if (!ParseRange(a[0], 1, 65535, n)) return ScriptResult::Usage({});
    return Done(SetLoopTimes(doc, 0, int(n)));
  });

  r.Register("canvas-size", "canvas-size W H [DX DY]", [&doc](const CScriptRunner::Args& a) {
    long long w, h, dx = 0, dy = 0;
    if ((a.size() != 2 && a.size() != 4) || !ParseRange(a[0], 1, kMaxDibDimension, w) ||
        !ParseRange(a[1], 1, kMaxDibDimension, h))
      return ScriptResult::Usage({});
    if (a.size() == 4 && (!ParseRange(a[2], -kMaxDibDimension, kMaxDibDimension, dx) ||
                          !ParseRange(a[3], -kMaxDibDimension, kMaxDibDimension, dy)))
      return ScriptResult::Usage({});
    return Done(ResizeCanvas(doc, int(w), int(h), int(dx), int(dy)));
  });

  r.Register("resize", "resize W H", [&doc](const CScriptRunner::Args& a) {
    long long w, h;
    if (a.size() != 2 || !ParseRange(a[0], 1, kMaxDibDimension, w) || !ParseRange(a[1], 1, kMaxDibDimension, h))
      return ScriptResult::Usage({});
    if (doc.m_nWidth < 1 || doc.m_nHeight < 1) return ScriptResult::Fail("resize: the animation has no canvas");
    if (!ResizeAnimation(doc, int(w), int(h)) && (w != doc.m_nWidth || h != doc.m_nHeight))
      return ScriptResult::Fail("resize: out of memory");
    return ScriptResult::Ok();
  });
}
