#include "export/video_frames.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/libav.h"

#include "app/compose.h"
#include "companions/imageio/codec_io.h"

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

}  // namespace

CAviRate ChooseAviRate(const std::vector<int>& delays) {
  const double n = double(delays.size());
  double total = 0;
  for (int d : delays) total += EffectiveDelay(d);
  if (delays.empty() || total <= 0) return {};
  const auto rateFor = [&](std::uint32_t s) { return std::uint64_t(double(s) * 100.0 * n / total + 0.5); };
  std::uint32_t first = 1;
  while (rateFor(first) == 0) ++first;
  const std::uint32_t last = std::max<std::uint32_t>(10, first * 2);
  CAviRate best;
  double bestError = -1;
  for (std::uint32_t s = first; s <= last; ++s) {
    const std::uint64_t r = rateFor(s);
    if (r == 0 || r > 0xFFFFFFFFu) continue;
    const double error = std::fabs(total * double(r) - double(s) * 100.0 * n);
    if (bestError < 0 || error < bestError) {
      bestError = error;
      best = CAviRate{s, std::uint32_t(r)};
    }
  }
  return best;
}

std::vector<int> FrameDelays(const CGifImage& model) {
  std::vector<int> delays;
  delays.reserve(model.m_frames.size());
  for (const auto& frame : model.m_frames) delays.push_back(frame->m_nDelay);
  return delays;
}

DibPtr ComposeOnBackground(const CGifImage& model, int index, COLORREF background) {
  const CGifFrame* frame = model.GetFrame(index);
  if (!frame || model.m_nWidth <= 0 || model.m_nHeight <= 0) return nullptr;
  DibPtr canvas(DibAlloc(model.m_nWidth, model.m_nHeight, 32));
  DibPtr out(DibAlloc(model.m_nWidth, model.m_nHeight, 24));
  if (!canvas || !out) return nullptr;
  const BYTE b = BYTE(background >> 16), g = BYTE(background >> 8), r = BYTE(background);
  const LONG width = model.m_nWidth, height = model.m_nHeight;
  for (LONG y = 0; y < height; ++y) {
    BYTE* p = DibRow(canvas.get(), y);
    for (LONG x = 0; x < width; ++x, p += 4) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  }
  ComposeFrame(canvas.get(), POINT{0, 0}, *frame);
  for (LONG y = 0; y < height; ++y) {
    const BYTE* s = DibRow(canvas.get(), y);
    BYTE* d = DibRow(out.get(), y);
    for (LONG x = 0; x < width; ++x, s += 4, d += 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
  return out;
}

CVideoTempFile::~CVideoTempFile() {
  if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

bool CVideoTempFile::Create(std::string* reason) {
  // The encoder writes by name, so the temporary file is named; those of
  // earlier exports to this target that were killed go now.
  TevImageIO::RemoveStaleTempFiles(target_);
  const std::filesystem::path target(target_);
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX";
  std::string pattern = (dir / name).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    SetReason(reason, "cannot create a temporary file in " + dir.string() + ": " + std::strerror(errno));
    return false;
  }
  ::close(fd);
  temp_ = pattern;
  return true;
}

bool CVideoTempFile::Commit(std::string* reason) {
  std::error_code ec;
  // mkstemp made the file private; the video gets the usual permissions.
  std::filesystem::permissions(temp_,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                               ec);
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
    SetReason(reason, "cannot replace " + target_ + ": " + std::strerror(errno));
    return false;
  }
  committed_ = true;
  return true;
}

void COutputDeleter::operator()(AVFormatContext* c) const {
  if (!c) return;
  if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) Av().avio_closep(&c->pb);
  Av().avformat_free_context(c);
}

OutputPtr OpenVideoOutput(const std::string& format, const std::string& path, std::string* reason) {
  AVFormatContext* raw = nullptr;
  int rc = Av().avformat_alloc_output_context2(&raw, nullptr, format.c_str(), path.c_str());
  if (rc < 0 || !raw) {
    SetReason(reason, "no " + format + " writer: " + LibavError(rc));
    return nullptr;
  }
  OutputPtr out(raw);
  rc = Av().avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    SetReason(reason, "cannot write " + path + ": " + LibavError(rc));
    return nullptr;
  }
  return out;
}

bool CloseVideoOutput(OutputPtr& out, bool writeTrailer, std::string* reason) {
  bool ok = true;
  if (writeTrailer) {
    const int rc = Av().av_write_trailer(out.get());
    if (rc < 0) {
      SetReason(reason, "writing the index failed: " + LibavError(rc));
      ok = false;
    }
  }
  if (out->pb) {
    Av().avio_flush(out->pb);
    if (out->pb->error < 0 && ok) {
      SetReason(reason, "writing failed: " + LibavError(out->pb->error));
      ok = false;
    }
    if (Av().avio_closep(&out->pb) < 0 && ok) {
      SetReason(reason, "closing the file failed");
      ok = false;
    }
  }
  out.reset();
  return ok;
}

void CCodecDeleter::operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
void CFrameDeleter::operator()(AVFrame* f) const { Av().av_frame_free(&f); }
void CPacketDeleter::operator()(AVPacket* p) const { Av().av_packet_free(&p); }
void CSwsDeleter::operator()(SwsContext* s) const { Av().sws_freeContext(s); }

std::string LibavError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  Av().av_strerror(code, text, sizeof text);
  return text;
}

