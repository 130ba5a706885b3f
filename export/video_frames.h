// What every video export shares: the frame timing (rate rule, key frames),
// the frames composed onto a solid background, the private temporary file
// beside the target, and the libav* object deleters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/base/progress.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// A GIF delay of 0 plays as 10 hundredths in browsers; videos use the same.
constexpr int kZeroDelayHundredths = 10;
inline int EffectiveDelay(int delay) { return delay > 0 ? delay : kZeroDelayHundredths; }

// The stream's frame rate as rate / scale frames per second.
struct CAviRate {
  std::uint32_t scale = 1;
  std::uint32_t rate = 1;
};

// The pair that makes n frames last as long as the delays (hundredths):
// for scale s = 1..10, rate r = round(s * 100 * n / D) with error
// |D * r - s * 100 * n|; the smallest error wins, ties keep the smaller
// scale. Zero delays count as kZeroDelayHundredths. Pairs with r = 0 never
// win: when every scale up to 10 gives 0 (frames of many seconds) the search
// runs on to twice the first scale that gives 1. An empty list gives 1 / 1.
CAviRate ChooseAviRate(const std::vector<int>& delays);

// Frames 0, 15, 30, ... are marked as key frames in the stream index
// (the muxer marks every frame of the intra-only DIB and MJPEG streams).
inline bool IsAviKeyFrame(int index) { return index % 15 == 0; }

// The model's delays in play order.
std::vector<int> FrameDelays(const CGifImage& model);

// Frame index composed at canvas size onto background (0x00BBGGRR, full
// opacity), as a bottom-up 24-bit picture; null when the canvas is empty or
// the memory is lacking.
DibPtr ComposeOnBackground(const CGifImage& model, int index, COLORREF background);

// A target written through a temporary file in the target's folder: Create
// makes a name not yet taken ("<dir>/.<name>.XXXXXX"), Commit renames it over
// the target, and the destructor removes it unless committed.
class CVideoTempFile {
 public:
  explicit CVideoTempFile(std::string target) : target_(std::move(target)) {}
  ~CVideoTempFile();
  CVideoTempFile(const CVideoTempFile&) = delete;
  CVideoTempFile& operator=(const CVideoTempFile&) = delete;

  bool Create(std::string* reason);
  bool Commit(std::string* reason);
  const std::string& Path() const { return temp_; }

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

// An output context with its file: Close writes the trailer when the header
// went out and closes the file; the destructor closes without a trailer.
struct COutputDeleter {
  void operator()(AVFormatContext* c) const;
};
using OutputPtr = std::unique_ptr<AVFormatContext, COutputDeleter>;
// Opens path for writing with the muxer named format. Null and reason on failure.
OutputPtr OpenVideoOutput(const std::string& format, const std::string& path, std::string* reason);
bool CloseVideoOutput(OutputPtr& out, bool writeTrailer, std::string* reason);

struct CCodecDeleter {
  void operator()(AVCodecContext* c) const;
};
struct CFrameDeleter {
  void operator()(AVFrame* f) const;
};
struct CPacketDeleter {
  void operator()(AVPacket* p) const;
};
struct CSwsDeleter {
  void operator()(SwsContext* s) const;
};
using CodecPtr = std::unique_ptr<AVCodecContext, CCodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, CFrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, CPacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, CSwsDeleter>;

// libav* error code as text.
std::string LibavError(int code);

// Choices of one video export (the option page's, or the command line's).
enum AVI_CODEC : int {
  AVI_CODEC_DIB = 0,    // uncompressed: 8 bits with a common palette when the frames fit one, else 24
  AVI_CODEC_RLE = 1,    // "mrle": BI_RLE8 frames in a palette of at most 256 colours
  AVI_CODEC_MJPEG = 2,  // Motion JPEG
};
struct CVideoExportOptions {
  int codec = AVI_CODEC_MJPEG;  // AVI only
  int quality = 90;             // MJPEG quality 1 (smallest) .. 100 (best)
  int crf = -1;                 // MP4/WebM constant quality; -1: the encoder's default
  long long background = -1;    // 0x00BBGGRR; -1: the animation's background colour
  std::string soundPath;        // empty: no sound
  CAviRate aviRate{1, 0};       // AVI frames per second as rate / scale; rate 0: from the delays
};
