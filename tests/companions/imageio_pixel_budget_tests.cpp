// The readers' pixel budget: a picture of exactly the budget loads, one pixel
// over is refused as too large before it is decoded, and a metafile is drawn
// scaled down to fit with its proportions kept.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "companions/imageio/tev_image_io.h"

using namespace TevImageIO;

namespace {

class PixelBudget : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lw-budget-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  int Load(CTevImageInfoPack& pack, const std::string& path, int format, std::uint64_t maxPixels) {
    pack.path = path;
    auto options = CTevImgImportOptions::NewImportOptions(format);
    options->maxPixels = maxPixels;
    return LoadImageW(pack, options.get(), nullptr);
  }

 private:
  std::filesystem::path dir_;
};

TEST_F(PixelBudget, PicturesOverTheBudgetAreRefusedBeforeDecoding) {
  constexpr LONG kW = 64, kH = 32;
  const struct {
    int format;
    const char* name;
    int bits;
  } kFormats[] = {
      {IMAGE_FORMAT_GIF, "p.gif", 8},  {IMAGE_FORMAT_PNG, "p.png", 32}, {IMAGE_FORMAT_JPEG, "p.jpg", 32},
      {IMAGE_FORMAT_TIFF, "p.tif", 32}, {IMAGE_FORMAT_PSD, "p.psd", 32}, {IMAGE_FORMAT_TGA, "p.tga", 32},
      {IMAGE_FORMAT_PCX, "p.pcx", 32}, {IMAGE_FORMAT_BMP, "p.bmp", 32},
  };
  for (const auto& f : kFormats) {
    SCOPED_TRACE(f.name);
    CTevImageInfoPack out;
    out.picture.reset(DibAlloc(kW, kH, f.bits, f.bits == 8 ? 2 : 0));
    ASSERT_TRUE(out.picture);
    std::memset(DibBits(out.picture.get()), 1, DibImageBytes(out.picture.get()));
    out.width = kW;
    out.height = kH;
    out.path = File(f.name);
    out.format = f.format;
    ASSERT_EQ(SaveImage(out, nullptr, nullptr), 0);

    const std::uint64_t exact = std::uint64_t(kW) * kH;
    CTevImageInfoPack fits;
    EXPECT_EQ(Load(fits, out.path, f.format, exact), IMAGEIO_OK) << fits.errorText;
    EXPECT_EQ(fits.width, kW);
    CTevImageInfoPack over;
    EXPECT_EQ(Load(over, out.path, f.format, exact - 1), IMAGEIO_ERR_TOO_LARGE);
    EXPECT_FALSE(over.picture);
    EXPECT_NE(over.errorText.find("pixel budget"), std::string::npos) << over.errorText;
    // Read under another format's options, the content decides the reader and
    // the budget still holds (TGA and PCX have no signature to be told by).
    if (f.format == IMAGE_FORMAT_TGA || f.format == IMAGE_FORMAT_PCX) continue;
    CTevImageInfoPack sniffed;
    const int other = f.format == IMAGE_FORMAT_PNG ? IMAGE_FORMAT_GIF : IMAGE_FORMAT_PNG;
    EXPECT_EQ(Load(sniffed, out.path, other, exact - 1), IMAGEIO_ERR_TOO_LARGE) << sniffed.errorText;
  }
}

// An EMF of a header (bounds 0,0 to 999,499: 1000 x 500 pixels) and an end record.
std::vector<BYTE> WideEmf() {
  std::vector<BYTE> b(88 + 20, 0);
  auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); };
  put(0, 1);
  put(4, 88);
  put(16, 999);
  put(20, 499);
  put(40, 0x464D4520);  // " EMF"
  put(44, 0x10000);
  put(48, std::uint32_t(b.size()));
  put(52, 2);
  put(88, 14);
  put(92, 20);
  put(88 + 16, 20);
  return b;
}

TEST_F(PixelBudget, MetafilesAreDrawnScaledDownToFit) {
  const std::vector<BYTE> emf = WideEmf();
  std::ofstream(File("w.emf"), std::ios::binary).write(reinterpret_cast<const char*>(emf.data()), std::streamsize(emf.size()));
  const struct {
    std::uint64_t budget;
    LONG width, height;
  } kCases[] = {{0, 1000, 500}, {500000, 1000, 500}, {20000, 200, 100}, {20001, 200, 100}, {19999, 199, 100}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.budget);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, File("w.emf"), IMAGE_FORMAT_EMF, c.budget), IMAGEIO_OK) << pack.errorText;
    EXPECT_EQ(pack.width, c.width);
    EXPECT_EQ(pack.height, c.height);
    ASSERT_TRUE(pack.picture);
    EXPECT_EQ(DibWidth(pack.picture.get()), c.width);
  }
}

}  // namespace
