// Questions about layered PSD pictures asked before they are loaded.
#pragma once

#include <string>

namespace TevImageIO {

class CLoadPsdImgModule {
 public:
  // The number of pixel layers (positive width and height) when the file at
  // path has two or more of them; 0 otherwise, also for unreadable files.
  static int IsPSDFileContainMultiLayers(const std::string& path);
};

}  // namespace TevImageIO
