#include "ui/objects_panel.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QSignalBlocker>

#include <algorithm>

#include "app/loopwright_doc.h"
#include "editing/object_commands.h"
#include "editing/object_move_to_index.h"
#include "ui/dib_image.h"

CObjectsPanel::CObjectsPanel(CLoopwrightDoc& doc, QWidget* parent) : QTableWidget(parent), m_doc(doc) {
  setColumnCount(COLUMNS);
  setHorizontalHeaderLabels({QStringLiteral("Object"), QStringLiteral("Visible"), QStringLiteral("Locked"),
                             QStringLiteral("Transparency")});
  horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  horizontalHeader()->setSectionResizeMode(NAME, QHeaderView::Stretch);
  verticalHeader()->hide();
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDropIndicatorShown(true);
  connect(this, &QTableWidget::itemChanged, this, &CObjectsPanel::OnItemChanged);
  connect(this, &QTableWidget::itemSelectionChanged, this, &CObjectsPanel::OnSelectionChanged);
}

int CObjectsPanel::ObjectOfRow(int row) const {
  const int count = m_doc.GetObjectCount();
  return row >= 0 && row < count ? count - 1 - row : -1;
}

int CObjectsPanel::RowOfObject(int object) const { return ObjectOfRow(object); }

void CObjectsPanel::Reload() {
  if (m_bInChange) {
    QMetaObject::invokeMethod(this, &CObjectsPanel::Reload, Qt::QueuedConnection);
    return;
  }
  m_bFilling = true;
  const QSignalBlocker block(selectionModel());
  const CGifFrame* frame = m_doc.GetCurrentFrame();
  const int count = frame ? m_doc.GetObjectCount() : 0;
  setRowCount(count);
  for (int row = 0; row < count; ++row) {
    const int index = ObjectOfRow(row);
    const CDib& object = *m_doc.m_objects[std::size_t(index)];
    const CRefImageObject* ref = index < int(frame->m_refs.size()) ? frame->m_refs[std::size_t(index)] : nullptr;
    auto* name = new QTableWidgetItem(ToQt(object.m_strName));
    name->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    setItem(row, NAME, name);
    for (int column : {int(VISIBLE), int(LOCKED)}) {
      auto* box = new QTableWidgetItem;
      box->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      const bool on = ref && (column == VISIBLE ? ref->m_bVisible : ref->m_bLocked);
      box->setCheckState(on ? Qt::Checked : Qt::Unchecked);
      setItem(row, column, box);
    }
    auto* alpha = new QTableWidgetItem(QString::number(ref ? ref->m_nTransparency : 0));
    alpha->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    setItem(row, TRANSPARENCY, alpha);
  }
  clearSelection();
  for (const auto& selected : m_doc.m_selectedObjects) {
    const int row = RowOfObject(m_doc.IndexOfObject(selected.get()));
    if (row >= 0) selectRow(row);
  }
  m_bFilling = false;
}

void CObjectsPanel::OnItemChanged(QTableWidgetItem* item) {
  if (m_bFilling || !item) return;
  const int index = ObjectOfRow(item->row());
  if (index < 0) return;
  m_bInChange = true;
  // The commands work on the selected objects: the clicked row becomes the selection.
  m_doc.m_selectedObjects = {m_doc.m_objects[std::size_t(index)]};
  ObjectResult result = ObjectResult::Refused({});
  if (item->column() == VISIBLE) {
    result = SetSelectedVisible(m_doc, item->checkState() == Qt::Checked);
  } else if (item->column() == LOCKED) {
    result = SetSelectedLocked(m_doc, item->checkState() == Qt::Checked);
  } else if (item->column() == TRANSPARENCY) {
    bool ok = false;
    const int value = item->text().toInt(&ok);
    if (ok && value >= 0 && value <= 255) result = SetSelectedTransparency(m_doc, value);
    else result = ObjectResult::Refused("Transparency is a number from 0 to 255.");
  }
  if (!result.ok) {
    if (!result.message.empty()) m_doc.Prompt().ShowMessage(result.message, MessageKind::Warning);
    Reload();  // show the value the document kept
  }
  m_bInChange = false;
}

void CObjectsPanel::OnSelectionChanged() {
  if (m_bFilling) return;
  m_doc.m_selectedObjects.clear();
  for (int row = 0; row < rowCount(); ++row) {
    const int index = ObjectOfRow(row);
    if (index >= 0 && item(row, NAME) && item(row, NAME)->isSelected())
      m_doc.m_selectedObjects.push_back(m_doc.m_objects[std::size_t(index)]);
  }
  emit ObjectSelectionChanged();
}

bool CObjectsPanel::MoveSelectedToRow(int row) {
  // Rows run from the front-most object down; the unselected rows above the
  // drop point stay above the block.
  const int rows = rowCount();
  int selected = 0, unselectedAbove = 0;
  for (int r = 0; r < rows; ++r) {
    const int index = ObjectOfRow(r);
    const bool isSelected = index >= 0 && std::find(m_doc.m_selectedObjects.begin(), m_doc.m_selectedObjects.end(),
                                                     m_doc.m_objects[std::size_t(index)]) != m_doc.m_selectedObjects.end();
    if (isSelected) ++selected;
    else if (r < row) ++unselectedAbove;
  }
  if (selected == 0) return false;
  const ObjectResult result = MoveSelectedObjectsToIndex(m_doc, rows - selected - unselectedAbove);
  if (!result.ok && !result.message.empty()) m_doc.Prompt().ShowMessage(result.message, MessageKind::Warning);
  return result.ok;
}

void CObjectsPanel::dropEvent(QDropEvent* event) {
  if (event->source() != this) {
    event->ignore();
    return;
  }
  const QPoint at = event->position().toPoint();
  int row = rowAt(at.y());
  if (row < 0) row = at.y() < 0 ? 0 : rowCount();
  else if (at.y() > visualRect(model()->index(row, 0)).center().y()) ++row;
  MoveSelectedToRow(row);
  // The order commands reload the rows; the view must not move them itself.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  setState(NoState);
}
