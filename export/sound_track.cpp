#include "export/sound_track.h"

#include <algorithm>
#include <cstring>

#include "app/libav.h"

#include "export/video_frames.h"

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

struct InputClose {
  void operator()(AVFormatContext* c) const { Av().avformat_close_input(&c); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { Av().swr_free(&s); }
};
struct FifoFree {
  void operator()(AVAudioFifo* f) const { Av().av_audio_fifo_free(f); }
};

// The encoders a container takes when the sound cannot be copied, best first.
const AVCodec* SoundEncoderFor(const AVOutputFormat* format) {
  const std::string name = format->name;
  if (name == "avi") return Av().avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
  if (name == "webm") {
    if (const AVCodec* c = Av().avcodec_find_encoder_by_name("libopus")) return c;
    return Av().avcodec_find_encoder_by_name("libvorbis");
  }
  return Av().avcodec_find_encoder(AV_CODEC_ID_AAC);
}

int PickSampleRate(const AVCodec* codec, int wanted) {
  if (!codec->supported_samplerates) return wanted;
  int fallback = codec->supported_samplerates[0];
  for (const int* r = codec->supported_samplerates; *r; ++r) {
    if (*r == wanted) return wanted;
    if (*r == 48000) fallback = 48000;
  }
  return fallback;
}

}  // namespace

struct CSoundTrack::CState {
  std::unique_ptr<AVFormatContext, InputClose> in;
  AVStream* inStream = nullptr;
  AVStream* outStream = nullptr;
  bool copy = true;
  CodecPtr decoder, encoder;
  std::unique_ptr<SwrContext, SwrFree> resampler;
  std::unique_ptr<AVAudioFifo, FifoFree> fifo;
  int chunk = 4096;
  std::int64_t nextPts = 0;
  PacketPtr packet{Av().av_packet_alloc()};
  PacketPtr encoded{Av().av_packet_alloc()};
  FramePtr decoded{Av().av_frame_alloc()};
  bool pending = false;
  bool inputDone = false;

  bool Fail(std::string* reason, const std::string& what, int rc) {
    SetReason(reason, "sound: " + what + (rc < 0 ? ": " + LibavError(rc) : std::string()));
    return false;
  }

  // Sends frame (null: drain) to the encoder and writes what comes out.
  bool Encode(AVFormatContext* out, AVFrame* frame, std::string* reason) {
    int rc = Av().avcodec_send_frame(encoder.get(), frame);
    if (rc < 0) return Fail(reason, "encoding failed", rc);
    for (;;) {
      rc = Av().avcodec_receive_packet(encoder.get(), encoded.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return Fail(reason, "encoding failed", rc);
      Av().av_packet_rescale_ts(encoded.get(), encoder->time_base, outStream->time_base);
      encoded->stream_index = outStream->index;
      rc = Av().av_interleaved_write_frame(out, encoded.get());
      if (rc < 0) return Fail(reason, "writing failed", rc);
    }
  }

  // Encodes the samples waiting in the fifo in chunks of the encoder's frame
  // size; with last, the remainder too (padded with silence when the encoder
  // takes whole frames only).
  bool EncodeFifo(AVFormatContext* out, bool last, std::string* reason) {
    const bool smallLast = encoder->frame_size == 0 ||
                           (encoder->codec->capabilities &
                            (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
    while (Av().av_audio_fifo_size(fifo.get()) >= chunk || (last && Av().av_audio_fifo_size(fifo.get()) > 0)) {
      const int available = std::min(Av().av_audio_fifo_size(fifo.get()), chunk);
      FramePtr frame(Av().av_frame_alloc());
      if (!frame) return Fail(reason, "out of memory", 0);
      frame->nb_samples = smallLast ? available : chunk;
      frame->format = encoder->sample_fmt;
      frame->sample_rate = encoder->sample_rate;
      if (Av().av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 || Av().av_frame_get_buffer(frame.get(), 0) < 0)
        return Fail(reason, "out of memory", 0);
      Av().av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, encoder->ch_layout.nb_channels,
                             encoder->sample_fmt);
      if (Av().av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->extended_data), available) != available)
        return Fail(reason, "conversion failed", 0);
      frame->pts = nextPts;
      nextPts += frame->nb_samples;
      if (!Encode(out, frame.get(), reason)) return false;
    }
    return true;
  }

