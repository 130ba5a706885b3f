// The in-memory animation: a canvas, the ordered object list (first = bottom)
// and the ordered frame list (play order).
//
// Invariant: every frame holds exactly one reference per object, and the j-th
// reference of every frame refers to the j-th object. The operations below
// that add, remove or reorder objects do so in every frame at once;
// CheckInvariant tells whether the invariant holds.
#pragma once

#include <string>
#include <vector>

#include "app/gif_frame.h"

using CRefDibsList = std::vector<RefPtr<CDib>>;
using CGifFrameArray = std::vector<RefPtr<CGifFrame>>;

class CGifImage {
 public:
  CGifImage() = default;
  CGifImage(const CGifImage&) = delete;
  CGifImage& operator=(const CGifImage&) = delete;
  virtual ~CGifImage() = default;

  // Empties frames and objects.
  void Clear();
  // Resets the five output settings (colour count, reduction, quality, matte,
  // optimize frames) to their defaults.
  void ResetOutputSettings();
  // Moves frames, objects, canvas and settings of other into this model
  // (other is left empty).
  void TakeOver(CGifImage& other);

  // Re-establishes the invariant after an import: the objects are reordered
  // by first use, unused objects dropped; each frame shows its own references
  // and copies (with their stored visibility) the first reference of others.
  void NormalizeObjectReferences();
  bool CheckInvariant() const;

  int GetFrameCount() const { return int(m_frames.size()); }
  int GetObjectCount() const { return int(m_objects.size()); }
  CGifFrame* GetFrame(int i) const;  // null outside the array
  int IndexOfFrame(const CGifFrame* frame) const;  // -1 when absent
  int IndexOfObject(const CDib* object) const;     // -1 when absent

  // Frame list operations; frames must already hold one reference per object.
  bool InsertFrame(int index, RefPtr<CGifFrame> frame);
  RefPtr<CGifFrame> RemoveFrame(int index);
  bool MoveFrame(int from, int to);
  // A new frame with default fields whose references copy template's
  // placement, lock and transparency but are hidden (all at (0, 0) and hidden
  // without a template).
  RefPtr<CGifFrame> CreateBlankFrame(const CGifFrame* templ) const;

  // Object operations, applied to every frame. InsertObject gives every frame
  // a reference (hidden, at (0, 0)) unless refs provides one per frame.
  bool InsertObject(int index, RefPtr<CDib> object, const CRefImageObjectList* refs = nullptr);
  // Inserts shared's object with every frame reading a copy of shared.
  bool InsertObjectShared(int index, RefPtr<CRefImageObject> shared);
  bool RemoveObject(int index);
  bool MoveObject(int from, int to);

  std::int32_t m_nWidth = 0;
  std::int32_t m_nHeight = 0;
  std::int32_t m_nImageColorIndex = 0;
  COLORREF m_clrBackground = 0xFFFFFF;
  std::int32_t m_nTransparencyState = 0;
  CGifFrameArray m_frames;
  CRefDibsList m_objects;
  std::int32_t m_bLoopForever = 1;
  std::int32_t m_nLoopCount = 1;
  std::string m_strSource;
  std::int32_t m_nOutputColors = 256;
  std::int32_t m_nOutputReduction = 0;
  std::int32_t m_nOutputQuality = 100;
  COLORREF m_clrOutputMatte = 0xFFFFFF;
  std::int32_t m_bOptimizeFrames = 1;
  // Extensions an opened GIF carried that the model does not interpret
  // (comments, XMP, ICC, other application blocks), each kept whole from its
  // introducer to its terminator and written back on GIF export; the loop
  // count its NETSCAPE block gave (-1: none), so a count of one play is
  // written back as it came. Neither is stored in projects.
  std::vector<std::vector<std::uint8_t>> m_gifExtensions;
  std::int32_t m_nGifFileLoop = -1;
};
