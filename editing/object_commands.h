// The document's object commands (objects list, property bars, text and
// shape tools, convert). Each checks its arguments first, then records
// exactly one undoable action, marks the document modified, makes the
// change and tells the views. A refused command changes nothing, records
// nothing and says why in the result's message.
//
// Commands without an index work on the selected objects
// (doc.m_selectedObjects). Per-frame properties (position, visibility, lock,
// transparency) change on the frames a CFrameTargets names: the current frame
// by default, else the selected frames, every frame or a list; several
// frames are still one action.
#pragma once

#include <string>
#include <vector>

#include "app/loopwright_doc.h"
#include "companions/shapes/TevCustomPathLib.h"
#include "companions/base/tr.h"

struct ObjectResult {
  bool ok = true;
  std::string message;
  static ObjectResult Done() { return {}; }
  static ObjectResult Refused(std::string why) { return {false, std::move(why)}; }
};

struct CFrameTargets {
  enum Scope { CURRENT, SELECTED, ALL, LIST };
  Scope scope = CURRENT;
  std::vector<int> frames;  // for LIST
};

// The messages a user sees when a command is refused.
extern const TrText kNothingToTrimMessage;   // "所选对象有/有没有多余的透明帧！"
extern const TrText kAlreadyAtBackMessage;   // "您所选择对象/一直在后面！"
extern const TrText kAlreadyAtFrontMessage;  // "您所选择对象/一直在前面！"
extern const TrText kNoVisibleObjectMessage; // "从选定的对象，可以发现无可见的对象！"
extern const TrText kLockedObjectsMessage;

// Longest object name, in bytes of UTF-8.
constexpr std::size_t kMaxObjectNameBytes = 1024;

// A blank raster object (width x height, canvas size when 0), fully
// transparent, or opaque in fill (0xBBGGRR) when fill is not negative;
// default name, on top, at (0, 0), shown only on the current frame.
ObjectResult NewObject(CLoopwrightDoc& doc, int width = 0, int height = 0, int fill = -1);
// Puts a built object on top with a reference at (x, y) in every frame,
// shown only on the current frame; names it and builds its shadow (kind
// shadowKind). The step reads "Undo Add Text" for a text, "Undo Paint
// Shape" for a shape and "撤消新建对象" for any other object, unless
// listKind names another list action kind (a paste).
ObjectResult AddObjectOnTop(CLoopwrightDoc& doc, RefPtr<CDib> object, int x, int y, int shadowKind,
                            int listKind = -1);

// Copies above their originals, same references in every frame; the copies
// become the selection.
ObjectResult DuplicateSelectedObjects(CLoopwrightDoc& doc);
ObjectResult DeleteSelectedObjects(CLoopwrightDoc& doc);
// The selected objects visible on the current frame composed into one
// canvas-size object in place of the top-most of them; the selected
// objects leave the list. The new object shows only on the current frame.
ObjectResult CombineSelectedObjects(CLoopwrightDoc& doc);
// Everything the current frame shows composed into one canvas-size object
// on top, shown there; the objects it was made of are hidden on that frame.
ObjectResult MakeFrameSingleObject(CLoopwrightDoc& doc);
// kind: 0 to front, 1 to back, 2 forward, 3 backward.
ObjectResult ReorderSelectedObjects(CLoopwrightDoc& doc, int kind);

ObjectResult SetSelectedVisible(CLoopwrightDoc& doc, bool visible, const CFrameTargets& frames = {});
ObjectResult SetSelectedLocked(CLoopwrightDoc& doc, bool locked, const CFrameTargets& frames = {});
ObjectResult SetSelectedTransparency(CLoopwrightDoc& doc, int transparency, const CFrameTargets& frames = {});
// Moves by (dx, dy), or places at (x, y) when absolute.
ObjectResult MoveSelectedObjects(CLoopwrightDoc& doc, int dx, int dy, bool absolute = false,
                                 const CFrameTargets& frames = {});
enum class AlignKind { LEFT, RIGHT, TOP, BOTTOM, HCENTER, VCENTER, CENTER };
// One selected object aligns to the canvas, several to their bounding box
// (on each frame, over the selected objects that frame shows).
ObjectResult AlignSelectedObjects(CLoopwrightDoc& doc, AlignKind kind, const CFrameTargets& frames = {});

// Cuts the fully transparent border off the selected raster objects.
ObjectResult TrimSelectedObjects(CLoopwrightDoc& doc);
// Generator objects become plain raster objects (same pixels).
ObjectResult ConvertSelectedToImage(CLoopwrightDoc& doc);

ObjectResult RenameObject(CLoopwrightDoc& doc, int index, const std::string& name);
// Scale factors 0.001 to 1000 of a picture, shape or text object.
ObjectResult ScaleObject(CLoopwrightDoc& doc, int index, double scaleX, double scaleY);
// Angle in degrees, -360 to 360, clockwise.
ObjectResult RotateObject(CLoopwrightDoc& doc, int index, double degrees);
// Resampling filter of a picture object (TevVecLib filter numbers).
ObjectResult SetTransformFilter(CLoopwrightDoc& doc, int index, int filter);
ObjectResult EditText(CLoopwrightDoc& doc, int index, const std::string& utf8);

enum class StyleKey {
  FILL,
  OUTLINE,
  OUTLINE_WIDTH,
  DASH,
  FILL_INSIDE,
  STROKE_OUTLINE,
  FILL_GRADIENT,
  OUTLINE_GRADIENT,
  TRANSPARENCY,
  SHADOW,
};
struct CStyleValue {
  double number = 0;  // colour, width, dash, flag, transparency, shadow kind
  TevVecLib::CTevGradientColors gradient;
  std::int32_t fillMode = 1;  // with FILL_GRADIENT
};
// One render setting of the selected shape and text objects (the shadow of
// any selected object).
ObjectResult SetSelectedStyle(CLoopwrightDoc& doc, StyleKey key, const CStyleValue& value);
