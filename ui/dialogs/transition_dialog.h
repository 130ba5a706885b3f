// The transition dialog: the effects in a gallery, a live preview of the
// chosen one on the current frame, its options within their ranges, and
// the frame count, delays and modes of the run. OK generates the frames as
// one undoable action.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

#include "generators/transition_generator.h"
#include "ui/dialogs/transition_preview.h"

class QCheckBox;
class QFormLayout;
class QLabel;
class QListWidget;
class QRadioButton;
class QSpinBox;

class CTransitionDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CTransitionDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  ~CTransitionDialog() override;

  // Gallery entry i (0..33); entries the current selection does not offer
  // cannot be chosen.
  bool SelectEffect(int index);
  int SelectedEffect() const { return m_effect; }
  CEffectPerform* Performer() const;
  CTransitionPreview& Preview() { return m_preview; }
  QTimer& PreviewTimer() { return m_timer; }
  QLabel* PreviewLabel() const { return m_picture; }
  QSpinBox* FramesBox() const { return m_frames; }
  QSpinBox* DelayBox() const { return m_delay; }
  QSpinBox* KeyDelayBox() const { return m_keyDelay; }
  // The settings the run would use.
  CTransitionSettings Settings() const;
  // Runs the generation; the dialog closes when it succeeded.
  TransitionStatus Generate();

  // Draws the preview at its current progress.
  void ShowPicture();

  void accept() override;

 private:
  void BuildGallery();
  void RebuildOptions();
  void SyncModeWidgets();
  void Tick();

  CLoopwrightDoc& m_doc;
  std::vector<std::unique_ptr<CEffectPerform>> m_performers;
  CTransitionPreview m_preview;
  QTimer m_timer;
  int m_effect = -1;
  QListWidget* m_gallery = nullptr;
  QLabel* m_picture = nullptr;
  QFormLayout* m_options = nullptr;
  QSpinBox* m_frames = nullptr;
  QSpinBox* m_delay = nullptr;
  QSpinBox* m_keyDelay = nullptr;
  QRadioButton* m_appear = nullptr;
  QRadioButton* m_disappear = nullptr;
  QCheckBox* m_fade = nullptr;
  QCheckBox* m_objectMode = nullptr;
  QCheckBox* m_insert = nullptr;
  bool m_bSyncing = false;
};
