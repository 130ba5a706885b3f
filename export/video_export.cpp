#include "export/video_export.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "app/libav.h"

#include "app/import_dispatch.h"
#include "export/avi_export.h"
#include "export/sound_track.h"
#include "companions/base/tr.h"

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

const AVCodec* FindVideoEncoder(const std::string& ext) {
  if (ext == "MP4") {
    if (const AVCodec* c = Av().avcodec_find_encoder_by_name("libx264")) return c;
    return Av().avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  }
  if (ext == "WEBM") {
    if (const AVCodec* c = Av().avcodec_find_encoder_by_name("libvpx-vp9")) return c;
    return Av().avcodec_find_encoder_by_name("libvpx");
  }
  return nullptr;
}

// Sets the encoder's quality: constant rate factor for H.264 and VP9/VP8,
// a fixed quantizer for MPEG-4 Part 2.
void SetQuality(AVCodecContext* c, const AVCodec* codec, const CVideoExportOptions& options) {
  const std::string name = codec->name;
  if (name == "libx264") {
    if (options.crf >= 0) Av().av_opt_set_int(c->priv_data, "crf", std::min(options.crf, 51), 0);
  } else if (name == "libvpx-vp9" || name == "libvpx") {
    Av().av_opt_set_int(c->priv_data, "crf", options.crf >= 0 ? std::min(options.crf, 63) : 31, 0);
    // VP9 reads a zero bit rate as constant quality; VP8 needs a ceiling.
    c->bit_rate = name == "libvpx" ? 4000000 : 0;
    Av().av_opt_set(c->priv_data, "deadline", "good", 0);
    Av().av_opt_set_int(c->priv_data, "cpu-used", 4, 0);
  } else {
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * MjpegQScale(options.quality);
  }
}

}  // namespace

std::string VideoEncoderFor(const std::string& upperExtension) {
  if (!LoadLibAv()) return "";
  const AVCodec* codec = FindVideoEncoder(upperExtension);
  return codec ? codec->name : "";
}

