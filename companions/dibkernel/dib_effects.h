// DibKernel picture effects: a water ripple animation over a picture and a
// diamond-cell mosaic. Results are new 32-bit DIBs owned by the caller
// (DibFree).
#pragma once

#include <vector>

#include "companions/base/dib.h"

// Water ripples over a picture.
//   1. InitializeParams(picture)   copies the picture, clears the water
//   2. StartToRipple()             drops a stone in the middle (or at x, y)
//   3. NextToRipple()              advances the water one step and returns
//                                  the refracted picture, as often as wanted
//   4. EndToRipple()               frees the state (also done by the destructor)
// The water is two height fields; each step spreads them to the neighbours
// and damps them by 1/32, so the rings fade out on their own.
class CRippleEffect {
 public:
  // False (and no state) for a null, invalid or non-32-bit picture.
  bool InitializeParams(const BITMAPINFOHEADER* dib);
  // Disturbs the water around (x, y) (from the top) within radius pixels.
  // False before InitializeParams.
  bool StartToRipple();
  bool StartToRipple(int x, int y, int radius, int depth);
  // The next frame; null before InitializeParams or when memory runs out.
  BITMAPINFOHEADER* NextToRipple();
  void EndToRipple();

 private:
  DibPtr m_picture;
  int m_width = 0, m_height = 0;
  std::vector<int> m_current, m_previous;
};

// Diamond mosaic: the picture cut into diamonds (squares turned by 45
// degrees) whose diagonals are cellSize pixels; every pixel takes the colour
// at its diamond's centre. Null for a bad picture or a cell size below 1.
BITMAPINFOHEADER* DiamondEffectDIB(const BITMAPINFOHEADER* dib, int cellSize);
