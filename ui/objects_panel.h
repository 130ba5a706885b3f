// The objects list of the current frame: name, an eye (visible on this
// frame), a lock and the transparency, top-most object first. Changes run
// the object commands on the current frame.
#pragma once

#include <QTableWidget>

class CLoopwrightDoc;

class CObjectsPanel : public QTableWidget {
  Q_OBJECT
 public:
  enum Column { NAME, VISIBLE, LOCKED, TRANSPARENCY, COLUMNS };
  explicit CObjectsPanel(CLoopwrightDoc& doc, QWidget* parent = nullptr);

  // Refills the rows from the document's current frame. Called while a
  // cell's change is being handled, it waits for the event loop: the item
  // that reported the change must outlive its own signal.
  void Reload();
  // The object index (list order, 0 = bottom) of a row; -1 outside.
  int ObjectOfRow(int row) const;
  int RowOfObject(int object) const;
  // Dragging the selected rows in front of row (0 to rowCount()): they land
  // there as one block in one undoable order step. True when the order
  // changed.
  bool MoveSelectedToRow(int row);

 signals:
  // The user changed which objects are selected.
  void ObjectSelectionChanged();

 protected:
  void dropEvent(QDropEvent* event) override;

 private:
  void OnItemChanged(QTableWidgetItem* item);
  void OnSelectionChanged();

  CLoopwrightDoc& m_doc;
  bool m_bFilling = false;
  bool m_bInChange = false;
};
