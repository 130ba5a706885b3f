// The sound stream of a video export: the audio of any file FFmpeg reads
// (WAV, MP3, a video's sound track), copied packet by packet when the output
// container holds its codec, otherwise decoded and encoded again (16-bit PCM
// for AVI, AAC for MP4, Opus or Vorbis for WebM). Every sample is kept,
// however long the video is.
//
// 1. Open (before anything is written, so a bad sound file costs nothing)
// 2. AddStream on the output before its header 3. WriteUntil(t) after each
// video frame, so the streams interleave 4. Finish after the last frame.
#pragma once

#include <memory>
#include <string>

struct AVFormatContext;

class CSoundTrack {
 public:
  CSoundTrack();
  ~CSoundTrack();
  CSoundTrack(const CSoundTrack&) = delete;
  CSoundTrack& operator=(const CSoundTrack&) = delete;

  // Opens path and picks its main audio stream; false when the file cannot
  // be read or holds no audio.
  bool Open(const std::string& path, std::string* reason);
  // Adds the sound stream to out (its muxer decides between copy and encode).
  bool AddStream(AVFormatContext* out, std::string* reason);
  // Writes the sound up to seconds of play time.
  bool WriteUntil(AVFormatContext* out, double seconds, std::string* reason);
  // Writes the rest of the sound and drains the encoder.
  bool Finish(AVFormatContext* out, std::string* reason);
  // True when the packets are copied unchanged.
  bool Copies() const;

 private:
  struct CState;
  std::unique_ptr<CState> m_state;
};
