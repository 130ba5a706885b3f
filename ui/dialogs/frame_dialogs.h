// The frame-level dialogs: canvas size, animation size, loop count, frame
// properties and make-same-delay. Each OK runs one frame command (one
// undoable action, or nothing when nothing changes).
#pragma once

#include <QDialog>

class CLoopwrightDoc;
class QButtonGroup;
class QCheckBox;
class QRadioButton;
class QSpinBox;

// New canvas size with the old picture anchored at one of nine places
// ("ReferencePos": 0 top-left, row by row, to 8 bottom-right) and moved on
// by an extra offset ("HorzOffset", "VertOffset").
class CCanvasSizeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CCanvasSizeDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  // How far every reference moves for a canvas of w x h.
  QPoint Offset(int width, int height) const;
  bool Apply();
  void accept() override;
  QSpinBox* WidthBox() const { return m_width; }
  QSpinBox* HeightBox() const { return m_height; }
  QSpinBox* OffsetXBox() const { return m_dx; }
  QSpinBox* OffsetYBox() const { return m_dy; }
  QButtonGroup* Anchor() const { return m_anchor; }

 private:
  CLoopwrightDoc& m_doc;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QSpinBox* m_dx;
  QSpinBox* m_dy;
  QButtonGroup* m_anchor;
};

// Scales the whole animation; the ratio is kept while "PreserveRatio" is on.
class CResizeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CResizeDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  bool Apply();
  void accept() override;
  QSpinBox* WidthBox() const { return m_width; }
  QSpinBox* HeightBox() const { return m_height; }
  QCheckBox* KeepRatioBox() const { return m_keepRatio; }

 private:
  CLoopwrightDoc& m_doc;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QCheckBox* m_keepRatio;
  bool m_bSyncing = false;
};

class CLoopCountDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CLoopCountDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  bool Apply();
  void accept() override;
  QCheckBox* ForeverBox() const { return m_forever; }
  QSpinBox* CountBox() const { return m_count; }

 private:
  CLoopwrightDoc& m_doc;
  QCheckBox* m_forever;
  QSpinBox* m_count;
};

// Delay and interlace of the selected frames, proposed from the current one.
class CFramePropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CFramePropertiesDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  bool Apply();
  void accept() override;
  QSpinBox* DelayBox() const { return m_delay; }
  QCheckBox* InterlaceBox() const { return m_interlace; }

 private:
  CLoopwrightDoc& m_doc;
  QSpinBox* m_delay;
  QCheckBox* m_interlace;
};

// One delay for every frame or for the selected ones; it also becomes the
// delay new frames get.
class CSameDelayDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CSameDelayDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  bool Apply();
  void accept() override;
  QSpinBox* DelayBox() const { return m_delay; }
  QRadioButton* AllButton() const { return m_all; }
  QRadioButton* SelectedButton() const { return m_selected; }

 private:
  CLoopwrightDoc& m_doc;
  QSpinBox* m_delay;
  QRadioButton* m_all;
  QRadioButton* m_selected;
};
