// A filter or adjustment with its parameters and a live preview of the
// current frame (inside the pixel selection when there is one). OK records
// the filter action; Cancel leaves the document untouched.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "ui/dialogs/filter_table.h"

class CLoopwrightDoc;
class QLabel;
class QSpinBox;
namespace TevImageTransform {
class CTevObjSelection;
}

class CFilterDialog : public QDialog {
  Q_OBJECT
 public:
  // entry: an entry of FilterEntries(); selection: the editing view's pixel
  // selection in canvas coordinates, or null.
  CFilterDialog(CLoopwrightDoc& doc, const CFilterEntry& entry,
                const TevImageTransform::CTevObjSelection* selection = nullptr, QWidget* parent = nullptr);

  std::vector<int> Values() const;
  // The current frame as OK would leave it; null when there is no frame.
  QImage PreviewPicture() const;
  // Records the filter; the number of pictures it changed.
  int Apply();
  const std::vector<QSpinBox*>& ParamBoxes() const { return m_boxes; }
  QLabel* PreviewLabel() const { return m_picture; }
  // Renders the preview now instead of on the next event-loop turn.
  void RefreshPreview();

  void accept() override;

 private:
  CLoopwrightDoc& m_doc;
  const CFilterEntry& m_entry;
  const TevImageTransform::CTevObjSelection* m_selection;
  std::vector<QSpinBox*> m_boxes;
  QLabel* m_picture = nullptr;
  QTimer m_refresh;
};
