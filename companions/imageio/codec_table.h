// The one table of formats: format number -> reader, writer, content sniffer.
// Each reader and writer lives in its own file (png_codec.cpp, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "companions/base/progress.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

namespace TevImageIO {

// A reader fills an empty pack from pack.path; a writer writes the pack to
// pack.path. Both return IMAGEIO_OK or an error code with pack.errorText set.
using ImageReader = int (*)(CTevImageInfoPack& pack, const CTevImgImportOptions* options,
                            CTevCommonProgress* progress);
using ImageWriter = int (*)(CTevImageInfoPack& pack, const CTevImgExportOptions* options,
                            CTevCommonProgress* progress);
// True when the first bytes of a file look like this format.
using ImageSniffer = bool (*)(const BYTE* head, std::size_t size);

struct ImageCodec {
  int format;
  const char* name;
  ImageReader read;    // null: reading not available
  ImageWriter write;   // null: writing not available
  ImageSniffer sniff;  // null: the format has no reliable signature
};

// Bytes handed to sniffers.
constexpr std::size_t kSniffBytes = 64;

std::span<const ImageCodec> ImageCodecs();
const ImageCodec* FindImageCodec(int format);
// The first codec whose sniffer accepts the bytes, or null.
const ImageCodec* SniffImageCodec(const BYTE* head, std::size_t size);

// Readers, writers and sniffers of the table.
int ReadPng(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WritePng(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffPng(const BYTE* head, std::size_t size);
int ReadGif(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteGif(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffGif(const BYTE* head, std::size_t size);
int ReadBmp(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteBmp(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffBmp(const BYTE* head, std::size_t size);     // "BM" file header
bool SniffBmpOrDib(const BYTE* head, std::size_t size);  // also a bare packed DIB
int ReadIco(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteIco(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
int WriteCur(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffIco(const BYTE* head, std::size_t size);
bool SniffCur(const BYTE* head, std::size_t size);
int ReadJpeg(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteJpeg(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffJpeg(const BYTE* head, std::size_t size);
int ReadTiff(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteTiff(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffTiff(const BYTE* head, std::size_t size);
int ReadTga(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteTga(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffTga(const BYTE* head, std::size_t size);  // header plausibility only: not in the sniff table
int ReadPcx(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WritePcx(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffPcx(const BYTE* head, std::size_t size);  // header plausibility only: not in the sniff table
int ReadAni(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WriteAni(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffAni(const BYTE* head, std::size_t size);
int ReadPsd(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
int WritePsd(CTevImageInfoPack&, const CTevImgExportOptions*, CTevCommonProgress*);
bool SniffPsd(const BYTE* head, std::size_t size);
int ReadWmf(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
bool SniffWmf(const BYTE* head, std::size_t size);
int ReadEmf(CTevImageInfoPack&, const CTevImgImportOptions*, CTevCommonProgress*);
bool SniffEmf(const BYTE* head, std::size_t size);

// An icon or cursor file in memory: one block per directory entry (only the
// first unless allImages), with AND masks when withMasks and cursor hot spots.
int DecodeIconMemory(const BYTE* data, std::size_t size, bool allImages, bool withMasks,
                     std::vector<std::unique_ptr<CTevSubImageBlock>>& blocks, std::string& reason);
// Moves a block's fields, picture and mask into another block (the pack itself, say).
void MoveBlockInto(CTevSubImageBlock& to, CTevSubImageBlock& from);

// A PNG stream in memory (icon entries) to a 32-bit BGRA DIB.
int DecodePngMemory(const BYTE* data, std::size_t size, DibPtr& picture, bool& hasAlpha, std::string& reason,
                    CTevCommonProgress* progress, std::uint64_t maxPixels = 0);

}  // namespace TevImageIO
