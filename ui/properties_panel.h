// The properties pane: the selected frames' delay, interlaced flag and
// disposal (as the current frame shows them), the animation's loop setting,
// and the first selected object's position, transparency and shadow on the
// current frame. Each change runs the frame or object command, one undoable
// step.
#pragma once

#include <QWidget>
#include <string>

class CLoopwrightDoc;
class QCheckBox;
class QComboBox;
class QGroupBox;
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
  QComboBox* DisposalBox() const { return m_disposal; }
  QSpinBox* ObjectXBox() const { return m_objectX; }
  QSpinBox* ObjectYBox() const { return m_objectY; }
  QSpinBox* ObjectTransparencyBox() const { return m_objectAlpha; }
  QComboBox* ShadowBox() const { return m_shadow; }

 signals:
  // The loop command does not tell the views; the window refreshes its states.
  void LoopChanged();

 private:
  void ApplyFrame();
  void ApplyLoop();
  void ApplyDisposal();
  void ApplyObject(int which);
  void ShowMessage(const std::string& text);

  CLoopwrightDoc& m_doc;
  QSpinBox* m_delay;
  QCheckBox* m_interlaced;
  QCheckBox* m_loopForever;
  QSpinBox* m_loopCount;
  QComboBox* m_disposal;
  QGroupBox* m_object;
  QSpinBox* m_objectX;
  QSpinBox* m_objectY;
  QSpinBox* m_objectAlpha;
  QComboBox* m_shadow;
  bool m_bFilling = false;
};