  // Converts decoded samples (null: what the resampler still holds) into the
  // fifo. The plain sample arrays are handed over: decoders of headerless
  // formats leave the frame's channel order unset.
  bool Convert(AVFrame* frame, std::string* reason) {
    const int inSamples = frame ? frame->nb_samples : 0;
    const int room = Av().swr_get_out_samples(resampler.get(), inSamples);
    if (room < 0) return Fail(reason, "conversion failed", room);
    if (room == 0) return true;
    uint8_t** buffer = nullptr;
    int rc = Av().av_samples_alloc_array_and_samples(&buffer, nullptr, encoder->ch_layout.nb_channels, room,
                                                encoder->sample_fmt, 0);
    if (rc < 0) return Fail(reason, "out of memory", rc);
    const int made = Av().swr_convert(resampler.get(), buffer, room,
                                 frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inSamples);
    bool ok = made >= 0;
    if (!ok) Fail(reason, "conversion failed", made);
    else if (made > 0 && Av().av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(buffer), made) < made)
      ok = Fail(reason, "out of memory", 0);
    Av().av_freep(&buffer[0]);
    Av().av_freep(&buffer);
    return ok;
  }

  bool Decode(AVFormatContext* out, AVPacket* pkt, std::string* reason) {
    int rc = Av().avcodec_send_packet(decoder.get(), pkt);
    // A damaged packet loses its samples, not the whole sound.
    if (rc < 0 && rc != AVERROR_INVALIDDATA && rc != AVERROR_EOF) return Fail(reason, "decoding failed", rc);
    for (;;) {
      rc = Av().avcodec_receive_frame(decoder.get(), decoded.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
      if (rc < 0) return Fail(reason, "decoding failed", rc);
      const bool ok = Convert(decoded.get(), reason);
      Av().av_frame_unref(decoded.get());
      if (!ok || !EncodeFifo(out, false, reason)) return false;
    }
    return true;
  }

  bool WritePacket(AVFormatContext* out, std::string* reason) {
    pending = false;
    if (!copy) {
      const bool ok = Decode(out, packet.get(), reason);
      Av().av_packet_unref(packet.get());
      return ok;
    }
    Av().av_packet_rescale_ts(packet.get(), inStream->time_base, outStream->time_base);
    packet->stream_index = outStream->index;
    packet->pos = -1;
    const int rc = Av().av_interleaved_write_frame(out, packet.get());
    if (rc < 0) return Fail(reason, "writing failed", rc);
    return true;
  }
};

CSoundTrack::CSoundTrack() : m_state(std::make_unique<CState>()) {}
CSoundTrack::~CSoundTrack() = default;

bool CSoundTrack::Copies() const { return m_state->copy; }

bool CSoundTrack::Open(const std::string& path, std::string* reason) {
  if (!LoadLibAv(reason)) return false;
  CState& s = *m_state;
  if (!s.packet || !s.encoded || !s.decoded) return s.Fail(reason, "out of memory", 0);
  AVFormatContext* raw = nullptr;
  int rc = Av().avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (rc < 0) return s.Fail(reason, "cannot open " + path, rc);
  s.in.reset(raw);
  rc = Av().avformat_find_stream_info(raw, nullptr);
  if (rc < 0) return s.Fail(reason, "cannot read " + path, rc);
  const int index = Av().av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return s.Fail(reason, path + " holds no sound", 0);
  s.inStream = raw->streams[index];
  for (unsigned i = 0; i < raw->nb_streams; ++i)
    if (int(i) != index) raw->streams[i]->discard = AVDISCARD_ALL;
  return true;
}

