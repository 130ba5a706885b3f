// The sub-image chain: AppendBlock links after the last block in O(1) yet
// keeps order and back links when blocks were linked by hand or the chain
// was cleared in between; the ICO and ANI readers give long files' frames
// in file order.
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

std::unique_ptr<CTevSubImageBlock> Tagged(int tag) {
  auto b = std::make_unique<CTevSubImageBlock>();
  b->delay = WORD(tag);
  return b;
}

// The delays along the chain after the pack, checking every back link.
std::vector<int> Walk(const CTevImageInfoPack& pack) {
  std::vector<int> tags;
  const CTevSubImageBlock* before = &pack;
  for (const CTevSubImageBlock* b = pack.next; b; b = b->next) {
    EXPECT_EQ(b->prev, before);
    tags.push_back(b->delay);
    before = b;
  }
  return tags;
}

TEST(BlockChain, AppendKeepsOrderAcrossHandLinksAndResets) {
  struct Case {
    const char* name;
    int before;    // blocks appended first
    bool handLink; // one block (tag 500) linked by hand after them
    bool reset;    // the chain cleared before the rest
    int after;     // blocks appended last (tags 100...)
  };
  const Case cases[] = {
      {"plain", 5, false, false, 0},
      {"hand-linked tail", 3, true, false, 2},
      {"reset then append", 4, false, true, 3},
      {"reset of a hand-linked chain", 2, true, true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTevImageInfoPack pack;
    std::vector<int> want;
    for (int i = 0; i < c.before; ++i) {
      pack.AppendBlock(Tagged(i + 1));
      want.push_back(i + 1);
    }
    if (c.handLink) {
      CTevSubImageBlock* last = &pack;
      while (last->next) last = last->next;
      CTevSubImageBlock* raw = Tagged(500).release();
      raw->prev = last;
      last->next = raw;
      want.push_back(500);
    }
    if (c.reset) {
      pack.Reset();
      want.clear();
    }
    for (int i = 0; i < c.after; ++i) {
      pack.AppendBlock(Tagged(100 + i));
      want.push_back(100 + i);
    }
    EXPECT_EQ(Walk(pack), want);
    EXPECT_EQ(pack.BlockCount(), want.size() + 1);
  }
}

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
