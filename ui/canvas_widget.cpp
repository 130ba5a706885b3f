#include "ui/canvas_widget.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/dib_factories.h"
#include "ui/dib_image.h"

namespace {

// Grey border around the canvas when it is larger than the viewport.
constexpr int kMargin = 8;
// Marching ants step.
constexpr int kAntsMs = 300;

// Mouse-message key flags of a Qt event: left 1, right 2, Shift 4, Ctrl 8.
unsigned KeyFlags(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  unsigned flags = 0;
  if (buttons & Qt::LeftButton) flags |= 1;
  if (buttons & Qt::RightButton) flags |= 2;
  if (modifiers & Qt::ShiftModifier) flags |= kKeyShift;
  if (modifiers & Qt::ControlModifier) flags |= kKeyCtrl;
  return flags;
}

POINT ToPoint(const QPointF& p) { return POINT{LONG(std::floor(p.x())), LONG(std::floor(p.y()))}; }

// The view's factor for a percentage: 2 and above magnify, -2 and below reduce.
int FactorOfPercent(int percent) {
  if (percent >= 100) return std::clamp((percent + 50) / 100, 1, CEditPictureView::kMaxZoom);
  if (percent <= 0) return CEditPictureView::kMinZoom;
  const int reduce = std::clamp((100 + percent / 2) / percent, 1, -CEditPictureView::kMinZoom);
  return reduce == 1 ? 1 : -reduce;
}

}  // namespace

CCanvasWidget::CCanvasWidget(CLoopwrightDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_view(std::make_unique<CEditPictureView>(doc)),
      m_ants(new QTimer(this)),
      m_textEntry(new QLineEdit(viewport())) {
  m_textEntry->hide();
  m_textEntry->setMinimumWidth(200);
  connect(m_textEntry, &QLineEdit::returnPressed, this, &CCanvasWidget::ConfirmText);
  setBackgroundRole(QPalette::Dark);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);  // the pick-colour sample follows the pointer
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  m_view->SetTool(TOOL_SELECT);
  m_ants->setInterval(kAntsMs);
  connect(m_ants, &QTimer::timeout, this, [this] {
    if (!m_view->HasSelection()) return;
    ++m_nDashPhase;
    viewport()->update();
  });
  m_ants->start();
  UpdateLayout();
  UpdateCursor();
}

CCanvasWidget::~CCanvasWidget() = default;

void CCanvasWidget::Refresh() {
  UpdateLayout();
  UpdateCursor();
  SyncTextEntry();
  viewport()->update();
}

QImage CCanvasWidget::Image() const {
  const CLoopwrightDoc& doc = m_view->Doc();
  const CGifFrame* frame = doc.GetCurrentFrame();
  return frame ? ComposedFrameImage(doc, *frame) : QImage();
}

QImage CCanvasWidget::ViewPicture() {
  m_view->SetClientSize(std::max(1, viewport()->width()), std::max(1, viewport()->height()));
  DibPtr picture = m_view->Render(m_nDashPhase);
  return picture ? DibToImage(picture.get()) : QImage();
}

int CCanvasWidget::Zoom() const {
  const int z = m_view->GetZoom();
  if (z > 1) return 100 * z;
  if (z < -1) return 100 / -z;
  return 100;
}

void CCanvasWidget::SetZoom(int percent) { SetZoomFactor(FactorOfPercent(percent)); }

void CCanvasWidget::ZoomIn() {
  const int z = m_view->GetZoom();
  SetZoomFactor(z >= 1 ? std::min(z * 2, int(CEditPictureView::kMaxZoom)) : (z / 2 >= -1 ? 1 : z / 2));
}

void CCanvasWidget::ZoomOut() {
  const int z = m_view->GetZoom();
  SetZoomFactor(z >= 2 ? z / 2 : std::max(z <= -2 ? z * 2 : -2, int(CEditPictureView::kMinZoom)));
}

void CCanvasWidget::SetZoomFactor(int factor) {
  const int before = Zoom();
  // The image point at the viewport's centre stays there.
  const POINT centre{LONG(viewport()->width() / 2), LONG(viewport()->height() / 2)};
  POINT image = m_view->ClientToImage(centre);
  if (!m_view->SetZoom(factor)) return;
  UpdateLayout();
  m_view->Zoom().Actual_to_Scaled(image);
  const POINT origin = m_view->GetCanvasOrigin();
  horizontalScrollBar()->setValue(int(image.x + origin.x - centre.x));
  verticalScrollBar()->setValue(int(image.y + origin.y - centre.y));
  viewport()->update();
  if (Zoom() != before) emit ZoomChanged(Zoom());
}

