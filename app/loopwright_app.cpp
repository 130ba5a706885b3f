#include "app/loopwright_app.h"

#include <cstdio>

#include "app/compose.h"
#include "app/dib_factories.h"
#include "app/gif_frame.h"
#include "app/prompt.h"
#include "companions/dibkernel/dib_kernel.h"

bool CLoopwrightApp::InitInstance(const std::string& iniPath) {
  m_presetGradients = TevCustomPathLibV::BuildPresetGradientTables();
  RegisterDibFactories();
  m_bFastBlit = DibKernel::HasFastBlit();
  m_strIniPath = iniPath.empty() ? CPreferences::DefaultPath() : iniPath;
  m_prefs.Load(m_strIniPath);
  SetDefaultFrameDelay(std::uint16_t(m_prefs.Get("DefaultDelay")));
  return true;
}

int CLoopwrightApp::ExitInstance() {
  if (m_bWritePrefsOnExit && !m_strIniPath.empty()) m_prefs.Save(m_strIniPath);
  return 0;
}

std::string CLoopwrightApp::NextDefaultObjectName() {
  return "Obj - " + std::to_string(m_nObjectCounter++);
}

std::string FormatMessage1(const std::string& format, const std::string& arg) {
  std::string out;
  const auto at = format.find("%s");
  if (at == std::string::npos) return format;
  out = format.substr(0, at) + arg + format.substr(at + 2);
  return out;
}
