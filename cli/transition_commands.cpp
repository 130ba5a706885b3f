// The script command `transition EFFECT [frames=N] [delay=D] [key-delay=D]
// [mode=appear|disappear] [fade=0|1] [object=0|1] [insert=0|1]
// [option=value ...]`: generates transition frames from the current frame
// (or, with object=1, from the first selected object visible on it) with one
// of the 34 effects, named by list index or script name, as one undoable
// action. The settings default to the preferences, the options to the
// editor's defaults.
#include "cli/transition_commands.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "app/frame_render.h"
#include "cli/console_prompt.h"
#include "cli/effect_names.h"
#include "cli/suggest.h"
#include "cli/script_runner.h"
#include "generators/transition_generator.h"
#include "companions/base/tr.h"

namespace {

bool ParseBounded(const std::string& text, long long lo, long long hi, int& out) {
  long long v;
  if (!ParseInt(text, v) || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

ScriptResult RunTransition(CLoopwrightDoc& doc, const CScriptRunner::Args& a) {
  if (a.empty()) return ScriptResult::Usage({});
  int effect = -1;
  if (!ParseBounded(a[0], 0, kEffectCount - 1, effect)) effect = FindEffectByScriptName(a[0]);
  if (effect < 0 && !TransitionName(a[0]).empty()) effect = FindEffectByScriptName(TransitionName(a[0]));
  if (effect < 0)
    return ScriptResult::Usage("transition: unknown effect '" + a[0] + "'" + DidYouMean(a[0], AllEffectNames()));
  std::map<std::string, std::string> kv;
  if (!ParseKeyValues(a, 1, kv)) return ScriptResult::Usage({});

  auto performers = CreateEffectPerformers();
  CEffectPerform& perf = *performers[effect];
  CTransitionSettings settings = CTransitionSettings::FromPreferences(doc.App());
  perf.SetFlag(EFFECT_APPEAR, doc.App().Pref("EffectEnterScene") != 0);
  perf.SetFlag(EFFECT_INSERT_FRAMES, doc.App().Pref("RepeatCurrentFrame") != 0);
  perf.CreateOptionsPage(nullptr);
  for (const auto& [key, value] : kv) {
    int v = 0;
    bool ok = true;
    if (key == "frames") ok = ParseBounded(value, 1, 300, settings.frameCount);
    else if (key == "delay") ok = ParseBounded(value, 0, 32767, settings.frameDelay);
    else if (key == "key-delay") ok = ParseBounded(value, 0, 32767, settings.keyFrameDelay);
    else if (key == "mode") {
      ok = value == "appear" || value == "disappear";
      perf.SetFlag(EFFECT_APPEAR, value == "appear");
    } else if (key == "fade" || key == "object" || key == "insert") {
      ok = ParseBounded(value, 0, 1, v);
      const std::uint32_t flag = key == "fade" ? EFFECT_FADE : key == "object" ? EFFECT_OBJECT_MODE : EFFECT_INSERT_FRAMES;
      perf.SetFlag(flag, v != 0);
    } else {
      long long n;
      if (!ParseInt(value, n) || n < INT32_MIN || n > INT32_MAX || !perf.GetOptionsPage() ||
          !perf.GetOptionsPage()->SetValue(key, int(n))) {
        std::string names = "frames, delay, key-delay, mode, fade, object, insert";
        for (const CEffectParamInfo& info : perf.GetParamInfo())
          names += ", " + std::string(info.name) + " (" + std::to_string(info.lo) + "-" + std::to_string(info.hi) + ")";
        return ScriptResult::Usage("transition: " + std::string(EffectScriptName(effect)) + " has no option " + key +
                                   " that takes " + value + "; the options are " + names);
      }
    }
    if (!ok) return ScriptResult::Usage("transition: bad value for " + key + ": " + value);
  }
  perf.DestroyOptionsPage();

  switch (GenerateTransition(doc, perf, effect, settings, &ConsoleProgress())) {
    case TransitionStatus::Done: return ScriptResult::Ok();
    case TransitionStatus::NoFrame: return ScriptResult::Fail("transition: there is no current frame");
    case TransitionStatus::NoVisibleObject: return ScriptResult::Fail("transition: nothing to generate from");
    case TransitionStatus::NoSource:
      return ScriptResult::Fail("transition: no selected object is visible on the current frame");
    case TransitionStatus::BadSettings: return ScriptResult::Usage("transition: settings out of range");
    case TransitionStatus::Cancelled: return ScriptResult::Fail("transition: cancelled");
    case TransitionStatus::OutOfMemory: break;
  }
  return ScriptResult::Fail(Tr("Out of memory!"));
}

}  // namespace

void AddTransitionCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("transition",
             "transition EFFECT [frames=N] [delay=D] [key-delay=D] [mode=appear|disappear] [fade=0|1] [object=0|1] "
             "[insert=0|1] [option=value ...] (see the README for the effects and their options)",
             [&doc](const CScriptRunner::Args& a) { return RunTransition(doc, a); });
}

namespace {

// Generates with list entry effect on the current frame and writes the new
// frames [first, first + count) as transition_NN.png from number on.
bool DemoTransition(CLoopwrightDoc& doc, const std::string& outDir, int effect, bool appear, bool objectMode,
                    int& number) {
  auto performers = CreateEffectPerformers();
  CEffectPerform& perf = *performers[effect];
  perf.SetFlag(EFFECT_APPEAR, appear);
  perf.SetFlag(EFFECT_OBJECT_MODE, objectMode);
  CTransitionSettings settings = CTransitionSettings::FromPreferences(doc.App());
  settings.frameCount = 4;
  const int key = doc.m_nCurrentFrame;
  if (GenerateTransition(doc, perf, effect, settings) != TransitionStatus::Done) {
    std::fprintf(stderr, "loopwright: transition %s failed\n", EffectScriptName(effect));
    return false;
  }
  const int first = appear ? key : key + 1;
  for (int i = first; i < first + settings.frameCount; ++i) {
    DibPtr picture = RenderFrame(doc, *doc.GetFrame(i));
    char name[32];
    std::snprintf(name, sizeof name, "transition_%02d.png", number++);
    const std::string path = (std::filesystem::path(outDir) / name).string();
    std::string reason;
    if (!picture || !WritePngPicture(picture.get(), path, &reason)) {
      std::fprintf(stderr, "loopwright: %s %s\n", TrFormat("Failed to save to the file %s!", {path}).c_str(), reason.c_str());
      return false;
    }
    std::printf("wrote %s (%s, frame %d of %d)\n", path.c_str(), EffectScriptName(effect), i + 1,
                doc.GetFrameCount());
  }
  return true;
}

}  // namespace

int WriteTransitionDemo(CLoopwrightDoc& doc, const std::string& outDir) {
  if (doc.GetFrameCount() == 0) return 1;
  int number = 0;
  doc.SelectSingleFrame(0);
  if (!DemoTransition(doc, outDir, FindEffectByScriptName("iris-wipe"), true, false, number)) return 1;
  // The square (the second object) spins away after the last frame.
  doc.SelectSingleFrame(doc.GetFrameCount() - 1);
  if (doc.GetObjectCount() > 1) doc.m_selectedObjects = {doc.m_objects[1]};
  const bool objectMode = doc.GetObjectCount() > 1;
  if (!DemoTransition(doc, outDir, FindEffectByScriptName("spin-3d"), false, objectMode, number)) return 1;
  return 0;
}
