// The frames of a GIF as they come out of the decoder, before the file has
// become the document: each decoded picture is kept as the decoder made it
// (palette depth, so the store stays small) and any arrived frame can be
// composed again on request. The decoding thread adds; any thread reads.
#pragma once

#include <QImage>
#include <QRect>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "companions/base/dib.h"


// One decoded GIF picture and how it lands on the canvas.
struct CArrivedPicture {
  DibPtr picture;
  int x = 0, y = 0;
  int transparentIndex = -1;
  unsigned char graphicControl = 0;  // disposal in bits 2-4
  int delay = 0;                     // hundredths of a second
};

// Draws GIF pictures one after another honouring the disposal methods:
// 2 clears the picture's place to transparent, 3 restores what was there.
class CGifComposer {
 public:
  CGifComposer(int width, int height);
  // The canvas after drawing the next picture (null when memory ran out).
  const QImage& Next(const CArrivedPicture& picture);

 private:
  QImage m_canvas, m_saved;
  int m_nPendingDisposal = 0;
  QRect m_pendingRect;
};

class CArrivedFrames {
 public:
  void SetCanvas(int width, int height);
  // Takes the picture out of the block; returns the frame's index.
  int Add(std::shared_ptr<const CArrivedPicture> picture);
  int Count() const;
  // Frame index composed at canvas size; null when it has not arrived.
  QImage Compose(int index) const;

 private:
  mutable std::mutex m_mutex;
  int m_nWidth = 0, m_nHeight = 0;
  std::vector<std::shared_ptr<const CArrivedPicture>> m_pictures;
};

class CTevCommonProgress;

// Decodes the GIF at path into frames, adding each to frames as soon as the
// reader has it and calling onFrame(index, canvas, delay) on this thread
// with the composed canvas. Stops when progress is cancelled. False when
// the file cannot be decoded at all or its canvas is unusable; frames that
// arrived before a failure stay.
bool DecodeArrivingFrames(const std::string& path, CArrivedFrames& frames, CTevCommonProgress& progress,
                          const std::function<void(int, const QImage&, int)>& onFrame);

// A decoded picture as ARGB: the mask's clear bits and the transparent
// palette index become transparent.
QImage BlockImage(const BITMAPINFOHEADER* picture, const BITMAPINFOHEADER* mask, int transparentIndex);
