// The painting tools: brush (CLineTool), eraser (CEraseTool), fill
// (CFloodTool) and pick colour (CPickColorTool). Their settings are the
// preference keys the view's tool set holds (CToolSet::m_settings).
#pragma once

#include <string>
#include <vector>

#include "app/ref_obj.h"
#include "editing/paint_actions.h"
#include "tools/tool_base.h"

class CRefImageObject;

// Chooses the object a stroke paints on and keeps what undo needs: the
// picture at the start of the gesture and the object's position then. The
// stroke's points are image points (the scroll position is added once, by
// the view's conversion).
class CPaintOpTool : public CDefaultTool {
 public:
  explicit CPaintOpTool(CToolState& state) : m_state(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  virtual std::string GetNoObjectMessage() const = 0;
  virtual std::string GetNoSelectionMessage() const = 0;
  std::size_t StrokePoints() const { return m_points.size(); }

 protected:
  // The pen and mode from the settings.
  virtual CPenStyle Pen(const CEditPictureView& view) const = 0;
  virtual bool Beeline(const CEditPictureView& view) const = 0;
  // Called once the target is chosen (the brush grows the picture here).
  virtual void BeginStroke(CEditPictureView&) {}
  virtual bool PaintOne(CEditPictureView& view, POINT a, POINT b) = 0;
  // Trims (brush) and records the gesture.
  virtual void Finish(CEditPictureView& view) = 0;
  POINT Origin() const;
  void Reset();

  CToolState& m_state;
  RefPtr<CRefImageObject> m_target;
  DibPtr m_pSaved;        // the picture when the gesture began
  POINT m_savedOrigin{0, 0};
  std::vector<POINT> m_points;
  CSelectionLevels m_levels;
  bool m_bPainted = false;
};

class CLineTool : public CPaintOpTool {
 public:
  using CPaintOpTool::CPaintOpTool;
  std::string GetNoObjectMessage() const override;
  std::string GetNoSelectionMessage() const override;

 protected:
  CPenStyle Pen(const CEditPictureView& view) const override;
  bool Beeline(const CEditPictureView& view) const override;
  void BeginStroke(CEditPictureView& view) override;
  bool PaintOne(CEditPictureView& view, POINT a, POINT b) override;
  void Finish(CEditPictureView& view) override;
};

class CEraseTool : public CPaintOpTool {
 public:
  using CPaintOpTool::CPaintOpTool;
  std::string GetNoObjectMessage() const override;
  std::string GetNoSelectionMessage() const override;

 protected:
  CPenStyle Pen(const CEditPictureView& view) const override;
  bool Beeline(const CEditPictureView& view) const override;
  bool PaintOne(CEditPictureView& view, POINT a, POINT b) override;
  void Finish(CEditPictureView& view) override;
};

// Fills at the clicked point with either button.
class CFloodTool : public CDefaultTool {
 public:
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  ContextMenu OnRButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  // The fill itself; false when nothing changed.
  bool FillAt(CEditPictureView& view, POINT client);
};

// Samples the frame's composed colour: moving shows it next to the pointer,
// the left button takes it as background and fill colour, the right button
// as foreground and brush colour. A fully transparent pixel changes nothing.
class CPickColorTool : public CDefaultTool {
 public:
  explicit CPickColorTool(CToolState& state) : m_state(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  ContextMenu OnRButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  // Takes the colour under the client point; false for a transparent pixel
  // or a point off the canvas.
  bool Pick(CEditPictureView& view, POINT client, bool right);

 private:
  CToolState& m_state;
  DWORD m_sample = 0;  // 0xAARRGGBB under the pointer
  POINT m_at{0, 0};    // client point of the sample
};

// The frame's composed colour (0xAARRGGBB) at an image point; false off the canvas.
bool ComposedPixel(const CLoopwrightDoc& doc, POINT image, DWORD& argb);
