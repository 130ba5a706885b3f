// Transition performers: the editor-side class of each transition effect.
// A performer picks the effect library class, turns its stored options into
// constructor arguments and post-processes the picture into a new frame
// object reference.
//
// Usage: 1. the generator builds the source reference (the composed frame or
// the selected object) 2. for i = 0 .. N - 1 it calls BuildFrameObject(source,
// i, N) 3. it inserts the references it got (transition_generator.h).
//
// Every performer starts with the flags 0x8047 (offered always, bit 1,
// fading allowed, appear, insert new frames); a few start otherwise (see
// effect_performer_classes.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/gif_frame.h"

enum EffectPerformFlags : std::uint32_t {
  EFFECT_OFFERED_ALWAYS = 0x01,   // clear: only in object mode with an object selected
  EFFECT_RESERVED = 0x02,
  EFFECT_FADE_ALLOWED = 0x04,
  EFFECT_FADE = 0x08,             // transparency follows the progress
  EFFECT_OBJECT_MODE = 0x10,      // clear: the whole frame
  EFFECT_TEXT_ONLY = 0x20,        // offered only for a selected text object
  EFFECT_APPEAR = 0x40,           // clear: disappear
  EFFECT_SWITCH1 = 0x80,          // flip: vertical axis; zoom: magnify
  EFFECT_SWITCH2 = 0x100,         // flip: reverse
  EFFECT_INSERT_FRAMES = 0x8000,  // object mode: new frames; clear: the frames around the key frame
  EFFECT_DEFAULT_FLAGS = 0x8047,
};

// One option of a performer: an int parameter slot (0 to 2) or a flag bit.
struct CEffectParamInfo {
  const char* name;  // ASCII key used by scripts
  int slot;          // parameter index, or -1 for a flag
  std::uint32_t flag;
  int def, lo, hi;
};

class CEffectPerform;

// The options page: edits the performer's parameters within their ranges.
// Present only while the performer is selected.
class CEffectOptionsPage {
 public:
  explicit CEffectOptionsPage(CEffectPerform& performer) : m_performer(performer) {}
  // Sets the named option; false for an unknown name or a value outside its
  // range (nothing changes then).
  bool SetValue(const std::string& name, int value);
  bool GetValue(const std::string& name, int& value) const;

 private:
  CEffectPerform& m_performer;
};

class CEffectPerform {
 public:
  explicit CEffectPerform(int galleryId, int p0 = 0, int p1 = 0, int p2 = 0);
  CEffectPerform(const CEffectPerform&) = delete;
  CEffectPerform& operator=(const CEffectPerform&) = delete;
  virtual ~CEffectPerform();

  // Virtual slots in order.
  virtual void GetEffectName(std::string& name) const = 0;
  // Creates the options page (nothing for effects without options); 1.
  virtual int CreateOptionsPage(void* parent);
  virtual int DestroyOptionsPage();
  // The reference for generated picture index of count; null when nothing
  // could be built (the frame then shows no picture).
  virtual RefPtr<CRefImageObject> BuildFrameObject(const CRefImageObject& source, int index, int count) = 0;
  // A new picture of the effect at progress (fixed-position performers).
  virtual DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress);
  // Moves the new reference after rendering (dynamic-position performers).
  virtual void AdjustPosition(const CRefImageObject& source, CRefImageObject& ref);
  // The options the page edits.
  virtual std::vector<CEffectParamInfo> GetParamInfo() const { return {}; }

  bool IsAppear() const { return (m_nFlags & EFFECT_APPEAR) != 0; }
  bool IsObjectMode() const { return (m_nFlags & EFFECT_OBJECT_MODE) != 0; }
  bool IsFading() const { return (m_nFlags & (EFFECT_FADE | EFFECT_FADE_ALLOWED)) == (EFFECT_FADE | EFFECT_FADE_ALLOWED); }
  bool InsertsFrames() const { return (m_nFlags & EFFECT_INSERT_FRAMES) != 0; }
  void SetFlag(std::uint32_t flag, bool on) { m_nFlags = on ? (m_nFlags | flag) : (m_nFlags & ~flag); }
  CEffectOptionsPage* GetOptionsPage() const { return m_pOptionsPage.get(); }

  // Progress of picture i of n: (i + 1) / (n + 1) appearing, 1 - (i + 1) / n
  // disappearing.
  static double FrameProgress(int index, int count, bool appear);
  // Transparency of picture i of n faded from t0 (integer arithmetic).
  static int FadeTransparency(int t0, int index, int count, bool appear);

  std::uint32_t m_nFlags = EFFECT_DEFAULT_FLAGS;
  int m_nGalleryId;
  std::unique_ptr<CEffectOptionsPage> m_pOptionsPage;
  int m_nParam[3];

 protected:
  // The common finish of a generated reference whose object is new: the
  // picture is trimmed to its opaque bounding box (the reference moves by
  // the trimmed left and top), the shadow is rebuilt from source's settings
  // in object mode, and the fade applies. Null for a fully transparent
  // picture.
  RefPtr<CRefImageObject> FinishNewObject(const CRefImageObject& source, RefPtr<CRefImageObject> ref, int index,
                                          int count) const;
  // A copy of source (position, lock, visibility, transparency) showing object.
  static RefPtr<CRefImageObject> CopyReference(const CRefImageObject& source, RefPtr<CDib> object);
  // Applies the fade of picture i of n to ref (when fading is on).
  void ApplyFade(const CRefImageObject& source, CRefImageObject& ref, int index, int count) const;
};

// Performers with an options page.
class CEffectPerformWithOptions : public CEffectPerform {
 public:
  using CEffectPerform::CEffectPerform;
  int CreateOptionsPage(void* parent) override;
};

// Performers that render through RenderEffectDib; the new reference keeps
// the source position.
class CEffectPerformWidthFixedPos : public CEffectPerformWithOptions {
 public:
  using CEffectPerformWithOptions::CEffectPerformWithOptions;
  RefPtr<CRefImageObject> BuildFrameObject(const CRefImageObject& source, int index, int count) override;
};

// Fixed-position performers whose reference is moved after rendering.
class CEffectPerformWidthDynamicPos : public CEffectPerformWidthFixedPos {
 public:
  using CEffectPerformWidthFixedPos::CEffectPerformWidthFixedPos;
};

// The 34 performers in the order of the effect list.
std::vector<std::unique_ptr<CEffectPerform>> CreateEffectPerformers();
// The ASCII script name of list entry i ("" outside 0..33), and the entry of
// a name (-1 when unknown).
const char* EffectScriptName(int index);
int FindEffectByScriptName(const std::string& name);
// Whether the effect list offers the performer: bit 0 clear needs object mode
// with an object selected; bit 5 needs a selected text object.
bool IsEffectOffered(const CEffectPerform& performer, bool objectSelected, bool textSelected);
