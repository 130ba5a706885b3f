#include "ui/dialogs/export_options_dialog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <numeric>

#include "app/loopwright_app.h"
#include "companions/base/tr.h"
#include "export/swf_frame_prep.h"
#include "export/video_frames.h"
#include "ui/dib_image.h"
#include "ui/dialogs/dialog_support.h"
#include "ui/dialogs/picture_options_dialog.h"

namespace {

constexpr int kProposedFlashQuality = 85;
constexpr double kMinVideoRate = 0.1, kMaxVideoRate = 120.0;

// fps as rate / scale: the proposed pair while the box still shows it,
// else thousandths reduced.
CAviRate RateOf(double fps, CAviRate proposed) {
  const double shown = double(proposed.rate) / std::max<std::uint32_t>(1, proposed.scale);
  if (std::abs(fps - shown) < 0.0005) return proposed;
  std::uint32_t rate = std::uint32_t(std::lround(std::clamp(fps, kMinVideoRate, kMaxVideoRate) * 1000));
  std::uint32_t scale = 1000;
  const std::uint32_t g = std::gcd(rate, scale);
  return CAviRate{scale / g, rate / g};
}

}  // namespace

int CExportOptionsDialog::ProposedFlashQuality(const CLoopwrightApp& app) {
  const int remembered = app.Pref("FlashJPGQuality");
  if (remembered == CPreferences::Default("FlashJPGQuality") || remembered < 1 || remembered > 100)
    return kProposedFlashQuality;
  return remembered;
}

