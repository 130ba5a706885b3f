// The application object: preferences, processor features and the
// process-wide counters and flags the documents share.
#pragma once

#include <string>

#include "app/preferences.h"
#include "companions/shapes/preset_gradients.h"

class CLoopwrightApp {
 public:
  CLoopwrightApp() = default;
  CLoopwrightApp(const CLoopwrightApp&) = delete;
  CLoopwrightApp& operator=(const CLoopwrightApp&) = delete;

  // Start-up steps that apply outside a window system, in order: build the
  // preset gradient tables, register the object generators, detect the
  // blit units, load the preferences from iniPath (the default path when
  // empty), hand the default frame delay to the model. Always succeeds; a
  // missing INI file means defaults.
  bool InitInstance(const std::string& iniPath = {});
  // Writes the preferences back (atomically). Returns 0.
  int ExitInstance();

  CPreferences& Prefs() { return m_prefs; }
  const CPreferences& Prefs() const { return m_prefs; }
  std::int32_t Pref(const char* key) const { return m_prefs.Get(key); }

  // "Obj - %d" with the counter, which then moves on. Never reset.
  std::string NextDefaultObjectName();
  int PeekObjectCounter() const { return m_nObjectCounter; }

  bool m_bFastBlit = false;        // vector blits usable
  bool m_bProjectLoaded = false;   // set by the project readers of versions 2000-2004
  bool m_bLayersAsObjects = false; // a layered picture was opened as objects
  bool m_bWritePrefsOnExit = true;
  int m_nDisplayMode = 0;          // main view page: 0 editing, 1-3 the other pages
  std::string m_strIniPath;
  TevCustomPathLibV::CTevPresetGradients m_presetGradients;  // shape fill presets

 private:
  CPreferences m_prefs;
  int m_nObjectCounter = 0;
};
