// The frames list: one row per frame, a thumbnail made when the view first
// asks for it, the delay under it. Moving rows runs the frame move command.
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPixmap>

class CLoopwrightDoc;
class CGifFrame;

class CFramesModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit CFramesModel(CLoopwrightDoc& doc, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Moves count frames from sourceRow so that they end up before
  // destinationChild (Qt's convention): to the start, to the end, one place
  // back or one place on, as the frame move command does; other targets are
  // refused. Records one undoable action.
  bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count, const QModelIndex& destinationParent,
                int destinationChild) override;

  // The document changed: rows and thumbnails are rebuilt as needed.
  void Reload();
  // One frame's pixels changed.
  void FrameChanged(const CGifFrame* frame);
  int ThumbnailsMade() const { return int(m_thumbnails.size()); }

  static constexpr int kThumbnailSize = 72;

 private:
  CLoopwrightDoc& m_doc;
  mutable QHash<const CGifFrame*, QPixmap> m_thumbnails;
};