void CCanvasWidget::UpdateLayout() {
  const CLoopwrightDoc& doc = m_view->Doc();
  POINT scaled{LONG(std::max(0, doc.m_nWidth)), LONG(std::max(0, doc.m_nHeight))};
  m_view->Zoom().Actual_to_Scaled(scaled);
  const int vw = viewport()->width(), vh = viewport()->height();
  // Centred when it fits, else a margin around it and scroll bars.
  const auto place = [](long long size, int client) {
    return size + 2 * kMargin <= client ? int((client - size) / 2) : kMargin;
  };
  const auto range = [](long long size, int client) {
    return int(std::clamp<long long>(size + 2 * kMargin - client, 0, 1 << 30));
  };
  m_view->SetCanvasOrigin(POINT{place(scaled.x, vw), place(scaled.y, vh)});
  horizontalScrollBar()->setRange(0, range(scaled.x, vw));
  verticalScrollBar()->setRange(0, range(scaled.y, vh));
  horizontalScrollBar()->setPageStep(std::max(1, vw));
  verticalScrollBar()->setPageStep(std::max(1, vh));
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setSingleStep(16);
  m_view->SetScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CCanvasWidget::UpdateCursor() {
  const int tool = m_view->GetToolNumber();
  const bool precise = tool != -1 && tool != TOOL_SELECT && tool != TOOL_TRANSFORM && tool != TOOL_SYMBOL;
  viewport()->setCursor(precise ? Qt::CrossCursor : Qt::ArrowCursor);
}

QPoint CCanvasWidget::CanvasOrigin() const {
  return viewport()->geometry().topLeft() + ImageToViewport(QPoint(0, 0));
}

QPoint CCanvasWidget::ImageToViewport(QPoint image) const {
  POINT p{LONG(image.x()), LONG(image.y())};
  m_view->Zoom().Actual_to_Scaled(p);
  const POINT origin = m_view->GetCanvasOrigin(), scroll = m_view->GetScroll();
  return QPoint(int(p.x + origin.x - scroll.x), int(p.y + origin.y - scroll.y));
}

void CCanvasWidget::ShowPreview(const QImage& picture) {
  m_preview = picture;
  viewport()->update();
}

void CCanvasWidget::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  if (!m_preview.isNull()) {
    painter.fillRect(viewport()->rect(), QColor(0xC0, 0xC0, 0xC0));
    const QPoint at(std::max(kMargin, (viewport()->width() - m_preview.width()) / 2),
                    std::max(kMargin, (viewport()->height() - m_preview.height()) / 2));
    painter.fillRect(QRect(at, m_preview.size()), Qt::white);
    painter.drawImage(at, m_preview);
    return;
  }
  const QImage picture = ViewPicture();
  if (picture.isNull()) {
    painter.fillRect(viewport()->rect(), palette().dark());
    return;
  }
  painter.drawImage(0, 0, picture);
}

void CCanvasWidget::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateLayout();
}

void CCanvasWidget::scrollContentsBy(int, int) {
  m_view->SetScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
  viewport()->update();
}

void CCanvasWidget::mousePressEvent(QMouseEvent* event) {
  const unsigned flags = KeyFlags(event->modifiers(), event->buttons());
  const POINT point = ToPoint(event->position());
  if (event->button() == Qt::LeftButton) {
    m_view->OnLButtonDown(flags, point);
    SyncTextEntry();
    viewport()->update();
    emit ViewChanged();
  } else if (event->button() == Qt::RightButton) {
    const ContextMenu menu = m_view->OnRButtonDown(flags, point);
    emit ContextMenuRequested(menu, event->globalPosition().toPoint());
  }
  event->accept();
}

void CCanvasWidget::mouseMoveEvent(QMouseEvent* event) {
  // A move without the left button still goes to the tool (the pick-colour
  // sample); the selection tools act only while it is held.
  if (m_view->OnMouseMove(KeyFlags(event->modifiers(), event->buttons()), ToPoint(event->position())) ||
      m_view->IsLButtonDown())
    viewport()->update();
  event->accept();
}

void CCanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_view->OnLButtonUp(KeyFlags(event->modifiers(), event->buttons()), ToPoint(event->position()));
  viewport()->update();
  emit ViewChanged();
  event->accept();
}

void CCanvasWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const unsigned flags = KeyFlags(event->modifiers(), event->buttons());
  const POINT point = ToPoint(event->position());
  // A tool that does not take the double click leaves it to the text tool,
  // which edits the text object under the pointer.
  if (!m_view->OnLButtonDblClk(flags, point) && m_view->GetToolNumber() != TOOL_TEXT)
    if (CDefaultTool* text = m_view->Tools().Get(TOOL_TEXT)) text->OnLButtonDblClk(*m_view, flags, point);
  SyncTextEntry();
  viewport()->update();
  emit ViewChanged();
  event->accept();
}

void CCanvasWidget::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  const int steps = event->angleDelta().y();
  if (steps > 0) ZoomIn();
  else if (steps < 0) ZoomOut();
  event->accept();
}

void CCanvasWidget::keyPressEvent(QKeyEvent* event) {
  // The keys go to the editing view, which decides what they do; a key it
  // leaves (the arrows with nothing selected) scrolls as usual.
  int key = -1;
  switch (event->key()) {
    case Qt::Key_Left: key = CEditPictureView::KEY_LEFT; break;
    case Qt::Key_Right: key = CEditPictureView::KEY_RIGHT; break;
    case Qt::Key_Up: key = CEditPictureView::KEY_UP; break;
    case Qt::Key_Down: key = CEditPictureView::KEY_DOWN; break;
    case Qt::Key_Delete: key = CEditPictureView::KEY_DELETE; break;
    case Qt::Key_Escape: key = CEditPictureView::KEY_ESCAPE; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: key = CEditPictureView::KEY_ENTER; break;
    default: break;
  }
  const bool arrow = key >= CEditPictureView::KEY_LEFT && key <= CEditPictureView::KEY_DOWN;
  if (arrow) {
    // The steps as the preferences hold them now (they may have changed
    // since the view was made).
    const CPreferences& prefs = m_view->Doc().App().Prefs();
    for (const char* name : {"HorizontalOffset", "VerticalOffset"})
      m_view->Tools().m_settings.Set(name, std::max(1, prefs.Get(name)));
  }
  if (key < 0 || (arrow && m_view->Doc().m_selectedObjects.empty()) || !m_view->OnKeyDown(key)) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  UpdateCursor();
  SyncTextEntry();
  viewport()->update();
  emit ViewChanged();
  event->accept();
}

void CCanvasWidget::SyncTextEntry() {
  const CTextTool& tool = m_view->Tools().m_text;
  if (!tool.IsEntryOpen()) {
    if (m_textEntry->isVisible()) {
      m_textEntry->hide();
      setFocus();
    }
    return;
  }
  if (m_textEntry->isVisible()) return;
  QString text;
  QPoint at = ImageToViewport(QPoint(int(tool.EntryPoint().x), int(tool.EntryPoint().y)));
  if (const RefPtr<CDib>& object = tool.EditedObject()) {
    if (auto* factory = dynamic_cast<CTextDibFactory*>(object->m_pFactory.get())) text = ToQt(factory->Text().Text());
    // An edited text's entry sits over the object on the current frame.
    const int index = m_view->Doc().IndexOfObject(object.get());
    const CGifFrame* frame = m_view->Doc().GetCurrentFrame();
    if (frame && index >= 0 && index < int(frame->m_refs.size()))
      at = ImageToViewport(QPoint(frame->m_refs[std::size_t(index)]->m_nX, frame->m_refs[std::size_t(index)]->m_nY));
  }
  m_textEntry->setText(text);
  m_textEntry->adjustSize();
  m_textEntry->move(at);
  m_textEntry->show();
  m_textEntry->setFocus();
}

void CCanvasWidget::ConfirmText() {
  CTextTool& tool = m_view->Tools().m_text;
  const ObjectResult result = tool.Confirm(m_view->Doc(), FromQt(m_textEntry->text()));
  if (!result.ok && !result.message.empty()) m_view->Doc().Prompt().ShowMessage(result.message, MessageKind::Warning);
  SyncTextEntry();
  viewport()->update();
  emit ViewChanged();
}
