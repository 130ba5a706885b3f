// The BI_RLE8 encoder checked by FFmpeg's own MS RLE decoder on pictures
// made to stress it: every decoded index must equal the source.
#include <gtest/gtest.h>

#include <functional>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "export/rle8_encoder.h"

namespace {

using Painter = std::function<BYTE(LONG x, LONG y)>;

DibPtr Picture(LONG w, LONG h, const Painter& paint) {
  DibPtr d(DibAlloc(w, h, 8));
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) DibRow(d.get(), y)[x] = paint(x, y);
  return d;
}

// Decodes one BI_RLE8 picture with libavcodec's msrle decoder; the indices
// top row first, or empty when the decoder refuses the data.
std::vector<BYTE> Decode(const std::vector<std::uint8_t>& data, LONG w, LONG h) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MSRLE);
  if (!codec) return {};
  AVCodecContext* c = avcodec_alloc_context3(codec);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::vector<BYTE> out;
  c->width = int(w);
  c->height = int(h);
  c->bits_per_coded_sample = 8;
  if (avcodec_open2(c, codec, nullptr) == 0 && av_new_packet(packet, int(data.size())) == 0) {
    std::copy(data.begin(), data.end(), packet->data);
    if (avcodec_send_packet(c, packet) == 0 && avcodec_receive_frame(c, frame) == 0)
      for (LONG y = 0; y < h; ++y) out.insert(out.end(), frame->data[0] + y * frame->linesize[0], frame->data[0] + y * frame->linesize[0] + w);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&c);
  return out;
}

struct StressCase {
  const char* name;
  LONG width, height;
  Painter paint;
  std::size_t maxBytes;  // 0: no bound
};

TEST(Rle8Encoder, FfmpegDecodesEveryStressPicture) {
  std::mt19937 random(7);
  std::vector<BYTE> noise(97 * 9);
  for (auto& v : noise) v = BYTE(random() % 5 == 0 ? 200 : random());
  const StressCase cases[] = {
      {"single colour", 40, 3, [](LONG, LONG) { return BYTE(9); }, 3 * 4},
      {"1 x 1 (as long as its uncompressed row)", 1, 1, [](LONG, LONG) { return BYTE(250); }, 4},
      {"runs of 1 (alternating)", 33, 4, [](LONG x, LONG y) { return BYTE((x + y) & 1); }, 0},
      {"run of 255", 255, 2, [](LONG, LONG y) { return BYTE(y + 1); }, 2 * 4},
      {"run of 256", 256, 2, [](LONG, LONG y) { return BYTE(y + 3); }, 0},
      {"run of 511 then one", 512, 1, [](LONG x, LONG) { return BYTE(x == 511 ? 2 : 1); }, 0},
      {"absolute run of 3 at the right edge", 8, 3, [](LONG x, LONG) { return BYTE(x < 5 ? 0 : x); }, 0},
      {"absolute run of 5 between runs", 13, 2, [](LONG x, LONG) { return BYTE(x < 4 ? 1 : x < 9 ? x * 10 : 2); }, 0},
      {"absolute runs of 255 and 256", 511, 2, [](LONG x, LONG y) { return BYTE((x * 7 + y) % 251); }, 0},
      {"two unlike then a run", 7, 1, [](LONG x, LONG) { return BYTE(x == 0 ? 4 : x == 1 ? 5 : 6); }, 0},
      {"odd width, runs of 2 inside unlike ones", 19, 3, [](LONG x, LONG y) { return BYTE((x / 2) * 3 + y); }, 0},
      {"noise", 97, 9, [&](LONG x, LONG y) { return noise[std::size_t(y * 97 + x)]; }, 0},
  };
  for (const auto& c : cases) {
    DibPtr picture = Picture(c.width, c.height, c.paint);
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(EncodeRle8(picture.get(), data)) << c.name;
    ASSERT_GE(data.size(), 2u) << c.name;
    EXPECT_EQ(data[data.size() - 2], 0) << c.name;
    EXPECT_EQ(data.back(), 1) << c.name << ": the picture must end with 0 1";
    if (c.maxBytes) {
      EXPECT_LE(data.size(), c.maxBytes + 2) << c.name << ": runs not used";
    }
    EXPECT_NE(data.size(), DibImageBytes(picture.get())) << c.name << ": would be read as uncompressed";
    const std::vector<BYTE> decoded = Decode(data, c.width, c.height);
    ASSERT_EQ(decoded.size(), std::size_t(c.width * c.height)) << c.name;
    for (LONG y = 0; y < c.height; ++y)
      for (LONG x = 0; x < c.width; ++x)
        ASSERT_EQ(decoded[std::size_t(y * c.width + x)], c.paint(x, y)) << c.name << " at " << x << "," << y;
  }
}

}  // namespace
