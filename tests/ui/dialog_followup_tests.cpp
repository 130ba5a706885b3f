// The GIF estimate when options change (stale runs stopped without waiting,
// sizes seen before shown at once) and the picture writers' options reaching
// the bytes.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "export/export_dispatch.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/dib_image.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/dialogs/picture_options_dialog.h"

namespace {

using namespace TevImageIO;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 Le32(const QByteArray& b, qsizetype at) {
  return quint8(b[at]) | quint8(b[at + 1]) << 8 | quint8(b[at + 2]) << 16 | quint32(quint8(b[at + 3])) << 24;
}
int Be16(const QByteArray& b, qsizetype at) { return quint8(b[at]) << 8 | quint8(b[at + 1]); }

// The value of tag in the first directory of a little-endian TIFF; -1 when absent.
int TiffTag(const QByteArray& b, int tag) {
  if (b.size() < 8 || b[0] != 'I') return -1;
  const qsizetype ifd = Le32(b, 4);
  if (ifd + 2 > b.size()) return -1;
  const int count = quint8(b[ifd]) | quint8(b[ifd + 1]) << 8;
  for (int i = 0; i < count; ++i) {
    const qsizetype e = ifd + 2 + 12 * i;
    if (e + 12 > b.size()) return -1;
    if ((quint8(b[e]) | quint8(b[e + 1]) << 8) == tag) return quint8(b[e + 8]) | quint8(b[e + 9]) << 8;
  }
  return -1;
}

}  // namespace

class CDialogFollowupTests : public QObject {
  Q_OBJECT
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  QTemporaryDir m_dir;

  // Exports every frame of doc as ext after the format's dialog took choose.
  QByteArray ExportFirstFrame(CLoopwrightDoc& doc, const QString& ext, const QString& name,
                              const std::function<void(CPictureOptionsDialog&)>& choose) {
    CExportOptionsDialog frames(doc, CExportOptionsDialog::Kind::FramePictures);
    frames.FormatBox()->setCurrentIndex(frames.FormatBox()->findData(ext));
    if (!frames.FormatOptionsButton()->isEnabled()) return {};
    CPictureOptionsDialog* options = frames.OpenFormatOptions();
    if (!options) return {};
    choose(*options);
    options->accept();
    const QString path = m_dir.filePath(name + QStringLiteral(".") + ext);
    if (!frames.ExportTo(path)) return {};
    return ReadAll(m_dir.filePath(name + QStringLiteral("1.") + ext));
  }

 private slots:
  void initTestCase() {
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }

  void estimateFollowsTheOptions() {
    auto doc = MakePatternDoc(m_app, m_prompt, 96, 72, 4);
    CGifExportDialog dialog(*doc);
    dialog.ColoursBox()->setValue(16);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 30000);
    const long long sixteen = dialog.Estimator().Bytes();
    QVERIFY(sixteen > 0);
    // Changing the options again and again leaves one estimate running;
    // the stopped ones wind down on their own.
    for (int colours : {20, 24, 28, 32}) dialog.ColoursBox()->setValue(colours);
    QVERIFY(dialog.Estimator().Busy());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy() && dialog.Estimator().Stopping() == 0, 30000);
    const long long thirtyTwo = dialog.Estimator().Bytes();
    QVERIFY(thirtyTwo > 0 && thirtyTwo != sixteen);
    // Back to 16 colours: the size is shown before the new run ends.
    dialog.ColoursBox()->setValue(16);
    QVERIFY(dialog.Estimator().Busy());
    QCOMPARE(dialog.SizeLabel()->text(), CGifExportDialog::SizeText(sixteen));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 30000);
    QCOMPARE(dialog.Estimator().Bytes(), sixteen);
    // An option set never seen says it is estimating.
    dialog.ColoursBox()->setValue(40);
    QCOMPARE(dialog.SizeLabel()->text(), QStringLiteral("estimating..."));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 30000);
  }

  void choicesReachTheFile() {
    auto doc = MakePatternDoc(m_app, m_prompt, 40, 30, 2);
    for (const auto& ref : doc->GetCurrentFrame()->m_refs)
      if (ref->m_bVisible) doc->m_selectedObjects.push_back(ref->m_pObject);
    struct Case {
      const char* name;
      const char* ext;
      std::function<void(CPictureOptionsDialog&)> choose;
      std::function<bool(const QByteArray&)> check;
    };
    const Case cases[] = {
        {"png-interlaced", "png", [](CPictureOptionsDialog& d) { d.InterlaceBox()->setChecked(true); },
         [](const QByteArray& b) { return b.size() > 28 && b[28] == 1; }},  // IHDR interlace method
        {"tga-plain", "tga",
         [](CPictureOptionsDialog& d) {
           d.RleBox()->setChecked(false);
           d.AlphaBox()->setChecked(false);
         },
         [](const QByteArray& b) { return b.size() == 18 + 40 * 30 * 3 && b[2] == 2 && b[16] == 24; }},
        {"tiff-packbits", "tiff",
         [](CPictureOptionsDialog& d) { d.CompressionBox()->setCurrentIndex(d.CompressionBox()->findData(1)); },
         [](const QByteArray& b) { return TiffTag(b, 259) == 32773; }},
        {"psd-opaque-layers", "psd", [](CPictureOptionsDialog& d) { d.AlphaBox()->setChecked(false); },
         [](const QByteArray& b) { return b.size() > 62 && Be16(b, 60) == 3; }},  // first layer's channels
    };
    for (const Case& c : cases) {
      const QByteArray bytes =
          ExportFirstFrame(*doc, QString::fromLatin1(c.ext), QString::fromLatin1(c.name), c.choose);
      QVERIFY2(!bytes.isEmpty(), c.name);
      QVERIFY2(c.check(bytes), c.name);
    }
  }

};

QTEST_MAIN(CDialogFollowupTests)
#include "dialog_followup_tests.moc"
