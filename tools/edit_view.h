// CEditPictureView: the editing view as a model without any window. It keeps
// the scroll position, the canvas origin, the zoom factor, the pixel
// selection (a mask placed at its offset in image coordinates), the selected
// object and the current tool; it turns client points into image points,
// passes mouse events to the current tool and renders what a window would
// show (the current frame at its zoom, the selection outline and the tool's
// feedback) into a 32-bit picture. A desktop window only blits that picture
// and forwards its mouse events; scripts and tests call the same functions.
//
// Usage: 1. construct on a document 2. SetTool / SetZoom / SetScroll
// 3. OnLButtonDown / OnMouseMove / OnLButtonUp / OnLButtonDblClk with the
// key flags (MK_SHIFT 4, MK_CONTROL 8) and client points 4. Render().
#pragma once

#include <memory>

#include "app/loopwright_doc.h"
#include "editing/pixel_edit_actions.h"
#include "imaging/obj_selection.h"
#include "imaging/zoom_scale.h"
#include "tools/tool_set.h"

class CEditPictureView : public CDocObserver {
 public:
  static constexpr int kMinZoom = -16;
  static constexpr int kMaxZoom = 32;

  explicit CEditPictureView(CLoopwrightDoc& doc);
  ~CEditPictureView() override;
  // A document emptied (new or open clears the history, which every
  // selection change is recorded in) drops the selection of the old one.
  void OnUpdate(int hint, CGifFrame* frame) override;
  CEditPictureView(const CEditPictureView&) = delete;
  CEditPictureView& operator=(const CEditPictureView&) = delete;

  CLoopwrightDoc& Doc() const { return m_doc; }

  // Zoom factor as CTevZoomScale reads it; false (unchanged) outside
  // kMinZoom..kMaxZoom. The selection outline is remade for the new factor.
  bool SetZoom(int factor);
  int GetZoom() const { return m_zoom.GetZoomScale(); }
  const TevImageTransform::CTevZoomScale& Zoom() const { return m_zoom; }
  // Scroll position (client point + scroll = scrolled view point); false
  // for negative values.
  bool SetScroll(int x, int y);
  POINT GetScroll() const { return m_scroll; }
  void SetCanvasOrigin(POINT origin) { m_origin = origin; }
  POINT GetCanvasOrigin() const { return m_origin; }
  // Client size used by Render (0: the whole scaled canvas plus the origin).
  void SetClientSize(int width, int height);

  // Client point to image point: add the scroll, take off the canvas origin,
  // then divide by a magnifying factor or multiply by a reducing one.
  POINT ClientToImage(POINT client) const { return ScrolledToImage({client.x + m_scroll.x, client.y + m_scroll.y}); }
  POINT ScrolledToImage(POINT scrolled) const;
  POINT ClientToScrolled(POINT client) const { return {client.x + m_scroll.x, client.y + m_scroll.y}; }

  // The pixel selection; its position is the selection's offset.
  TevImageTransform::CTevObjSelection& Selection() { return m_selection; }
  const TevImageTransform::CTevObjSelection& Selection() const { return m_selection; }
  bool HasSelection() const { return !m_selection.IsSelectionEmpty(); }
  // Mask level at an image point (0 outside).
  bool IsInSelection(POINT image) const { return m_selection.GetPosLevel(image.x, image.y) != 0; }
  // After a change of the mask: remakes the outline at the view's zoom.
  void SelectionChanged();

  // The current tool (null: none) and its number (-1: none).
  bool SetTool(int number);
  CDefaultTool* GetTool() const { return m_pTool; }
  int GetToolNumber() const { return m_nTool; }
  CToolSet& Tools() { return m_tools; }
  // The in-process clipboard (a desktop window maps it to the system one).
  CPixelClipboard& Clipboard() { return m_clipboard; }

  // Mouse events in client coordinates; true when the tool handled them. A
  // double click the tool leaves unhandled on a text object opens the text
  // tool's entry for it (Tools().m_text.Confirm edits it).
  bool OnLButtonDown(unsigned flags, POINT point);
  bool OnMouseMove(unsigned flags, POINT point);
  bool OnLButtonUp(unsigned flags, POINT point);
  bool OnLButtonDblClk(unsigned flags, POINT point);
  // Which context menu to show (the object menu when there is no tool;
  // MENU_NONE when the tool used the click).
  ContextMenu OnRButtonDown(unsigned flags, POINT point);
  // Arrow keys (any tool): move the selected visible objects of the current
  // frame by the HorizontalOffset / VerticalOffset settings, one "移动对象"
  // step; locked objects refuse with the locked message. Delete: as
  // DeleteSelectionOrObjects. Escape: the tool drops its gesture in
  // progress; without one the pixel selection goes, else the object
  // selection. Enter: the tool finishes its gesture. False for a key
  // nothing took (the window's default processing).
  enum ArrowKey { KEY_LEFT = 0, KEY_UP = 1, KEY_RIGHT = 2, KEY_DOWN = 3, KEY_DELETE = 4, KEY_ESCAPE = 5, KEY_ENTER = 6 };
  bool OnKeyDown(int key);
  // The pixels inside the selection when there is one, else the selected
  // objects whole; one undoable step.
  ObjectResult DeleteSelectionOrObjects();
  // Mouse capture as a window would keep it; the move handlers act only
  // while the left button is held.
  void SetCapture(bool on) { m_bCapture = on; }
  bool HasCapture() const { return m_bCapture; }
  bool IsLButtonDown() const { return m_bLButton; }

  // The view as a window shows it: a 32-bit picture of the client size with
  // a grey backdrop, the current frame at the zoom, the selection outline
  // (dash phase selects the marching-ants step) and the tool's feedback.
  // Null when the picture cannot be made.
  DibPtr Render(int dashPhase = 0);
  // Draws the rubber band or lasso feedback in scrolled coordinates.
  void DrawFeedbackRect(TevImageTransform::CTevObjImage& view, RECT scrolledBox, bool ellipse) const;
  void DrawFeedbackLine(TevImageTransform::CTevObjImage& view, POINT a, POINT b) const;

 private:
  CLoopwrightDoc& m_doc;
  TevImageTransform::CTevZoomScale m_zoom{1};
  POINT m_scroll{0, 0};
  POINT m_origin{0, 0};
  int m_clientWidth = 0, m_clientHeight = 0;
  TevImageTransform::CTevObjSelection m_selection;
  CToolSet m_tools;
  CPixelClipboard m_clipboard;
  CDefaultTool* m_pTool = nullptr;
  int m_nTool = -1;
  bool m_bCapture = false;
  bool m_bLButton = false;
};