bool CSoundTrack::AddStream(AVFormatContext* out, std::string* reason) {
  CState& s = *m_state;
  const AVCodecParameters* in = s.inStream->codecpar;
  s.outStream = Av().avformat_new_stream(out, nullptr);
  if (!s.outStream) return s.Fail(reason, "out of memory", 0);
  s.copy = in->codec_id != AV_CODEC_ID_NONE && Av().avformat_query_codec(out->oformat, in->codec_id, FF_COMPLIANCE_NORMAL) == 1;
  if (s.copy) {
    int rc = Av().avcodec_parameters_copy(s.outStream->codecpar, in);
    if (rc < 0) return s.Fail(reason, "cannot copy the stream", rc);
    s.outStream->codecpar->codec_tag = 0;
    s.outStream->time_base = s.inStream->time_base;
    return true;
  }
  const AVCodec* decoder = Av().avcodec_find_decoder(in->codec_id);
  if (!decoder) return s.Fail(reason, "the sound's codec cannot be read", 0);
  s.decoder.reset(Av().avcodec_alloc_context3(decoder));
  if (!s.decoder) return s.Fail(reason, "out of memory", 0);
  int rc = Av().avcodec_parameters_to_context(s.decoder.get(), in);
  if (rc >= 0) rc = Av().avcodec_open2(s.decoder.get(), decoder, nullptr);
  if (rc < 0) return s.Fail(reason, "the sound's codec cannot be read", rc);

  const AVCodec* encoder = SoundEncoderFor(out->oformat);
  if (!encoder) return s.Fail(reason, "no sound encoder for this file type", 0);
  s.encoder.reset(Av().avcodec_alloc_context3(encoder));
  if (!s.encoder) return s.Fail(reason, "out of memory", 0);
  AVCodecContext* e = s.encoder.get();
  const int channels = std::max(1, s.decoder->ch_layout.nb_channels);
  const bool pcm = encoder->id == AV_CODEC_ID_PCM_S16LE;
  Av().av_channel_layout_default(&e->ch_layout, pcm ? std::min(channels, 8) : std::min(channels, 2));
  e->sample_rate = PickSampleRate(encoder, s.decoder->sample_rate > 0 ? s.decoder->sample_rate : 44100);
  e->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  e->time_base = AVRational{1, e->sample_rate};
  if (out->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  rc = Av().avcodec_open2(e, encoder, nullptr);
  if (rc < 0) return s.Fail(reason, "cannot start the sound encoder", rc);
  if (e->frame_size > 0) s.chunk = e->frame_size;
  rc = Av().avcodec_parameters_from_context(s.outStream->codecpar, e);
  if (rc < 0) return s.Fail(reason, "cannot set the sound format", rc);
  s.outStream->time_base = e->time_base;

  SwrContext* swr = nullptr;
  AVChannelLayout inLayout;
  if (s.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || s.decoder->ch_layout.nb_channels == 0)
    Av().av_channel_layout_default(&inLayout, channels);
  else
    Av().av_channel_layout_copy(&inLayout, &s.decoder->ch_layout);
  rc = Av().swr_alloc_set_opts2(&swr, &e->ch_layout, e->sample_fmt, e->sample_rate, &inLayout, s.decoder->sample_fmt,
                           s.decoder->sample_rate > 0 ? s.decoder->sample_rate : e->sample_rate, 0, nullptr);
  Av().av_channel_layout_uninit(&inLayout);
  s.resampler.reset(swr);
  if (rc < 0 || (rc = Av().swr_init(swr)) < 0) return s.Fail(reason, "cannot convert the sound", rc);
  s.fifo.reset(Av().av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, s.chunk));
  if (!s.fifo) return s.Fail(reason, "out of memory", 0);
  return true;
}

bool CSoundTrack::WriteUntil(AVFormatContext* out, double seconds, std::string* reason) {
  CState& s = *m_state;
  while (!s.inputDone) {
    if (!s.pending) {
      const int rc = Av().av_read_frame(s.in.get(), s.packet.get());
      if (rc == AVERROR_EOF) {
        s.inputDone = true;
        break;
      }
      if (rc < 0) return s.Fail(reason, "reading failed", rc);
      if (s.packet->stream_index != s.inStream->index) {
        Av().av_packet_unref(s.packet.get());
        continue;
      }
      s.pending = true;
    }
    const std::int64_t ts = s.packet->dts != AV_NOPTS_VALUE ? s.packet->dts : s.packet->pts;
    if (seconds >= 0 && ts != AV_NOPTS_VALUE && double(ts) * av_q2d(s.inStream->time_base) > seconds) return true;
    if (!s.WritePacket(out, reason)) return false;
  }
  return true;
}

bool CSoundTrack::Finish(AVFormatContext* out, std::string* reason) {
  CState& s = *m_state;
  if (!WriteUntil(out, -1, reason)) return false;
  if (s.copy) return true;
  if (!s.Decode(out, nullptr, reason)) return false;
  if (!s.Convert(nullptr, reason)) return false;
  if (!s.EncodeFifo(out, true, reason)) return false;
  return s.Encode(out, nullptr, reason);
}