CExportOptionsDialog::CExportOptionsDialog(CLoopwrightDoc& doc, Kind kind, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_kind(kind) {
  const CLoopwrightApp& app = doc.App();
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  auto flashRows = [&] {
    m_lossless = new QRadioButton(T("Lossless bitmaps"));
    m_jpeg = new QRadioButton(T("JPEG bitmaps"));
    (app.Pref("FlashEncode") ? m_lossless : m_jpeg)->setChecked(true);
    m_quality = NewSpin(1, 100, ProposedFlashQuality(app));
    m_quality->setEnabled(m_jpeg->isChecked());
    connect(m_jpeg, &QRadioButton::toggled, m_quality, &QSpinBox::setEnabled);
    m_rate = NewSpin(1, 50, FlashFrameRate(doc));
    m_rate->setSuffix(T(" frames/s"));
    m_exact = new QCheckBox(T("Keep every frame's own delay"));
    form->addRow(m_lossless);
    form->addRow(m_jpeg);
    form->addRow(T("JPEG quality"), m_quality);
    form->addRow(T("Frame rate"), m_rate);
    form->addRow(m_exact);
  };
  switch (kind) {
    case Kind::Flash:
      setWindowTitle(T("Export Flash Movie"));
      flashRows();
      break;
    case Kind::Video: {
      setWindowTitle(T("Export Video"));
      m_codec = new QComboBox;
      m_codec->addItem(T("Motion JPEG"), int(AVI_CODEC_MJPEG));
      m_codec->addItem(T("Run-length 8-bit"), int(AVI_CODEC_RLE));
      m_codec->addItem(T("Uncompressed"), int(AVI_CODEC_DIB));
      m_quality = NewSpin(1, 100, CVideoExportOptions().quality);
      // The rate the export would take from the delays, offered for change.
      m_proposedRate = ChooseAviRate(FrameDelays(doc));
      m_videoRate = new QDoubleSpinBox;
      m_videoRate->setDecimals(3);
      m_videoRate->setRange(kMinVideoRate, kMaxVideoRate);
      m_videoRate->setSuffix(T(" frames/s"));
      m_videoRate->setValue(double(m_proposedRate.rate) / std::max<std::uint32_t>(1, m_proposedRate.scale));
      m_sound = new QLineEdit;
      m_sound->setPlaceholderText(T("No sound"));
      m_soundButton = new QPushButton(T("Choose..."));
      connect(m_soundButton, &QPushButton::clicked, this, &CExportOptionsDialog::ChooseSound);
      auto* sound = new QHBoxLayout;
      sound->addWidget(m_sound, 1);
      sound->addWidget(m_soundButton);
      form->addRow(T("AVI codec"), m_codec);
      form->addRow(T("Quality"), m_quality);
      form->addRow(T("AVI frame rate"), m_videoRate);
      form->addRow(T("Sound file"), sound);
      break;
    }
    case Kind::Html:
      setWindowTitle(T("Publish as HTML"));
      m_movie = new QCheckBox(T("Embed a Flash movie instead of the GIF"));
      form->addRow(m_movie);
      break;
    case Kind::Cursor:
    case Kind::AnimatedCursor:
      setWindowTitle(kind == Kind::Cursor ? T("Export Cursor") : T("Export Animated Cursor"));
      m_hotX = NewSpin(0, std::max(0, int(doc.m_nWidth) - 1), 0);
      m_hotY = NewSpin(0, std::max(0, int(doc.m_nHeight) - 1), 0);
      form->addRow(T("Hot spot x"), m_hotX);
      form->addRow(T("Hot spot y"), m_hotY);
      break;
    case Kind::FramePictures: {
      setWindowTitle(T("Export Frames as Pictures"));
      m_format = new QComboBox;
      for (const std::string& ext : FrameExportExtensions()) m_format->addItem(ToQt(ext).toUpper(), ToQt(ext));
      m_format->setCurrentIndex(std::clamp(app.Pref("CurrentFilter") - 1, 0, m_format->count() - 1));
      m_quality = NewSpin(0, 100, app.Pref("JPGQuality"));
      auto* progressive = new QCheckBox(T("Progressive"));
      progressive->setObjectName(QStringLiteral("EncodeJPGProgress"));
      progressive->setChecked(app.Pref("EncodeJPGProgress") != 0);
      m_formatOptions = new QPushButton(T("Options..."));
      connect(m_formatOptions, &QPushButton::clicked, this, [this] { OpenFormatOptions(); });
      auto jpegOnly = [this, progressive] {
        const bool jpeg = m_format->currentData().toString() == QStringLiteral("jpg");
        m_quality->setEnabled(jpeg);
        progressive->setEnabled(jpeg);
        m_formatOptions->setEnabled(CPictureOptionsDialog::FormatOf(m_format->currentData().toString(), nullptr));
      };
      connect(m_format, &QComboBox::currentIndexChanged, this, jpegOnly);
      jpegOnly();
      auto* formatRow = new QHBoxLayout;
      formatRow->addWidget(m_format, 1);
      formatRow->addWidget(m_formatOptions);
      form->addRow(T("Format"), formatRow);
      form->addRow(T("JPEG quality"), m_quality);
      form->addRow(progressive);
      break;
    }
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}

CPictureOptionsDialog* CExportOptionsDialog::OpenFormatOptions() {
  CPictureOptionsDialog::Format format;
  if (!m_format || !CPictureOptionsDialog::FormatOf(m_format->currentData().toString(), &format)) return nullptr;
  auto* dialog = new CPictureOptionsDialog(format, SessionPictureOptions(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [dialog] { SessionPictureOptions() = dialog->Options(); });
  dialog->open();
  return dialog;
}

void CExportOptionsDialog::ChooseSound() {
  // Window-modal and asynchronous: the window keeps running while the user
  // looks for the file; the answer arrives through the signal.
  auto* chooser = new QFileDialog(this, T("Sound File"), QString(), T("Sound files (*.wav *.mp3 *.ogg *.flac);;All files (*)"));
  chooser->setAttribute(Qt::WA_DeleteOnClose);
  chooser->setFileMode(QFileDialog::ExistingFile);
  chooser->setObjectName(QStringLiteral("soundChooser"));
  connect(chooser, &QFileDialog::fileSelected, m_sound, &QLineEdit::setText);
  chooser->open();
}

CExportSettings CExportOptionsDialog::Settings() const {
  CExportSettings s;
  if (m_lossless) {
    s.flash.lossless = m_lossless->isChecked();
    s.flash.quality = m_quality->value();
    s.flash.fps = m_rate->value();
    s.flash.exactTiming = m_exact->isChecked();
  }
  if (m_codec) {
    s.video.codec = m_codec->currentData().toInt();
    s.video.quality = m_quality->value();
    s.video.soundPath = FromQt(m_sound->text().trimmed());
    s.video.aviRate = RateOf(m_videoRate->value(), m_proposedRate);
  }
  if (m_movie) s.pageShowsFlash = m_movie->isChecked();
  if (m_hotX) s.hotSpots = {POINT{m_hotX->value(), m_hotY->value()}};
  return s;
}

QString CExportOptionsDialog::FileFilter() const {
  switch (m_kind) {
    case Kind::Flash: return T("Flash movie (*.swf)");
    case Kind::Video: return T("AVI video (*.avi);;MP4 video (*.mp4);;WebM video (*.webm)");
    case Kind::Html: return T("HTML page (*.htm *.html)");
    case Kind::Cursor: return T("Cursor (*.cur)");
    case Kind::AnimatedCursor: return T("Animated cursor (*.ani)");
    case Kind::FramePictures: return T("Pictures (*.%1)").arg(m_format->currentData().toString());
  }
  return {};
}

bool CExportOptionsDialog::ExportTo(const QString& path) {
  CPreferences& prefs = m_doc.App().Prefs();
  std::string reason;
  bool ok;
  if (m_kind == Kind::FramePictures) {
    prefs.Set("JPGQuality", m_quality->value());
    if (auto* progressive = findChild<QCheckBox*>(QStringLiteral("EncodeJPGProgress")))
      prefs.Set("EncodeJPGProgress", progressive->isChecked() ? 1 : 0);
    const QFileInfo info(path);
    const std::string base = FromQt(info.dir().filePath(info.completeBaseName()));
    std::string failed;
    ok = ExportImageFramesWith(m_doc, base, FromQt(m_format->currentData().toString()), SessionPictureOptions(),
                               nullptr, &failed, &reason);
    if (!ok && !failed.empty()) reason = failed + (reason.empty() ? "" : ": " + reason);
  } else {
    if (m_lossless) {
      prefs.Set("FlashEncode", m_lossless->isChecked() ? 1 : 0);
      if (m_jpeg->isChecked()) prefs.Set("FlashJPGQuality", m_quality->value());
    }
    ok = ExportAnimationFile(m_doc, FromQt(path), nullptr, Settings(), &reason);
  }
  if (ok) return true;
  std::string text = FormatMessage1(Tr("Could not write the file %s."), FromQt(path));
  if (!reason.empty()) text += "\n" + reason;
  m_doc.Prompt().ShowMessage(text, MessageKind::Error);
  return false;
}

void CExportOptionsDialog::accept() {
  QString path = m_target;
  if (path.isEmpty()) path = QFileDialog::getSaveFileName(this, windowTitle(), {}, FileFilter());
  if (path.isEmpty()) return;
  if (ExportTo(path)) QDialog::accept();
}
