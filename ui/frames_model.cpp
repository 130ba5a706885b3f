#include "ui/frames_model.h"

#include "app/loopwright_doc.h"
#include "editing/frame_commands.h"
#include "editing/frame_reorder.h"
#include "ui/dib_image.h"

CFramesModel::CFramesModel(CLoopwrightDoc& doc, QObject* parent) : QAbstractListModel(parent), m_doc(doc) {}

int CFramesModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return m_bArrivals ? int(m_arrivals.size()) : m_doc.GetFrameCount();
}

QVariant CFramesModel::data(const QModelIndex& index, int role) const {
  if (m_bArrivals) {
    if (!index.isValid() || index.row() >= m_arrivals.size()) return {};
    const Arrival& arrival = m_arrivals[index.row()];
    switch (role) {
      case Qt::DisplayRole: return QStringLiteral("%1 ms").arg(arrival.delay * 10);
      case Qt::ToolTipRole: return QStringLiteral("Frame %1, %2 ms").arg(index.row() + 1).arg(arrival.delay * 10);
      case Qt::DecorationRole: return arrival.thumbnail;
      default: return {};
    }
  }
  const CGifFrame* frame = index.isValid() ? m_doc.GetFrame(index.row()) : nullptr;
  if (!frame) return {};
  switch (role) {
    case Qt::DisplayRole: return QStringLiteral("%1 ms").arg(int(frame->m_nDelay) * 10);
    case Qt::ToolTipRole: return QStringLiteral("Frame %1, %2 ms").arg(index.row() + 1).arg(int(frame->m_nDelay) * 10);
    case Qt::DecorationRole: {
      auto it = m_thumbnails.find(frame);
      if (it != m_thumbnails.end()) return *it;
      const QImage image = ComposedFrameImage(m_doc, *frame);
      QPixmap thumbnail = image.isNull() ? QPixmap()
                                         : QPixmap::fromImage(image.scaled(kThumbnailSize, kThumbnailSize,
                                                                           Qt::KeepAspectRatio, Qt::SmoothTransformation));
      m_thumbnails.insert(frame, thumbnail);
      return thumbnail;
    }
    default: return {};
  }
}

Qt::ItemFlags CFramesModel::flags(const QModelIndex& index) const {
  if (m_bArrivals) return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

bool CFramesModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                            const QModelIndex& destinationParent, int destinationChild) {
  const int rows = rowCount();
  if (m_bArrivals || sourceParent.isValid() || destinationParent.isValid() || count < 1 || sourceRow < 0 || sourceRow + count > rows)
    return false;
  std::vector<int> selected;
  for (int i = 0; i < count; ++i) selected.push_back(sourceRow + i);
  const std::vector<int> keptSelection = m_doc.m_selectedFrames;
  const int keptCurrent = m_doc.m_nCurrentFrame;
  m_doc.m_selectedFrames = selected;
  m_doc.m_nCurrentFrame = sourceRow;
  // The command tells the views, which reload this model.
  if (MoveSelectedFramesBefore(m_doc, destinationChild)) return true;
  m_doc.m_selectedFrames = keptSelection;
  m_doc.m_nCurrentFrame = keptCurrent;
  return false;
}

bool CFramesModel::MoveSelectedBefore(int row) { return !m_bArrivals && MoveSelectedFramesBefore(m_doc, row); }

void CFramesModel::BeginArrivals() {
  beginResetModel();
  m_bArrivals = true;
  m_arrivals.clear();
  endResetModel();
}

void CFramesModel::AddArrival(int index, const QImage& thumbnail, int delay) {
  // Frames arrive in order; anything else is not a frame of this open.
  if (!m_bArrivals || index != m_arrivals.size()) return;
  beginInsertRows({}, index, index);
  m_arrivals.append(Arrival{QPixmap::fromImage(thumbnail), delay});
  endInsertRows();
}

void CFramesModel::EndArrivals() {
  if (!m_bArrivals) return;
  m_bArrivals = false;
  m_arrivals.clear();
  Reload();
}

void CFramesModel::Reload() {
  beginResetModel();
  // Frames may have been freed and their addresses reused: start afresh.
  m_thumbnails.clear();
  endResetModel();
}

void CFramesModel::FrameChanged(const CGifFrame* frame) {
  if (m_bArrivals) return;
  m_thumbnails.remove(frame);
  const int row = m_doc.IndexOfFrame(frame);
  if (row >= 0) emit dataChanged(index(row), index(row), {Qt::DecorationRole});
}
