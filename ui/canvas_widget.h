// The canvas: the current frame as the core composes it, zoomed, with scroll
// bars. Ctrl+wheel and the view menu change the zoom.
#pragma once

#include <QImage>
#include <QScrollArea>

class CCanvasPicture;

class CCanvasWidget : public QScrollArea {
  Q_OBJECT
 public:
  explicit CCanvasWidget(QWidget* parent = nullptr);

  void SetImage(const QImage& image);
  const QImage& Image() const { return m_image; }
  // Zoom in percent, clamped to kMinZoom..kMaxZoom.
  void SetZoom(int percent);
  int Zoom() const { return m_nZoom; }
  void ZoomIn();
  void ZoomOut();
  // Where canvas (0, 0) lies in this widget's coordinates.
  QPoint CanvasOrigin() const;

  static constexpr int kMinZoom = 10, kMaxZoom = 3200;

 signals:
  void ZoomChanged(int percent);

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  QImage m_image;
  int m_nZoom = 100;
  CCanvasPicture* m_picture;
};
