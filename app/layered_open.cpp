#include "app/layered_open.h"

#include <filesystem>

#include "app/loopwright_app.h"
#include "app/prompt.h"
#include "companions/imageio/psd_module.h"

bool ChooseLayersAsObjects(const std::string& path, CLoopwrightApp& app, CPromptInterface& prompt) {
  app.m_bLayersAsObjects = false;
  const int layers = TevImageIO::CLoadPsdImgModule::IsPSDFileContainMultiLayers(path);
  if (layers == 0) return false;
  if (app.Pref("ShowPSDOpenFashionTip")) {
    const std::string name = std::filesystem::path(path).filename().string();
    const bool objects = prompt.AskYesNo(name + " 有 " + std::to_string(layers) +
                                         " 个图层。是否将每个图层作为一个对象打开? (否: 作为一幅合并的图像打开)");
    app.Prefs().Set("PSDOpenFashion", objects ? 0 : 1);
  }
  app.m_bLayersAsObjects = app.Pref("PSDOpenFashion") == 0;
  return app.m_bLayersAsObjects;
}
