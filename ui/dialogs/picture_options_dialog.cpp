#include "ui/dialogs/picture_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_support.h"

namespace {

// Holds the session's choices as a child of the application object, so
// they live as long as the program and no longer.
class CPictureOptionsStore : public QObject {
 public:
  using QObject::QObject;
  CPictureExportOptions options;
};

constexpr const char* kStoreName = "lwPictureOptions";

}  // namespace

CPictureExportOptions& SessionPictureOptions() {
  QObject* app = QCoreApplication::instance();
  auto* store = app ? app->findChild<CPictureOptionsStore*>(QLatin1String(kStoreName), Qt::FindDirectChildrenOnly)
                    : nullptr;
  if (!store) {
    store = new CPictureOptionsStore(app);
    store->setObjectName(QLatin1String(kStoreName));
  }
  return store->options;
}

bool CPictureOptionsDialog::FormatOf(const QString& ext, Format* format) {
  const QString e = ext.toLower();
  Format f;
  if (e == QLatin1String("png")) f = Format::Png;
  else if (e == QLatin1String("tga")) f = Format::Tga;
  else if (e == QLatin1String("tif") || e == QLatin1String("tiff")) f = Format::Tiff;
  else if (e == QLatin1String("psd")) f = Format::Psd;
  else return false;
  if (format) *format = f;
  return true;
}

CPictureOptionsDialog::CPictureOptionsDialog(Format format, const CPictureExportOptions& start, QWidget* parent)
    : QDialog(parent), m_format(format), m_start(start) {
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  switch (format) {
    case Format::Png:
      setWindowTitle(T("PNG Options"));
      m_level = NewSpin(0, 9, start.pngLevel);
      m_level->setToolTip(T("0 stores the pixels as they are; 9 gives the smallest file."));
      m_interlace = new QCheckBox(T("Interlaced (shows coarse to fine while loading)"));
      m_interlace->setChecked(start.pngInterlaced);
      form->addRow(T("Compression level"), m_level);
      form->addRow(m_interlace);
      break;
    case Format::Tga:
      setWindowTitle(T("TGA Options"));
      m_rle = new QCheckBox(T("Run-length compression"));
      m_rle->setChecked(start.tgaRle);
      m_alpha = new QCheckBox(T("Keep the transparency (32 bits a pixel)"));
      m_alpha->setChecked(start.tgaAlpha);
      form->addRow(m_rle);
      form->addRow(m_alpha);
      break;
    case Format::Tiff:
      setWindowTitle(T("TIFF Options"));
      m_compression = new QComboBox;
      m_compression->addItem(T("None"), 0);
      m_compression->addItem(QStringLiteral("PackBits"), 1);
      m_compression->addItem(QStringLiteral("LZW"), 2);
      m_compression->addItem(QStringLiteral("Deflate"), 3);
      m_compression->setCurrentIndex(std::max(0, m_compression->findData(start.tiffCompression)));
      m_predictor = new QCheckBox(T("Horizontal differencing (smaller LZW and Deflate files)"));
      m_predictor->setChecked(start.tiffPredictor);
      form->addRow(T("Compression"), m_compression);
      form->addRow(m_predictor);
      break;
    case Format::Psd:
      setWindowTitle(T("PSD Options"));
      m_alpha = new QCheckBox(T("Layers keep their transparency"));
      m_alpha->setChecked(start.psdLayerAlpha);
      form->addRow(m_alpha);
      break;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

CPictureExportOptions CPictureOptionsDialog::Options() const {
  CPictureExportOptions o = m_start;
  switch (m_format) {
    case Format::Png:
      o.pngLevel = m_level->value();
      o.pngInterlaced = m_interlace->isChecked();
      break;
    case Format::Tga:
      o.tgaRle = m_rle->isChecked();
      o.tgaAlpha = m_alpha->isChecked();
      break;
    case Format::Tiff:
      o.tiffCompression = m_compression->currentData().toInt();
      o.tiffPredictor = m_predictor->isChecked();
      break;
    case Format::Psd: o.psdLayerAlpha = m_alpha->isChecked(); break;
  }
  return o;
}
