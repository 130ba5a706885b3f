#include "companions/imageio/codec_table.h"

#include <array>

namespace TevImageIO {

namespace {

const std::array<ImageCodec, 13> kCodecs = {{
    {IMAGE_FORMAT_BMP, "BMP", ReadBmp, WriteBmp, SniffBmpOrDib},
    {IMAGE_FORMAT_CUR, "CUR", ReadIco, WriteCur, SniffCur},
    {IMAGE_FORMAT_ICO, "ICO", ReadIco, WriteIco, SniffIco},
    {IMAGE_FORMAT_PCX, "PCX", ReadPcx, WritePcx, nullptr},
    {IMAGE_FORMAT_GIF, "GIF", ReadGif, WriteGif, SniffGif},
    {IMAGE_FORMAT_PNG, "PNG", ReadPng, WritePng, SniffPng},
    {IMAGE_FORMAT_TGA, "TGA", ReadTga, WriteTga, nullptr},
    {IMAGE_FORMAT_WMF, "WMF", ReadWmf, nullptr, SniffWmf},
    {IMAGE_FORMAT_EMF, "EMF", ReadEmf, nullptr, SniffEmf},
    {IMAGE_FORMAT_TIFF, "TIFF", ReadTiff, WriteTiff, SniffTiff},
    {IMAGE_FORMAT_JPEG, "JPEG", ReadJpeg, WriteJpeg, SniffJpeg},
    {IMAGE_FORMAT_PSD, "PSD", ReadPsd, WritePsd, SniffPsd},
    {IMAGE_FORMAT_ANI, "ANI", ReadAni, WriteAni, SniffAni},
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
