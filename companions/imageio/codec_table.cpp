#include "companions/imageio/codec_table.h"

#include <array>

namespace TevImageIO {

namespace {

const std::array<ImageCodec, 13> kCodecs = {{
    {IMAGE_FORMAT_BMP, "BMP", ReadBmp, nullptr, SniffBmpOrDib},
    {IMAGE_FORMAT_CUR, "CUR", ReadIco, nullptr, SniffCur},
    {IMAGE_FORMAT_ICO, "ICO", ReadIco, nullptr, SniffIco},
    {IMAGE_FORMAT_PCX, "PCX", ReadPcx, nullptr, nullptr},
    {IMAGE_FORMAT_GIF, "GIF", ReadGif, WriteGif, SniffGif},
    {IMAGE_FORMAT_PNG, "PNG", ReadPng, WritePng, SniffPng},
    {IMAGE_FORMAT_TGA, "TGA", ReadTga, nullptr, nullptr},
    {IMAGE_FORMAT_WMF, "WMF", ReadWmf, nullptr, SniffWmf},
    {IMAGE_FORMAT_EMF, "EMF", ReadEmf, nullptr, SniffEmf},
    {IMAGE_FORMAT_TIFF, "TIFF", ReadTiff, nullptr, SniffTiff},
    {IMAGE_FORMAT_JPEG, "JPEG", ReadJpeg, nullptr, SniffJpeg},
    {IMAGE_FORMAT_PSD, "PSD", ReadPsd, nullptr, SniffPsd},
    {IMAGE_FORMAT_ANI, "ANI", ReadAni, nullptr, SniffAni},
}};

}  // namespace

std::span<const ImageCodec> ImageCodecs() { return kCodecs; }

const ImageCodec* FindImageCodec(int format) {
  for (const ImageCodec& c : kCodecs)
    if (c.format == format) return &c;
  return nullptr;
}

const ImageCodec* SniffImageCodec(const BYTE* head, std::size_t size) {
  for (const ImageCodec& c : kCodecs)
    if (c.sniff && c.read && c.sniff(head, size)) return &c;
  return nullptr;
}

}  // namespace TevImageIO
