#include "export/avi_export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/libav.h"

#include "export/color_quantizer.h"
#include "export/rle8_encoder.h"
#include "export/sound_track.h"
#include "imaging/operate_progress.h"
#include "companions/base/tr.h"

using TevImageTransform::COperateProgressWrap;

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

// Offset of the first stream header's handler in the AVI muxer's layout:
// RIFF/AVI (12), LIST/hdrl (12), avih (8 + 56), LIST/strl (12), strh (8),
// fccType (4).
constexpr long kFirstHandlerOffset = 112;

// The muxer stores one code as both the stream handler and the bitmap's
// compression; players expect "DIB " and "mrle" as handlers beside BI_RGB and
// BI_RLE8, so the handler is set afterwards.
bool SetVideoHandler(const std::string& path, const char* handler, std::string* reason) {
  FILE* f = std::fopen(path.c_str(), "r+b");
  char type[4] = {};
  bool ok = f && std::fseek(f, kFirstHandlerOffset - 4, SEEK_SET) == 0 && std::fread(type, 1, 4, f) == 4 &&
            std::memcmp(type, "vids", 4) == 0 && std::fseek(f, kFirstHandlerOffset, SEEK_SET) == 0 &&
            std::fwrite(handler, 1, 4, f) == 4;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) SetReason(reason, "cannot set the video stream's handler");
  return ok;
}

// Frames as the codec takes them plus the palette when they are 8-bit.
struct CAviFrames {
  std::vector<DibPtr> pictures;
  std::vector<RGBQUAD> palette;  // 256 entries for 8-bit frames, empty for 24-bit
};

bool Stage(COperateProgressWrap& wrap, float start, float width, const char* caption) {
  wrap.SetStage(start, width);
  wrap.SetCaption(caption);
  wrap.SetProgress(0);
  return !wrap.IsCancelled();
}

bool Cancelled(std::string* reason) {
  SetReason(reason, "cancelled");
  return false;
}

// Reduces the 24-bit frames to 8 bits with one palette: for DIB only when
// the frames hold at most 256 colours (no loss), for RLE always.
bool ReduceToPalette(CAviFrames& frames, int codec, COperateProgressWrap& wrap, std::string* reason) {
  const std::size_t n = frames.pictures.size();
  CTevQColorQuantizer quantizer(256);
  if (!Stage(wrap, 0.3f, 0.2f, Tr("Removing palette information..."))) return Cancelled(reason);
  for (std::size_t i = 0; i < n; ++i) {
    if (!quantizer.PickColorBitmap(frames.pictures[i].get(), nullptr, nullptr)) {
      SetReason(reason, "the colours could not be gathered");
      return false;
    }
    if (!ReportProgressStep(&wrap, long(i + 1), long(n))) return Cancelled(reason);
  }
  if (codec == AVI_CODEC_DIB && quantizer.DistinctColours() > 256) return true;
  if (!quantizer.FillPalette()) {
    SetReason(reason, "no palette could be built");
    return false;
  }
  quantizer.SetOutputTable(256, RGBQUAD{0, 0, 0, 0});
  if (!Stage(wrap, 0.5f, 0.1f, Tr("Converting to AVI file format..."))) return Cancelled(reason);
  for (std::size_t i = 0; i < n; ++i) {
    BITMAPINFOHEADER* out8 = nullptr;
    if (!quantizer.DitherBitmap(frames.pictures[i].get(), nullptr, &out8, DITHER_NONE, 0, nullptr) || !out8) {
      SetReason(reason, "a frame could not be converted to 8 bits");
      return false;
    }
    frames.pictures[i].reset(out8);
    if (!ReportProgressStep(&wrap, long(i + 1), long(n))) return Cancelled(reason);
  }
  const BITMAPINFOHEADER* first = frames.pictures[0].get();
  const RGBQUAD* table = DibPalette(first);
  frames.palette.assign(256, RGBQUAD{0, 0, 0, 0});
  std::copy(table, table + std::min<std::size_t>(256, DibPaletteEntries(first)), frames.palette.begin());
  return true;
}

// The rows of a picture bottom line first, each padded to 4 bytes: the
// sample of an uncompressed stream.
bool PutBottomUpRows(const BITMAPINFOHEADER* picture, AVPacket* packet) {
  const std::size_t stride = DibStride(picture);
  const LONG height = DibHeight(picture);
  if (Av().av_new_packet(packet, int(stride * std::size_t(height))) < 0) return false;
  for (LONG y = 0; y < height; ++y) std::memcpy(packet->data + std::size_t(y) * stride, DibRow(picture, height - 1 - y), stride);
  return true;
}

class CAviWriter {
 public:
  CAviWriter(const CVideoExportOptions& options, CAviRate rate) : m_options(options), m_rate(rate) {}

