// The text banner dialog: the text with its font, colours, outline and
// shadow, the entry and exit kinds from a gallery with their frame counts,
// the frame delay, and the banner playing over the current frame on a
// 10 ms timer. OK adds the banner frames as one undoable action.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "generators/banner_command.h"
#include "generators/banner_generators.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class CBannerDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTimerMs = 10;

  explicit CBannerDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);

  CBannerTextStyle Style() const;
  // The settings OK would generate with (text object built and placed);
  // false with a reason when there is nothing to generate.
  bool Settings(BannerSettings& settings, std::string* reason = nullptr) const;
  // Rebuilds the clips from the fields now instead of on the next turn.
  void RebuildPreview();
  // Moves the playing preview on by ms.
  void Advance(int ms);
  int Clip() const { return m_clip; }
  int ClipCount() const { return int(m_clips.size()); }
  // The current frame with the shown clip on top.
  QImage Picture() const;
  QTimer& PreviewTimer() { return m_timer; }
  // Whether every kind in both galleries has its picture (made lazily).
  bool ThumbnailsDone() const;

  QPlainTextEdit* TextEdit() const { return m_text; }
  QSpinBox* SizeBox() const { return m_size; }
  QListWidget* EnterGallery() const { return m_enterKind; }
  QListWidget* LeaveGallery() const { return m_leaveKind; }
  QCheckBox* EnterBox() const { return m_enter; }
  QCheckBox* LeaveBox() const { return m_leave; }
  QSpinBox* EnterFramesBox() const { return m_enterFrames; }
  QSpinBox* LeaveFramesBox() const { return m_leaveFrames; }
  QSpinBox* DelayBox() const { return m_delay; }
  QLabel* PreviewLabel() const { return m_picture; }
  void SetColour(COLORREF colour);

  void accept() override;

 private:
  void Changed();
  void MakeNextThumbnail();

  CLoopwrightDoc& m_doc;
  QTimer m_timer;
  QTimer m_rebuild;
  QTimer m_thumbnails;
  int m_thumbnailsMade = 0;
  std::vector<CBannerClip> m_clips;
  QImage m_base;  // the current frame composed
  int m_clip = 0;
  int m_elapsedMs = 0;  // time spent on the shown clip
  COLORREF m_colour = 0x000000;
  COLORREF m_outlineColour = 0xFFFFFF;
  QPlainTextEdit* m_text = nullptr;
  QFontComboBox* m_font = nullptr;
  QSpinBox* m_size = nullptr;
  QCheckBox* m_bold = nullptr;
  QCheckBox* m_italic = nullptr;
  QPushButton* m_colourButton = nullptr;
  QCheckBox* m_outline = nullptr;
  QPushButton* m_outlineButton = nullptr;
  QSpinBox* m_shadow = nullptr;
  QCheckBox* m_enter = nullptr;
  QCheckBox* m_leave = nullptr;
  QListWidget* m_enterKind = nullptr;
  QListWidget* m_leaveKind = nullptr;
  QSpinBox* m_enterFrames = nullptr;
  QSpinBox* m_leaveFrames = nullptr;
  QSpinBox* m_delay = nullptr;
  QLabel* m_picture = nullptr;
};
