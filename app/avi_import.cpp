#include "app/avi_import.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "app/libav.h"

#include "companions/base/progress.h"

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool Is(const unsigned char* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Reads n bytes at offset; false when the file is shorter.
bool ReadAt(std::ifstream& in, std::uint64_t offset, unsigned char* out, std::size_t n) {
  in.clear();
  in.seekg(std::streamoff(offset));
  in.read(reinterpret_cast<char*>(out), std::streamsize(n));
  return in && std::size_t(in.gcount()) == n;
}

// Chunk walker over [begin, end): calls visit(id, dataOffset, dataSize) for
// each chunk whose data lies inside the range, until visit returns true.
// A chunk running past the range ends the walk with false.
bool WalkChunks(std::ifstream& in, std::uint64_t begin, std::uint64_t end,
                const std::function<bool(const unsigned char* id, std::uint64_t data, std::uint64_t size)>& visit) {
  std::uint64_t at = begin;
  while (at + 8 <= end) {
    unsigned char head[8];
    if (!ReadAt(in, at, head, 8)) return false;
    const std::uint64_t size = Le32(head + 4);
    if (at + 8 + size > end) return false;
    if (visit(head, at + 8, size)) return true;
    at += 8 + size + (size & 1);
  }
  return false;
}

// libav* objects released by their own functions.
struct FormatClose {
  void operator()(AVFormatContext* c) const { Av().avformat_close_input(&c); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { Av().av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { Av().sws_freeContext(s); }
};

enum class PassEnd { Finished, OutOfMemory, Failed };

// One decoding run over the video stream of an AVI file.
class CAviDecodePass {
 public:
  bool Open(const std::string& path, std::string& reason) {
    AVFormatContext* raw = nullptr;
    if (Av().avformat_open_input(&raw, path.c_str(), Av().av_find_input_format("avi"), nullptr) < 0) {
      reason = "the AVI file could not be opened";
      return false;
    }
    m_format.reset(raw);
    if (Av().avformat_find_stream_info(raw, nullptr) < 0) {
      reason = "the AVI streams could not be read";
      return false;
    }
    const AVCodec* codec = nullptr;
    m_stream = Av().av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec) {
      reason = m_stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for the video stream" : "the file has no video stream";
      return false;
    }
    const AVStream* st = raw->streams[m_stream];
    m_codec.reset(Av().avcodec_alloc_context3(codec));
    if (!m_codec || Av().avcodec_parameters_to_context(m_codec.get(), st->codecpar) < 0 ||
        Av().avcodec_open2(m_codec.get(), codec, nullptr) < 0) {
      reason = "the video decoder could not be started";
      return false;
    }
    m_timeBase = st->time_base;
    m_nFrames = st->nb_frames;
    return true;
  }

  AVRational TimeBase() const { return m_timeBase; }
  std::int64_t StreamFrames() const { return m_nFrames; }

  // Feeds every decoded frame, in order, to take(index, frame); take returns
  // the pass end to stop with, or Finished to go on.
  PassEnd Run(const std::function<PassEnd(std::int64_t, const AVFrame&)>& take) {
    std::unique_ptr<AVPacket, PacketFree> packet(Av().av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(Av().av_frame_alloc());
    if (!packet || !frame) return PassEnd::OutOfMemory;
    std::int64_t index = 0;
    auto drain = [&]() -> PassEnd {
      for (;;) {
        const int rc = Av().avcodec_receive_frame(m_codec.get(), frame.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return PassEnd::Finished;
        if (rc == AVERROR(ENOMEM)) return PassEnd::OutOfMemory;
        if (rc < 0) return PassEnd::Failed;
        const PassEnd end = take(index++, *frame);
        Av().av_frame_unref(frame.get());
        if (end != PassEnd::Finished) return end;
      }
    };
    while (Av().av_read_frame(m_format.get(), packet.get()) >= 0) {
      if (packet->stream_index == m_stream) {
        const int rc = Av().avcodec_send_packet(m_codec.get(), packet.get());
        Av().av_packet_unref(packet.get());
        // A damaged packet is skipped, as a player would.
        if (rc == AVERROR(ENOMEM)) return PassEnd::OutOfMemory;
        if (rc < 0 && rc != AVERROR(EAGAIN)) continue;
        const PassEnd end = drain();
        if (end == PassEnd::Failed) continue;
        if (end != PassEnd::Finished) return end;
      } else {
        Av().av_packet_unref(packet.get());
      }
    }
    Av().avcodec_send_packet(m_codec.get(), nullptr);
    const PassEnd end = drain();
    return end == PassEnd::Failed ? PassEnd::Finished : end;
  }

 private:
  std::unique_ptr<AVFormatContext, FormatClose> m_format;
  std::unique_ptr<AVCodecContext, CodecFree> m_codec;
  int m_stream = -1;
  AVRational m_timeBase{0, 1};
  std::int64_t m_nFrames = 0;
};

// A decoded frame as a bottom-up 32-bit opaque DIB (null when out of memory
// or of an unusable size).
DibPtr ToDib(const AVFrame& f, std::unique_ptr<SwsContext, SwsFree>& sws) {
  if (f.width < 1 || f.height < 1 || f.width > kMaxDibDimension || f.height > kMaxDibDimension) return nullptr;
  DibPtr dib(DibAlloc(f.width, f.height, 32));
  if (!dib) return nullptr;
  SwsContext* ctx = Av().sws_getCachedContext(sws.release(), f.width, f.height, AVPixelFormat(f.format), f.width, f.height,
                                         AV_PIX_FMT_BGRA, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  sws.reset(ctx);
  if (!ctx) return nullptr;
  // Top row first with a negative stride: the DIB stores it last.
  const int pitch = int(DibStride(dib.get()));
  std::uint8_t* dst[4] = {DibRow(dib.get(), 0), nullptr, nullptr, nullptr};
  const int dstStride[4] = {-pitch, 0, 0, 0};
  if (Av().sws_scale(ctx, f.data, f.linesize, 0, f.height, dst, dstStride) != f.height) return nullptr;
  // Video frames are opaque whatever the source's fourth byte holds.
  for (LONG y = 0; y < f.height; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (int x = 0; x < f.width; ++x) row[4 * x + 3] = 255;
  }
  return dib;
}

struct CDecodeResult {
  std::vector<DibPtr> images;
  PassEnd end = PassEnd::Finished;
  AVRational timeBase{0, 1};
  std::int64_t streamFrames = 0;
};

// Decodes the frames keep() accepts while their bytes stay within cap.
bool DecodeFrames(const std::string& path, std::size_t cap, std::int64_t total, CTevCommonProgress* progress,
                  const std::function<bool(std::int64_t)>& keep, CDecodeResult& out, std::string& reason) {
  CAviDecodePass pass;
  if (!pass.Open(path, reason)) return false;
  out.timeBase = pass.TimeBase();
  out.streamFrames = pass.StreamFrames();
  total = std::max(total, out.streamFrames);
  std::unique_ptr<SwsContext, SwsFree> sws;
  std::size_t used = 0;
  bool cancelled = false;
  out.end = pass.Run([&](std::int64_t index, const AVFrame& frame) {
    if (!ReportProgressStep(progress, std::min(index + 1, std::max<std::int64_t>(total, 1)), total)) {
      cancelled = true;
      return PassEnd::Failed;
    }
    if (!keep(index)) return PassEnd::Finished;
    const std::size_t bytes = sizeof(BITMAPINFOHEADER) + DibPitch(frame.width, 32) * std::size_t(std::max(frame.height, 0));
    if (bytes > cap || used > cap - bytes) return PassEnd::OutOfMemory;
    try {
      DibPtr dib = ToDib(frame, sws);
      if (!dib) return PassEnd::OutOfMemory;
      out.images.push_back(std::move(dib));
    } catch (const std::bad_alloc&) {
      return PassEnd::OutOfMemory;
    }
    used += bytes;
    return PassEnd::Finished;
  });
  if (cancelled) {
    reason = "cancelled";
    return false;
  }
  return true;
}

int FrameDelay(AVRational tb, std::int64_t total, std::size_t decoded, bool all, const CAviMainHeader& header) {
  double scale = tb.num, rate = tb.den;
  if (tb.num <= 0 || tb.den <= 0) {
    if (header.microSecPerFrame == 0) return GetDefaultFrameDelay();
    scale = header.microSecPerFrame;
    rate = 1e6;
  }
  double delay = all ? std::floor(100.0 * scale / rate + 0.5)
                     : std::floor(100.0 * scale * double(total) / rate / double(decoded) + 0.5);
  return int(std::clamp(delay, 0.0, 65535.0));
}

}  // namespace

bool ReadAviMainHeader(const std::string& path, CAviMainHeader& header, std::string* reason) {
  header = {};
  std::error_code ec;
  const std::uint64_t fileSize = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  unsigned char riff[12];
  if (ec || !in || !ReadAt(in, 0, riff, 12)) {
    SetReason(reason, "the file cannot be read");
    return false;
  }
  if (!Is(riff, "RIFF") || !Is(riff + 8, "AVI ")) {
    SetReason(reason, "not an AVI file");
    return false;
  }
  // A file cut short keeps what it holds: the walk stops at its end.
  const std::uint64_t end = std::min<std::uint64_t>(fileSize, 8 + std::uint64_t(Le32(riff + 4)));
  bool found = false;
  WalkChunks(in, 12, end, [&](const unsigned char* id, std::uint64_t data, std::uint64_t size) {
    unsigned char type[4];
    if (!Is(id, "LIST") || size < 4 || !ReadAt(in, data, type, 4) || !Is(type, "hdrl")) return false;
    WalkChunks(in, data + 4, data + size, [&](const unsigned char* sub, std::uint64_t at, std::uint64_t len) {
      unsigned char avih[56];
      if (!Is(sub, "avih") || len < 56 || !ReadAt(in, at, avih, 56)) return false;
      header.microSecPerFrame = Le32(avih);
      header.totalFrames = Le32(avih + 16);
      header.streams = Le32(avih + 24);
      header.width = std::int32_t(Le32(avih + 32));
      header.height = std::int32_t(Le32(avih + 36));
      found = true;
      return true;
    });
    return true;
  });
  if (!found) {
    SetReason(reason, "the AVI main header is missing or damaged");
    return false;
  }
  if (header.width < 1 || header.height < 1 || header.width > kMaxDibDimension || header.height > kMaxDibDimension ||
      DibPitch(header.width, 32) * std::size_t(header.height) > kMaxDibBytes) {
    SetReason(reason, "the video size is out of range");
    return false;
  }
  return true;
}

bool ImportAviFile(CGifImage& model, const std::string& path, CTevCommonProgress* progress, std::string* reason,
                   std::size_t maxDecodedBytes) {
  model.Clear();
  CAviMainHeader header;
  if (!ReadAviMainHeader(path, header, reason)) return false;
  if (!LoadLibAv(reason)) return false;

  std::string why;
  CDecodeResult result;
  auto fail = [&](const std::string& text) {
    model.Clear();
    if (progress) progress->EndProgress();
    SetReason(reason, text);
    return false;
  };
  if (!DecodeFrames(path, maxDecodedBytes, header.totalFrames, progress, [](std::int64_t) { return true; }, result, why))
    return fail(why);
  std::int64_t total = result.streamFrames > 0 ? result.streamFrames : std::int64_t(header.totalFrames);
  bool all = result.end != PassEnd::OutOfMemory;
  if (!all) {
    const std::int64_t k = std::int64_t(result.images.size());
    if (k <= 2) return fail("not enough memory to decode the video");
    total = std::max(total, k);
    // Keep n = k / 3 frames: every s-th, starting at total mod n.
    const std::int64_t n = k / 3;
    std::int64_t s = total / n;
    if (s == 1) s = 2;
    const std::int64_t start = total % n;
    result.images.clear();
    auto sampled = [n, s, start](std::int64_t i) { return i >= start && (i - start) % s == 0 && (i - start) / s < n; };
    if (!DecodeFrames(path, maxDecodedBytes, total, progress, sampled, result, why)) return fail(why);
    if (result.end == PassEnd::OutOfMemory) return fail("not enough memory to decode the video");
  }
  if (progress) progress->EndProgress();
  if (result.images.empty()) return fail("no frame could be decoded");

  const std::uint16_t delay = std::uint16_t(FrameDelay(result.timeBase, total, result.images.size(), all, header));
  try {
    for (DibPtr& image : result.images) {
      auto object = MakeRef<CDib>(std::move(image));
      model.m_objects.push_back(object);
      auto frame = MakeRef<CGifFrame>(delay);
      frame->m_refs.push_back(MakeRef<CRefImageObject>(object));
      model.m_frames.push_back(frame);
    }
  } catch (const std::bad_alloc&) {
    return fail("not enough memory for the frames");
  }
  model.m_nWidth = header.width;
  model.m_nHeight = header.height;
  model.m_nTransparencyState = 0;
  return true;
}
