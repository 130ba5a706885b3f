#include "ui/canvas_widget.h"

#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

// Paints the image scaled over a chequered background, so transparent pixels
// read as transparent.
class CCanvasPicture : public QWidget {
 public:
  explicit CCanvasPicture(CCanvasWidget* owner) : QWidget(owner), m_owner(owner) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QImage& image = m_owner->Image();
    if (image.isNull()) return;
    const QRect target(QPoint(0, 0), size());
    painter.fillRect(target, QBrush(Chequer()));
    painter.drawImage(target, image);
  }

 private:
  static QPixmap Chequer() {
    QPixmap tile(16, 16);
    tile.fill(Qt::white);
    QPainter p(&tile);
    p.fillRect(0, 0, 8, 8, QColor(204, 204, 204));
    p.fillRect(8, 8, 8, 8, QColor(204, 204, 204));
    return tile;
  }
  CCanvasWidget* m_owner;
};

CCanvasWidget::CCanvasWidget(QWidget* parent) : QScrollArea(parent), m_picture(new CCanvasPicture(this)) {
  setWidget(m_picture);
  setAlignment(Qt::AlignCenter);
  setBackgroundRole(QPalette::Dark);
  m_picture->resize(0, 0);
}

void CCanvasWidget::SetImage(const QImage& image) {
  m_image = image;
  SetZoom(m_nZoom);
  m_picture->update();
}

void CCanvasWidget::SetZoom(int percent) {
  percent = std::clamp(percent, kMinZoom, kMaxZoom);
  const bool changed = percent != m_nZoom;
  m_nZoom = percent;
  const QSize size = m_image.isNull() ? QSize(0, 0)
                                      : QSize(std::max(1, int(qint64(m_image.width()) * percent / 100)),
                                              std::max(1, int(qint64(m_image.height()) * percent / 100)));
  m_picture->resize(size);
  m_picture->update();
  if (changed) emit ZoomChanged(m_nZoom);
}

void CCanvasWidget::ZoomIn() { SetZoom(m_nZoom >= 100 ? m_nZoom * 2 : m_nZoom + 10); }
void CCanvasWidget::ZoomOut() { SetZoom(m_nZoom > 100 ? m_nZoom / 2 : m_nZoom - 10); }

QPoint CCanvasWidget::CanvasOrigin() const { return m_picture->mapTo(this, QPoint(0, 0)); }

void CCanvasWidget::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QScrollArea::wheelEvent(event);
    return;
  }
  const int steps = event->angleDelta().y();
  if (steps > 0) ZoomIn();
  else if (steps < 0) ZoomOut();
  event->accept();
}
