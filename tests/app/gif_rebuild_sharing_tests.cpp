// Composing a GIF's partial frames: an opaque frame covering what came
// before keeps its own picture, a see-through or smaller one is merged, and
// clearing an area for disposal 2 never reaches the picture of an earlier
// frame whose picture the canvas shares.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/gif_rebuild.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

using Bgra = std::array<BYTE, 4>;
constexpr Bgra kRed{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kBlue{255, 0, 0, 255}, kYellow{0, 255, 255, 255};

struct FrameRow {
  int w, h, x, y;
  Bgra colour;
  int disposal;
  int clearX = -1, clearY = -1;  // one pixel of the frame made alpha 0
};

// A model of one object and one reference per frame, as an import makes it.
void Build(CGifImage& model, const std::vector<FrameRow>& rows) {
  for (const FrameRow& s : rows) {
    DibPtr d(CDIB32::CreateSimple32BitsDIB(s.w, s.h, RGB(s.colour[2], s.colour[1], s.colour[0]), s.colour[3]));
    for (LONG y = 0; y < s.h; ++y)
      for (LONG x = 0; x < s.w; ++x) DibRow(d.get(), y)[4 * x + 3] = s.colour[3];
    if (s.clearX >= 0) DibRow(d.get(), s.clearY)[4 * s.clearX + 3] = 0;
    auto object = MakeRef<CDib>(std::move(d));
    model.m_objects.push_back(object);
    auto frame = MakeRef<CGifFrame>(std::uint16_t(10));
    frame->SetDisposal(s.disposal);
    auto ref = MakeRef<CRefImageObject>(object);
    ref->m_nX = s.x;
    ref->m_nY = s.y;
    frame->m_refs.push_back(ref);
    model.m_frames.push_back(frame);
  }
}

// The frame's composed pixel at canvas (cx, cy); nullopt outside its picture.
std::optional<Bgra> At(const CGifImage& model, int frame, int cx, int cy) {
  const CRefImageObject& ref = *model.m_frames[std::size_t(frame)]->m_refs[0];
  const BITMAPINFOHEADER* image = ref.m_pObject->GetImage();
  const int x = cx - ref.m_nX, y = cy - ref.m_nY;
  if (x < 0 || y < 0 || x >= DibWidth(image) || y >= DibHeight(image)) return std::nullopt;
  const BYTE* p = DibRow(image, y) + 4 * x;
  return Bgra{p[0], p[1], p[2], p[3]};
}

bool Clear(const std::optional<Bgra>& p) { return !p || (*p)[3] == 0; }

TEST(GifRebuildSharing, ComposesCoveringSeeThroughAndClearedFrames) {
  const std::vector<FrameRow> rows = {
      {4, 4, 0, 0, kRed, 1},            // 0: the first canvas
      {2, 2, 1, 1, kGreen, 2, 0, 0},    // 1: a hole at canvas (1, 1); its area is cleared afterwards
      {4, 4, 0, 0, {0, 0, 0, 0}, 1},    // 2: fully see-through: shows the cleared canvas
      {4, 4, 0, 0, kBlue, 1},           // 3: opaque and covering: hides everything
      {2, 2, 3, 3, kYellow, 1},         // 4: opaque but smaller: merged, canvas grows to 5 x 5
  };
  CGifImage model;
  Build(model, rows);
  const CDib* coveringObject = model.m_frames[3]->m_refs[0]->m_pObject.get();
  ASSERT_TRUE(RebuildGifFrames(model));

  const struct {
    int frame, x, y;
    std::optional<Bgra> want;  // nullopt: transparent or outside
  } probes[] = {
      {0, 1, 1, kRed},     {0, 2, 2, kRed},  // clearing for frame 1 left frame 0 whole
      {1, 0, 0, kRed},     {1, 1, 1, kRed},  {1, 2, 2, kGreen},
      {2, 0, 0, kRed},     {2, 1, 1, std::nullopt}, {2, 2, 2, std::nullopt}, {2, 3, 3, kRed},
      {3, 0, 0, kBlue},    {3, 2, 2, kBlue}, {3, 4, 4, std::nullopt},
      {4, 0, 0, kBlue},    {4, 4, 4, kYellow}, {4, 4, 0, std::nullopt},
  };
  for (const auto& p : probes) {
    SCOPED_TRACE(::testing::Message() << "frame " << p.frame << " at " << p.x << "," << p.y);
    const auto got = At(model, p.frame, p.x, p.y);
    if (!p.want) EXPECT_TRUE(Clear(got));
    else EXPECT_EQ(got, p.want);
  }
  // The covering frame kept its own object; the smaller one got a merged 5 x 5 picture.
  EXPECT_EQ(model.m_frames[3]->m_refs[0]->m_pObject.get(), coveringObject);
  EXPECT_EQ(DibWidth(model.m_frames[4]->m_refs[0]->m_pObject->GetImage()), 5);
}

TEST(GifRebuildSharing, SeeThroughCoveringFrameIsStillMerged) {
  // A covering frame with one clear pixel: that pixel shows the canvas below.
  CGifImage model;
  Build(model, {{3, 3, 0, 0, kRed, 1}, {3, 3, 0, 0, kBlue, 1, 1, 1}});
  ASSERT_TRUE(RebuildGifFrames(model));
  EXPECT_EQ(At(model, 1, 1, 1), kRed);
  EXPECT_EQ(At(model, 1, 0, 0), kBlue);
}

}  // namespace