bool ExportStreamingVideo(const CGifImage& model, const std::string& path, const CVideoExportOptions& options,
                          CTevCommonProgress* progress, std::string* reason) {
  const int n = model.GetFrameCount();
  if (n == 0) {
    SetReason(reason, "the animation has no frames");
    return false;
  }
  if (!LoadLibAv(reason)) return false;
  const std::string ext = UpperExtension(path);
  const AVCodec* codec = FindVideoEncoder(ext);
  if (!codec) {
    SetReason(reason, "no video encoder for ." + ext);
    return false;
  }
  CSoundTrack sound;
  if (!options.soundPath.empty() && !sound.Open(options.soundPath, reason)) return false;
  const COLORREF background = options.background >= 0 ? COLORREF(options.background & 0xFFFFFF) : model.m_clrBackground;
  const bool evenOnly = codec->id != AV_CODEC_ID_VP9 && codec->id != AV_CODEC_ID_VP8;
  const int width = model.m_nWidth + (evenOnly ? model.m_nWidth & 1 : 0);
  const int height = model.m_nHeight + (evenOnly ? model.m_nHeight & 1 : 0);

  CVideoTempFile temp(path);
  if (!temp.Create(reason)) return false;
  OutputPtr out = OpenVideoOutput(ext == "MP4" ? "mp4" : "webm", temp.Path(), reason);
  if (!out) return false;
  AVStream* stream = Av().avformat_new_stream(out.get(), nullptr);
  CodecPtr encoder(Av().avcodec_alloc_context3(codec));
  FramePtr frame(Av().av_frame_alloc());
  PacketPtr packet(Av().av_packet_alloc());
  SwsPtr sws(Av().sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, AV_PIX_FMT_YUV420P,
                            SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr));
  std::vector<std::uint8_t> bgr(std::size_t(width) * std::size_t(height) * 3);
  if (!stream || !encoder || !frame || !packet || !sws) {
    SetReason(reason, "out of memory");
    return false;
  }
  const AVRational hundredths{1, 100};
  const CAviRate rate = ChooseAviRate(FrameDelays(model));
  AVCodecContext* c = encoder.get();
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->color_range = AVCOL_RANGE_MPEG;
  c->colorspace = AVCOL_SPC_SMPTE170M;
  c->color_primaries = AVCOL_PRI_SMPTE170M;
  c->color_trc = AVCOL_TRC_SMPTE170M;
  c->time_base = hundredths;
  c->framerate = AVRational{int(rate.rate), int(rate.scale)};
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  SetQuality(c, codec, options);
  int rc = Av().avcodec_open2(c, codec, nullptr);
  if (rc < 0 || (rc = Av().avcodec_parameters_from_context(stream->codecpar, c)) < 0) {
    SetReason(reason, std::string("cannot start the ") + codec->name + " encoder: " + LibavError(rc));
    return false;
  }
  stream->time_base = hundredths;
  stream->avg_frame_rate = c->framerate;
  if (!options.soundPath.empty() && !sound.AddStream(out.get(), reason)) return false;
  rc = Av().avformat_write_header(out.get(), nullptr);
  if (rc < 0) {
    SetReason(reason, "cannot start the video file: " + LibavError(rc));
    return false;
  }
  frame->format = c->pix_fmt;
  frame->width = width;
  frame->height = height;
  if (Av().av_frame_get_buffer(frame.get(), 0) < 0) {
    SetReason(reason, "out of memory");
    return false;
  }

  // Each packet lasts as long as its frame's delay; encoders that reorder
  // frames hand the packets back by presentation time.
  std::map<std::int64_t, int> delayAt;
  const auto drain = [&](AVFrame* input) {
    int err = Av().avcodec_send_frame(c, input);
    if (err < 0) return SetReason(reason, "encoding failed: " + LibavError(err)), false;
    for (;;) {
      err = Av().avcodec_receive_packet(c, packet.get());
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
      if (err < 0) return SetReason(reason, "encoding failed: " + LibavError(err)), false;
      const auto it = delayAt.find(packet->pts);
      if (it != delayAt.end()) {
        packet->duration = it->second;
        delayAt.erase(it);
      }
      Av().av_packet_rescale_ts(packet.get(), hundredths, stream->time_base);
      packet->stream_index = stream->index;
      err = Av().av_interleaved_write_frame(out.get(), packet.get());
      if (err < 0) return SetReason(reason, "writing a frame failed: " + LibavError(err)), false;
    }
  };

  if (progress) progress->SetCaption(Tr("Saving frames..."));
  const BYTE bb = BYTE(background >> 16), bg = BYTE(background >> 8), br = BYTE(background);
  for (std::size_t i = 0; i < bgr.size(); i += 3) {
    bgr[i] = bb;
    bgr[i + 1] = bg;
    bgr[i + 2] = br;
  }
  std::int64_t pts = 0;
  for (int i = 0; i < n; ++i) {
    DibPtr picture = ComposeOnBackground(model, i, background);
    if (!picture) {
      SetReason(reason, "a frame could not be composed");
      return false;
    }
    for (LONG y = 0; y < model.m_nHeight; ++y)
      std::memcpy(&bgr[std::size_t(y) * std::size_t(width) * 3], DibRow(picture.get(), y), std::size_t(model.m_nWidth) * 3);
    if (Av().av_frame_make_writable(frame.get()) < 0) {
      SetReason(reason, "out of memory");
      return false;
    }
    const uint8_t* src[1] = {bgr.data()};
    const int srcStride[1] = {width * 3};
    Av().sws_scale(sws.get(), src, srcStride, 0, height, frame->data, frame->linesize);
    const int delay = EffectiveDelay(model.GetFrame(i)->m_nDelay);
    frame->pts = pts;
    delayAt[pts] = delay;
    pts += delay;
    if (!drain(frame.get())) return false;
    if (!options.soundPath.empty() && !sound.WriteUntil(out.get(), double(pts) / 100.0, reason)) return false;
    if (!ReportProgressStep(progress, i + 1, n)) {
      SetReason(reason, "cancelled");
      return false;
    }
  }
  if (!drain(nullptr)) return false;
  if (!options.soundPath.empty() && !sound.Finish(out.get(), reason)) return false;
  if (!CloseVideoOutput(out, true, reason)) return false;
  if (!temp.Commit(reason)) return false;
  if (progress) progress->EndProgress();
  return true;
}
