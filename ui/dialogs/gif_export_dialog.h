// The GIF export dialog: colour count, dither, optimization level, the
// disposal rule and the loop count, with the size of the file the export would write (computed in
// the background whenever an option changes) and the optimized animation
// playing as a viewer shows it.
#pragma once

#include <QDialog>
#include <QTimer>

#include "ui/dialogs/gif_size_estimator.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

class CGifExportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CGifExportDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);

  CGifEstimateOptions Options() const;
  // Writes the GIF: a loop setting that differs from the document's is
  // recorded first (one undoable action), then the export runs with the
  // dialog's settings. False (and a message) when the write fails.
  bool ExportTo(const QString& path);
  // The file OK writes to; empty asks for one with a save dialog.
  void SetTargetPath(const QString& path) { m_target = path; }

  CGifSizeEstimator& Estimator() { return m_estimator; }
  QSpinBox* ColoursBox() const { return m_colours; }
  QComboBox* DitherBox() const { return m_dither; }
  QSpinBox* StrengthBox() const { return m_strength; }
  QCheckBox* NoRestoreBox() const { return m_noRestore; }
  // 1 fast, 2 normal, 3 smallest: how hard the writer works at the size.
  QComboBox* LevelBox() const { return m_level; }
  QCheckBox* LoopForeverBox() const { return m_loopForever; }
  QSpinBox* LoopCountBox() const { return m_loopCount; }
  QLabel* SizeLabel() const { return m_size; }
  QLabel* PreviewLabel() const { return m_picture; }

  void accept() override;

  // "12 345 bytes (12.1 KB)"-style text of a size; "…" while unknown.
  static QString SizeText(long long bytes);

 private:
  void Restart();
  void OnEstimate(long long bytes);
  void ShowNextFrame();

  CLoopwrightDoc& m_doc;
  CGifSizeEstimator m_estimator;
  CGifPreviewState m_play;
  QTimer m_playTimer;
  QString m_target;
  QSpinBox* m_colours = nullptr;
  QComboBox* m_dither = nullptr;
  QSpinBox* m_strength = nullptr;
  QComboBox* m_level = nullptr;
  QCheckBox* m_noRestore = nullptr;
  QCheckBox* m_loopForever = nullptr;
  QSpinBox* m_loopCount = nullptr;
  QLabel* m_size = nullptr;
  QLabel* m_picture = nullptr;
};
