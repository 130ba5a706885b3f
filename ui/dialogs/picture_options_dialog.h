// The option dialogs of the PNG, TGA, TIFF and PSD writers: what each
// writer can do differently, starting from this session's choices (the
// writers' defaults until changed). The frames-as-pictures export opens
// the one of its format and writes with the session's choices.
#pragma once

#include <QDialog>

#include "export/picture_options.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

// The choices of this run of the program (kept by the application object).
CPictureExportOptions& SessionPictureOptions();

class CPictureOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Format { Png, Tga, Tiff, Psd };
  // The format of extension ext ("png", "tga", "tif"/"tiff", "psd", any
  // case); false for a format without options here.
  static bool FormatOf(const QString& ext, Format* format);

  CPictureOptionsDialog(Format format, const CPictureExportOptions& start, QWidget* parent = nullptr);

  // start with this dialog's rows applied.
  CPictureExportOptions Options() const;
  Format GetFormat() const { return m_format; }

  QSpinBox* LevelBox() const { return m_level; }
  QCheckBox* InterlaceBox() const { return m_interlace; }
  QCheckBox* RleBox() const { return m_rle; }
  QCheckBox* AlphaBox() const { return m_alpha; }
  QComboBox* CompressionBox() const { return m_compression; }
  QCheckBox* PredictorBox() const { return m_predictor; }

 private:
  Format m_format;
  CPictureExportOptions m_start;
  QSpinBox* m_level = nullptr;
  QCheckBox* m_interlace = nullptr;
  QCheckBox* m_rle = nullptr;
  QCheckBox* m_alpha = nullptr;
  QComboBox* m_compression = nullptr;
  QCheckBox* m_predictor = nullptr;
};
