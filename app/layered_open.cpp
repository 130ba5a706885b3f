#include "app/layered_open.h"

#include <filesystem>

#include "app/loopwright_app.h"
#include "app/prompt.h"
#include "companions/imageio/psd_module.h"
#include "companions/base/tr.h"

bool ChooseLayersAsObjects(const std::string& path, CLoopwrightApp& app, CPromptInterface& prompt) {
  app.m_bLayersAsObjects = false;
  const int layers = TevImageIO::CLoadPsdImgModule::IsPSDFileContainMultiLayers(path);
  if (layers == 0) return false;
  if (app.Pref("ShowPSDOpenFashionTip")) {
    const std::string name = std::filesystem::path(path).filename().string();
    const bool objects = prompt.AskYesNo(TrFormat("%s has %s layers. Open each layer as an object? (No: open them as one merged picture)",
                                                  {name, std::to_string(layers)}));
    app.Prefs().Set("PSDOpenFashion", objects ? 0 : 1);
  }
  app.m_bLayersAsObjects = app.Pref("PSDOpenFashion") == 0;
  return app.m_bLayersAsObjects;
}