  // Adds the video stream to out for frames of the given form.
  bool AddVideo(AVFormatContext* out, const CAviFrames& frames, int width, int height, std::string* reason) {
    m_out = out;
    m_stream = Av().avformat_new_stream(out, nullptr);
    if (!m_stream) return Fail(reason, "out of memory");
    m_stream->time_base = AVRational{int(m_rate.scale), int(m_rate.rate)};
    m_stream->avg_frame_rate = AVRational{int(m_rate.rate), int(m_rate.scale)};
    AVCodecParameters* par = m_stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->width = width;
    par->height = height;
    if (m_options.codec == AVI_CODEC_MJPEG) return OpenMjpeg(width, height, reason);
    const bool eightBit = !frames.palette.empty();
    par->codec_id = m_options.codec == AVI_CODEC_RLE ? AV_CODEC_ID_MSRLE : AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = m_options.codec == AVI_CODEC_RLE ? 1 : 0;  // BI_RLE8 or BI_RGB
    par->format = eightBit ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24;
    par->bits_per_coded_sample = eightBit ? 8 : 24;
    if (eightBit) {
      // The stream format's colour table follows the bitmap header.
      par->extradata = static_cast<uint8_t*>(Av().av_mallocz(1024 + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!par->extradata) return Fail(reason, "out of memory");
      par->extradata_size = 1024;
      for (std::size_t i = 0; i < 256; ++i) {
        par->extradata[i * 4] = frames.palette[i].rgbBlue;
        par->extradata[i * 4 + 1] = frames.palette[i].rgbGreen;
        par->extradata[i * 4 + 2] = frames.palette[i].rgbRed;
      }
    }
    return true;
  }

  // Writes frame index as one sample, a key frame when IsAviKeyFrame.
  bool WriteFrame(const BITMAPINFOHEADER* picture, int index, std::string* reason) {
    if (m_encoder) return EncodeMjpeg(picture, index, reason);
    PacketPtr packet(Av().av_packet_alloc());
    if (!packet) return Fail(reason, "out of memory");
    if (m_options.codec == AVI_CODEC_RLE) {
      m_rle.clear();
      if (!EncodeRle8(picture, m_rle) || Av().av_new_packet(packet.get(), int(m_rle.size())) < 0)
        return Fail(reason, "a frame could not be compressed");
      std::memcpy(packet->data, m_rle.data(), m_rle.size());
    } else if (!PutBottomUpRows(picture, packet.get())) {
      return Fail(reason, "out of memory");
    }
    return Put(packet.get(), index, reason);
  }

  bool Flush(std::string* reason) {
    if (!m_encoder) return true;
    return Drain(nullptr, reason);
  }

 private:
  bool Fail(std::string* reason, const std::string& text) {
    SetReason(reason, text);
    return false;
  }

  bool Put(AVPacket* packet, int index, std::string* reason) {
    packet->stream_index = m_stream->index;
    packet->pts = packet->dts = index;
    packet->duration = 1;
    packet->flags = IsAviKeyFrame(index) ? AV_PKT_FLAG_KEY : 0;
    Av().av_packet_rescale_ts(packet, AVRational{int(m_rate.scale), int(m_rate.rate)}, m_stream->time_base);
    const int rc = Av().av_interleaved_write_frame(m_out, packet);
    if (rc < 0) return Fail(reason, "writing a frame failed: " + LibavError(rc));
    return true;
  }

  bool OpenMjpeg(int width, int height, std::string* reason) {
    const AVCodec* codec = Av().avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return Fail(reason, "no MJPEG encoder");
    m_encoder.reset(Av().avcodec_alloc_context3(codec));
    m_frame.reset(Av().av_frame_alloc());
    m_sws.reset(Av().sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, AV_PIX_FMT_YUVJ420P,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr));
    if (!m_encoder || !m_frame || !m_sws) return Fail(reason, "out of memory");
    AVCodecContext* c = m_encoder.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c->color_range = AVCOL_RANGE_JPEG;
    c->time_base = AVRational{int(m_rate.scale), int(m_rate.rate)};
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * MjpegQScale(m_options.quality);
    int rc = Av().avcodec_open2(c, codec, nullptr);
    if (rc < 0) return Fail(reason, "cannot start the MJPEG encoder: " + LibavError(rc));
    rc = Av().avcodec_parameters_from_context(m_stream->codecpar, c);
    if (rc < 0) return Fail(reason, "cannot set the video format");
    m_frame->format = c->pix_fmt;
    m_frame->width = width;
    m_frame->height = height;
    if (Av().av_frame_get_buffer(m_frame.get(), 0) < 0) return Fail(reason, "out of memory");
    return true;
  }

  bool EncodeMjpeg(const BITMAPINFOHEADER* picture, int index, std::string* reason) {
    if (Av().av_frame_make_writable(m_frame.get()) < 0) return Fail(reason, "out of memory");
    // Top row first (a negative stride over bottom-up rows).
    const uint8_t* src[1] = {DibRow(picture, 0)};
    const int stride[1] = {DibTopDown(picture) ? int(DibStride(picture)) : -int(DibStride(picture))};
    Av().sws_scale(m_sws.get(), src, stride, 0, int(DibHeight(picture)), m_frame->data, m_frame->linesize);
    m_frame->pts = index;
    m_frame->quality = m_encoder->global_quality;
    return Drain(m_frame.get(), reason);
  }

