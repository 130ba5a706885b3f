#include "ui/frames_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "app/loopwright_doc.h"
#include "editing/add_files_action.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data && data->hasUrls())
    for (const QUrl& url : data->urls())
      if (url.isLocalFile()) files.append(url.toLocalFile());
  return files;
}

}  // namespace

CFramesView::CFramesView(CLoopwrightDoc& doc, CFramesModel* model, QWidget* parent)
    : QListView(parent), m_doc(doc), m_model(model) {
  setModel(model);
  setViewMode(QListView::IconMode);
  setFlow(QListView::LeftToRight);
  setWrapping(false);
  // Static: the view does not move thumbnails itself (that would only move
  // pictures); a drop runs the frame move command instead. Static turns
  // dragging off, so it is turned back on after.
  setMovement(QListView::Static);
  setDragEnabled(true);
  viewport()->setAcceptDrops(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
}

int CFramesView::DropRowAt(QPoint point) const {
  const QModelIndex index = indexAt(point);
  if (!index.isValid()) {
    // Before the first thumbnail or past the last one.
    const int rows = m_model->rowCount();
    if (rows > 0 && point.x() < visualRect(m_model->index(0)).left()) return 0;
    return rows;
  }
  const QRect rect = visualRect(index);
  return point.x() < rect.center().x() ? index.row() : index.row() + 1;
}

int CFramesView::AddFiles(const QStringList& paths) {
  std::vector<std::string> pictures;
  int added = 0;
  for (const QString& path : paths) {
    if (QFileInfo(path).suffix().compare(QStringLiteral("avi"), Qt::CaseInsensitive) == 0)
      added += AddFramesFromAviFile(m_doc, FromQt(path)) ? 1 : 0;
    else
      pictures.push_back(FromQt(path));
  }
  if (!pictures.empty()) added += AddFramesFromImageFiles(m_doc, pictures);
  return added;
}

void CFramesView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() == this || !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
  else QListView::dragEnterEvent(event);
}

void CFramesView::dragMoveEvent(QDragMoveEvent* event) {
  QListView::dragMoveEvent(event);  // the drop indicator and auto-scroll
  if (event->source() == this || !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CFramesView::dropEvent(QDropEvent* event) {
  const QPoint at = event->position().toPoint();
  if (m_model->ShowsArrivals()) {
    event->ignore();  // a file is opening: the document must not change under it
  } else if (event->source() == this) {
    // The document's selection is the list's: the model moves it in one step.
    m_model->MoveSelectedBefore(DropRowAt(at));
    // Copy, so that the drag does not try to remove the source rows itself.
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else if (const QStringList files = LocalFiles(event->mimeData()); !files.isEmpty()) {
    AddFiles(files);
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
  stopAutoScroll();
  setState(NoState);
  viewport()->update();
}
