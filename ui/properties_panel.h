// The properties pane: the selected frames' delay and interlaced flag (as
// the current frame shows them) and the animation's loop setting. Each
// change runs the frame command, one undoable step.
#pragma once

#include <QWidget>

class CLoopwrightDoc;
class QCheckBox;
class QSpinBox;

class CPropertiesPanel : public QWidget {
  Q_OBJECT
 public:
  explicit CPropertiesPanel(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  // Shows the document's values.
  void Reload();

  QSpinBox* DelayBox() const { return m_delay; }
  QCheckBox* InterlacedBox() const { return m_interlaced; }
  QCheckBox* LoopForeverBox() const { return m_loopForever; }
  QSpinBox* LoopCountBox() const { return m_loopCount; }

 signals:
  // The loop command does not tell the views; the window refreshes its states.
  void LoopChanged();

 private:
  void ApplyFrame();
  void ApplyLoop();

  CLoopwrightDoc& m_doc;
  QSpinBox* m_delay;
  QCheckBox* m_interlaced;
  QCheckBox* m_loopForever;
  QSpinBox* m_loopCount;
  bool m_bFilling = false;
};
