// The option dialogs of the exports other than GIF: Flash movie (bitmaps,
// JPEG quality, frame rate), video (codec, quality, sound track), HTML page
// (GIF or movie), cursor hot spot, and every frame as a picture (format,
// JPEG quality). OK asks for the file and writes it.
#pragma once

#include <QDialog>

#include "export/export_dispatch.h"
#include "export/video_frames.h"

class CPictureOptionsDialog;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class CExportOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { Flash, Video, Html, Cursor, AnimatedCursor, FramePictures };

  CExportOptionsDialog(CLoopwrightDoc& doc, Kind kind, QWidget* parent = nullptr);

  Kind GetKind() const { return m_kind; }
  CExportSettings Settings() const;
  // Writes path (for frame pictures: path's folder and name without the
  // extension become the base, numbered per frame). The remembered choices
  // go into the preferences first. False (and a message) on failure.
  bool ExportTo(const QString& path);
  void SetTargetPath(const QString& path) { m_target = path; }
  // The JPEG quality the Flash page proposes: the remembered one, or 85
  // while none has been remembered (the table's default stands for that).
  static int ProposedFlashQuality(const CLoopwrightApp& app);

  QRadioButton* LosslessButton() const { return m_lossless; }
  QRadioButton* JpegButton() const { return m_jpeg; }
  QSpinBox* QualityBox() const { return m_quality; }
  QSpinBox* RateBox() const { return m_rate; }
  QCheckBox* ExactTimingBox() const { return m_exact; }
  QComboBox* CodecBox() const { return m_codec; }
  QLineEdit* SoundEdit() const { return m_sound; }
  QPushButton* SoundButton() const { return m_soundButton; }
  QCheckBox* MovieBox() const { return m_movie; }
  QSpinBox* HotXBox() const { return m_hotX; }
  QSpinBox* HotYBox() const { return m_hotY; }
  QComboBox* FormatBox() const { return m_format; }
  QPushButton* FormatOptionsButton() const { return m_formatOptions; }
  // Opens the options of the chosen picture format (window-modal, not
  // waited for); OK there keeps them for the session. Null for a format
  // without options.
  CPictureOptionsDialog* OpenFormatOptions();
  // The video's frame rate as the box shows it, and as rate / scale.
  QDoubleSpinBox* VideoRateBox() const { return m_videoRate; }

  void accept() override;

 private:
  void ChooseSound();
  QString FileFilter() const;

  CLoopwrightDoc& m_doc;
  Kind m_kind;
  QString m_target;
  QRadioButton* m_lossless = nullptr;
  QRadioButton* m_jpeg = nullptr;
  QSpinBox* m_quality = nullptr;
  QSpinBox* m_rate = nullptr;
  QCheckBox* m_exact = nullptr;
  QComboBox* m_codec = nullptr;
  QLineEdit* m_sound = nullptr;
  QPushButton* m_soundButton = nullptr;
  QCheckBox* m_movie = nullptr;
  QSpinBox* m_hotX = nullptr;
  QSpinBox* m_hotY = nullptr;
  QComboBox* m_format = nullptr;
  QPushButton* m_formatOptions = nullptr;
  QDoubleSpinBox* m_videoRate = nullptr;
  CAviRate m_proposedRate;  // from the delays
};
