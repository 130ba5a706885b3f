// The sub-image chain: the ICO and ANI writers and readers keep long files'
// frames in order (AppendBlock links after the last block in O(1)).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"

using namespace TevImageIO;

namespace {

// n pictures of 1 x 1 (a different grey each) written as format and read back.
std::vector<int> RoundTrip(int format, const char* ext, int n) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("lw-chain-" + std::to_string(::getpid()) + "." + ext)).string();
  {
    CTevImageInfoPack pack;
    pack.path = path;
    pack.format = format;
    pack.width = pack.height = 1;
    for (int i = 0; i < n; ++i) {
      DibPtr d(CDIB32::CreateSimple32BitsDIB(1, 1, RGB(i % 251, 0, 0), 255));
      if (i == 0) pack.picture = std::move(d);
      else {
        auto b = std::make_unique<CTevSubImageBlock>();
        b->picture = std::move(d);
        pack.AppendBlock(std::move(b));
      }
    }
    if (SaveImage(pack, nullptr, nullptr) != IMAGEIO_OK) return {};
  }
  CTevImageInfoPack pack;
  pack.path = path;
  auto options = CTevImgImportOptions::NewImportOptions(format);
  std::vector<int> reds;
  if (LoadImageW(pack, options.get(), nullptr) == IMAGEIO_OK)
    for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
      DibPtr rgba(CDIB32::ConvertTo32BitsDIB(b->picture.get()));
      reds.push_back(rgba ? DibRow(rgba.get(), 0)[2] : -1);
    }
  std::filesystem::remove(path);
  return reds;
}

TEST(BlockChain, LongIconAndCursorFilesReadInOrder) {
  const struct {
    int format;
    const char* ext;
    int frames;
  } cases[] = {{IMAGE_FORMAT_ICO, "ico", 600}, {IMAGE_FORMAT_ANI, "ani", 600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ext);
    std::vector<int> want;
    for (int i = 0; i < c.frames; ++i) want.push_back(i % 251);
    EXPECT_EQ(RoundTrip(c.format, c.ext, c.frames), want);
  }
}

}  // namespace
