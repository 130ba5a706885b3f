// The frames list widget: thumbnails left to right. Dragging selected
// frames to another place moves them there (one undoable step through the
// model); dropping picture, animation or video files adds their frames
// after the current frame.
#pragma once

#include <QListView>
#include <QStringList>

class CLoopwrightDoc;
class CFramesModel;

class CFramesView : public QListView {
  Q_OBJECT
 public:
  CFramesView(CLoopwrightDoc& doc, CFramesModel* model, QWidget* parent = nullptr);

  // The row a drop at a viewport point goes in front of: the row under the
  // point, or the one after it past its middle; the row count past the end.
  int DropRowAt(QPoint point) const;
  // Adds the frames of the files (video files one by one, the others in
  // one step); the number of files added.
  int AddFiles(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  CLoopwrightDoc& m_doc;
  CFramesModel* m_model;
};