  bool Drain(AVFrame* frame, std::string* reason) {
    int rc = Av().avcodec_send_frame(m_encoder.get(), frame);
    if (rc < 0) return Fail(reason, "encoding failed: " + LibavError(rc));
    PacketPtr packet(Av().av_packet_alloc());
    if (!packet) return Fail(reason, "out of memory");
    for (;;) {
      rc = Av().avcodec_receive_packet(m_encoder.get(), packet.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return Fail(reason, "encoding failed: " + LibavError(rc));
      if (!Put(packet.get(), int(packet->pts), reason)) return false;
    }
  }

  const CVideoExportOptions& m_options;
  CAviRate m_rate;
  AVFormatContext* m_out = nullptr;
  AVStream* m_stream = nullptr;
  CodecPtr m_encoder;
  FramePtr m_frame;
  SwsPtr m_sws;
  std::vector<std::uint8_t> m_rle;
};

}  // namespace

int MjpegQScale(int quality) {
  quality = std::clamp(quality, 1, 100);
  return 2 + (100 - quality) * 29 / 99;
}

bool ExportAviFile(const CGifImage& model, const std::string& path, const CVideoExportOptions& options,
                   CTevCommonProgress* progress, std::string* reason) {
  const int n = model.GetFrameCount();
  if (n == 0) {
    SetReason(reason, "the animation has no frames");
    return false;
  }
  if (options.codec < AVI_CODEC_DIB || options.codec > AVI_CODEC_MJPEG) {
    SetReason(reason, "unknown AVI codec");
    return false;
  }
  if (!LoadLibAv(reason)) return false;
  CSoundTrack sound;
  if (!options.soundPath.empty() && !sound.Open(options.soundPath, reason)) return false;
  const CAviRate rate = options.aviRate.rate > 0 && options.aviRate.scale > 0 ? options.aviRate
                                                                            : ChooseAviRate(FrameDelays(model));
  const COLORREF background = options.background >= 0 ? COLORREF(options.background & 0xFFFFFF) : model.m_clrBackground;

  COperateProgressWrap wrap(progress);
  CAviFrames frames;
  frames.pictures.reserve(std::size_t(n));
  if (!Stage(wrap, 0.0f, 0.3f, Tr("Initializing background..."))) return Cancelled(reason);
  for (int i = 0; i < n; ++i) {
    frames.pictures.push_back(ComposeOnBackground(model, i, background));
    if (!frames.pictures.back()) {
      SetReason(reason, "a frame could not be composed");
      return false;
    }
    if (!ReportProgressStep(&wrap, i + 1, n)) return Cancelled(reason);
  }
  if (options.codec != AVI_CODEC_MJPEG && !ReduceToPalette(frames, options.codec, wrap, reason)) return false;
  if (frames.palette.empty() && !Stage(wrap, 0.5f, 0.1f, Tr("Converting to AVI file format..."))) return Cancelled(reason);

  CVideoTempFile temp(path);
  if (!temp.Create(reason)) return false;
  OutputPtr out = OpenVideoOutput("avi", temp.Path(), reason);
  if (!out) return false;
  CAviWriter writer(options, rate);
  if (!writer.AddVideo(out.get(), frames, model.m_nWidth, model.m_nHeight, reason)) return false;
  if (!options.soundPath.empty() && !sound.AddStream(out.get(), reason)) return false;
  AVDictionary* muxerOptions = nullptr;
  Av().av_dict_set(&muxerOptions, "flipped_raw_rgb", "1", 0);  // DIB rows bottom line first, positive height
  const int rc = Av().avformat_write_header(out.get(), &muxerOptions);
  Av().av_dict_free(&muxerOptions);
  if (rc < 0) {
    SetReason(reason, "cannot start the AVI file: " + LibavError(rc));
    return false;
  }
  if (!Stage(wrap, 0.6f, 0.4f, Tr("Saving frames..."))) return Cancelled(reason);
  for (int i = 0; i < n; ++i) {
    if (!writer.WriteFrame(frames.pictures[std::size_t(i)].get(), i, reason)) return false;
    frames.pictures[std::size_t(i)].reset();
    if (!options.soundPath.empty() &&
        !sound.WriteUntil(out.get(), double(i + 1) * rate.scale / rate.rate, reason))
      return false;
    if (!ReportProgressStep(&wrap, i + 1, n)) return Cancelled(reason);
  }
  if (!writer.Flush(reason)) return false;
  if (!options.soundPath.empty() && !sound.Finish(out.get(), reason)) return false;
  if (!CloseVideoOutput(out, true, reason)) return false;
  if (options.codec != AVI_CODEC_MJPEG &&
      !SetVideoHandler(temp.Path(), options.codec == AVI_CODEC_RLE ? "mrle" : "DIB ", reason))
    return false;
  if (!temp.Commit(reason)) return false;
  wrap.EndProgress();
  return true;
}
