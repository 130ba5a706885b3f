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
  // destinationChild (Qt's convention), through the frame move command; they
  // become the selection. Records one undoable action; false (selection
  // kept) when nothing moves.
  bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count, const QModelIndex& destinationParent,
                int destinationChild) override;

  // The selected frames (the document's selection) in front of row.
  bool MoveSelectedBefore(int row);
  // The document changed: rows and thumbnails are rebuilt as needed.
  void Reload();
  // One frame's pixels changed.
  void FrameChanged(const CGifFrame* frame);
  int ThumbnailsMade() const { return int(m_thumbnails.size()); }

  // While a file opens the rows are its frames as they arrive (thumbnail and
  // delay), not the document's; they cannot be moved. EndArrivals shows the
  // document again.
  void BeginArrivals();
  void AddArrival(int index, const QImage& thumbnail, int delay);
  void EndArrivals();
  bool ShowsArrivals() const { return m_bArrivals; }

  static constexpr int kThumbnailSize = 72;

 private:
  CLoopwrightDoc& m_doc;
  mutable QHash<const CGifFrame*, QPixmap> m_thumbnails;
  struct Arrival {
    QPixmap thumbnail;
    int delay = 0;
  };
  bool m_bArrivals = false;
  QList<Arrival> m_arrivals;
};
