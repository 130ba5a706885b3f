// The canvas: the editing view (CEditPictureView) in a scrolling widget. It
// blits the view's rendered picture (the current frame at the zoom, the
// selection outline, the tool's feedback) and forwards mouse presses, moves,
// releases, double clicks and keys to the view's entry points, so the
// current tool does the work. Ctrl+wheel and the view menu change the zoom.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <memory>

#include "tools/edit_view.h"

class QLineEdit;
class QTimer;

class CCanvasWidget : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit CCanvasWidget(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  ~CCanvasWidget() override;

  CEditPictureView& View() { return *m_view; }
  const CEditPictureView& View() const { return *m_view; }

  // The document changed: scroll range and picture follow.
  void Refresh();
  // The current frame composed at canvas size (null without a frame).
  QImage Image() const;
  // The view's picture at the viewport's size, rendered now.
  QImage ViewPicture();
  // A picture shown instead of the view (the first frame of a file being
  // opened), centred; a null image shows the view again.
  void ShowPreview(const QImage& picture);
  bool HasPreview() const { return !m_preview.isNull(); }
  // Zoom in percent: 100 * factor when magnifying, 100 / factor when
  // reducing; SetZoom takes the nearest factor the view accepts.
  void SetZoom(int percent);
  int Zoom() const;
  void ZoomIn();
  void ZoomOut();
  // Where canvas (0, 0) lies in this widget's coordinates.
  QPoint CanvasOrigin() const;
  // A viewport point of an image point (its top-left corner at the zoom).
  QPoint ImageToViewport(QPoint image) const;
  // The text tool's entry: shown at the clicked point while the tool has an
  // entry open; Enter adds or edits the text, Escape drops it.
  QLineEdit* TextEntry() const { return m_textEntry; }

 signals:
  void ZoomChanged(int percent);
  // A gesture ended or a key was handled: command states may have changed.
  void ViewChanged();
  // A right click: which menu the tool asked for, at a global position.
  void ContextMenuRequested(ContextMenu menu, QPoint globalPos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetZoomFactor(int factor);
  void UpdateLayout();
  void UpdateCursor();
  // Shows or hides the text entry as the text tool's state says.
  void SyncTextEntry();
  void ConfirmText();

  std::unique_ptr<CEditPictureView> m_view;
  QTimer* m_ants;
  int m_nDashPhase = 0;
  QImage m_preview;
  QLineEdit* m_textEntry;
};
