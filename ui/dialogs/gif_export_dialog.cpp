#include "ui/dialogs/gif_export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "editing/frame_commands.h"
#include "export/color_quantizer.h"
#include "ui/dib_image.h"

namespace {

constexpr int kPreviewSize = 280;
// A GIF delay of 0 plays at the pace browsers use for it.
constexpr int kMinDelayMs = 20;

}  // namespace

CGifExportDialog::CGifExportDialog(CLoopwrightDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_estimator(doc) {
  setWindowTitle(QString::fromUtf8(Tr("Export GIF")));
  m_colours = new QSpinBox;
  m_colours->setRange(2, 256);
  m_colours->setValue(std::clamp(int(doc.m_nOutputColors), 2, 256));
  m_dither = new QComboBox;
  m_dither->addItem(QString::fromUtf8(Tr("None")), int(DITHER_NONE));
  m_dither->addItem(QString::fromUtf8(Tr("Ordered")), int(DITHER_ORDERED));
  m_dither->addItem(QString::fromUtf8(Tr("Error diffusion")), int(DITHER_ERROR_DIFFUSION));
  m_dither->setCurrentIndex(std::max(0, m_dither->findData(int(doc.m_nOutputReduction))));
  m_strength = new QSpinBox;
  m_strength->setRange(0, 100);
  m_strength->setSuffix(QStringLiteral(" %"));
  m_strength->setValue(std::clamp(int(doc.m_nOutputQuality), 0, 100));
  m_level = new QComboBox;
  m_level->addItem(QString::fromUtf8(Tr("Fast")), 1);
  m_level->addItem(QString::fromUtf8(Tr("Normal")), 2);
  m_level->addItem(QString::fromUtf8(Tr("Smallest (slowest)")), 3);
  m_level->setCurrentIndex(m_level->findData(CExportSettings().gifLevel));
  m_noRestore = new QCheckBox(QString::fromUtf8(Tr("Never restore the previous frame")));
  m_loopForever = new QCheckBox(QString::fromUtf8(Tr("Loop forever")));
  m_loopForever->setChecked(doc.m_bLoopForever != 0);
  m_loopCount = new QSpinBox;
  m_loopCount->setRange(1, 65535);
  m_loopCount->setValue(std::clamp(int(doc.m_nLoopCount), 1, 65535));
  m_loopCount->setEnabled(!m_loopForever->isChecked());
  m_size = new QLabel;
  m_size->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_picture = new QLabel;
  m_picture->setFixedSize(kPreviewSize, kPreviewSize);
  m_picture->setAlignment(Qt::AlignCenter);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8(Tr("Colours")), m_colours);
  form->addRow(QString::fromUtf8(Tr("Dither")), m_dither);
  form->addRow(QString::fromUtf8(Tr("Dither strength")), m_strength);
  form->addRow(QString::fromUtf8(Tr("Optimization")), m_level);
  form->addRow(m_noRestore);
  form->addRow(m_loopForever);
  form->addRow(QString::fromUtf8(Tr("Play count")), m_loopCount);
  form->addRow(QString::fromUtf8(Tr("File size")), m_size);
  auto* top = new QHBoxLayout;
  top->addLayout(form);
  top->addWidget(m_picture);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);

  connect(m_colours, &QSpinBox::valueChanged, this, &CGifExportDialog::Restart);
  connect(m_dither, &QComboBox::currentIndexChanged, this, &CGifExportDialog::Restart);
  connect(m_strength, &QSpinBox::valueChanged, this, &CGifExportDialog::Restart);
  connect(m_level, &QComboBox::currentIndexChanged, this, &CGifExportDialog::Restart);
  connect(m_noRestore, &QCheckBox::toggled, this, &CGifExportDialog::Restart);
  connect(m_loopForever, &QCheckBox::toggled, this, [this](bool on) {
    m_loopCount->setEnabled(!on);
    Restart();
  });
  connect(m_loopCount, &QSpinBox::valueChanged, this, &CGifExportDialog::Restart);
  connect(&m_estimator, &CGifSizeEstimator::Finished, this, &CGifExportDialog::OnEstimate);
  m_playTimer.setSingleShot(true);
  connect(&m_playTimer, &QTimer::timeout, this, &CGifExportDialog::ShowNextFrame);
  Restart();
}

CGifEstimateOptions CGifExportDialog::Options() const {
  CGifEstimateOptions o;
  o.settings.maxColors = m_colours->value();
  o.settings.ditherMode = m_dither->currentData().toInt();
  o.settings.ditherParameter = m_strength->value();
  o.settings.forbidRestorePrevious = m_noRestore->isChecked();
  o.settings.gifLevel = m_level->currentData().toInt();
  o.loopForever = m_loopForever->isChecked();
  o.loopCount = m_loopCount->value();
  return o;
}

QString CGifExportDialog::SizeText(long long bytes) {
  if (bytes < 0) return QString::fromUtf8(Tr("estimating..."));
  return QString::fromUtf8(Tr("%1 bytes (%2)")).arg(QLocale().toString(bytes), QLocale().formattedDataSize(bytes));
}

void CGifExportDialog::Restart() {
  m_playTimer.stop();
  // A size found before for the same options is exact: shown at once
  // while the preview is made again.
  const CGifEstimateOptions options = Options();
  m_size->setText(SizeText(m_estimator.KnownBytes(options)));
  m_estimator.Start(options);
}

void CGifExportDialog::OnEstimate(long long bytes) {
  m_size->setText(bytes < 0 ? QString::fromUtf8(Tr("cannot be estimated")) : SizeText(bytes));
  m_play = CGifPreviewState();
  ShowNextFrame();
}

void CGifExportDialog::ShowNextFrame() {
  const auto& preview = m_estimator.Preview();
  if (preview.empty()) {
    m_picture->clear();
    return;
  }
  m_play.Advance(preview, m_estimator.CanvasSize());
  const QImage shown = m_play.screen.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  m_picture->setPixmap(QPixmap::fromImage(shown));
  if (preview.size() > 1)
    m_playTimer.start(std::max(kMinDelayMs, preview[std::size_t(m_play.index)].delay * 10));
}

bool CGifExportDialog::ExportTo(const QString& path) {
  m_estimator.Cancel();
  m_playTimer.stop();
  const CGifEstimateOptions o = Options();
  const bool loopDiffers = (m_doc.m_bLoopForever != 0) != o.loopForever ||
                           (!o.loopForever && m_doc.m_nLoopCount != o.loopCount);
  if (loopDiffers) SetLoopTimes(m_doc, o.loopForever ? 1 : 0, o.loopCount);
  std::string reason;
  if (ExportAnimationFile(m_doc, FromQt(path), nullptr, o.settings, &reason)) return true;
  std::string text = FormatMessage1(Tr("Could not write the GIF file %s."), FromQt(path));
  if (!reason.empty()) text += "\n" + reason;
  m_doc.Prompt().ShowMessage(text, MessageKind::Error);
  return false;
}

void CGifExportDialog::accept() {
  QString path = m_target;
  if (path.isEmpty())
    path = QFileDialog::getSaveFileName(this, QString::fromUtf8(Tr("Export GIF")), {},
                                        QString::fromUtf8(Tr("GIF animation (*.gif)")));
  if (path.isEmpty()) return;
  if (ExportTo(path)) QDialog::accept();
}
