// The picture writers' option dialogs and the video frame rate: the
// defaults are the writers' records, the choices reach the bytes written,
// and they last for the session.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/picture_options_dialog.h"

namespace {

using namespace TevImageIO;
using F = CPictureOptionsDialog::Format;

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

// The video stream's frames per second from an AVI's stream header.
double AviRate(const QByteArray& b) {
  qsizetype at = b.indexOf("strh");
  while (at >= 0 && b.mid(at + 8, 4) != "vids") at = b.indexOf("strh", at + 4);
  if (at < 0 || at + 36 > b.size()) return -1;
  const quint32 scale = Le32(b, at + 28), rate = Le32(b, at + 32);
  return scale ? double(rate) / scale : -1;
}

}  // namespace

class CPictureExportOptionsTests : public QObject {
  Q_OBJECT
  CRecordingPrompt m_prompt;
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;

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

  void defaultsAreTheWritersRecords() {
    // The records' documented values: PNG level 9; TGA 4 bytes a pixel,
    // run-length on; TIFF no predictor, LZW; PSD layers with 4 channels.
    const CPictureExportOptions defaults;
    auto png = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_PNG);
    auto tga = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_TGA);
    auto tiff = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_TIFF);
    auto psd = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_PSD);
    for (auto* record : {png.get(), tga.get(), tiff.get(), psd.get()}) ApplyPictureExportOptions(defaults, *record);
    QCOMPARE(int(png->As<CTevPngExportOptions>()->compression), 9);
    QCOMPARE(int(png->As<CTevPngExportOptions>()->interlaced), 0);
    QCOMPARE(int(tga->As<CTevTgaExportOptions>()->bytesPerPixel), 4);
    QCOMPARE(int(tga->As<CTevTgaExportOptions>()->rle), 1);
    QCOMPARE(int(tiff->As<CTevTiffExportOptions>()->predictor), 0);
    QCOMPARE(int(tiff->As<CTevTiffExportOptions>()->compression), 2);
    QCOMPARE(int(psd->As<CTevPsdExportOptions>()->layerChannels), 4);
    // The dialogs start from them.
    CPictureOptionsDialog dialog(F::Png, defaults);
    QCOMPARE(dialog.LevelBox()->value(), 9);
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
        {"tga-rle", "tga",
         [](CPictureOptionsDialog& d) {
           d.RleBox()->setChecked(true);
           d.AlphaBox()->setChecked(true);
         },
         [](const QByteArray& b) { return b.size() > 18 && b[2] == 10 && b[16] == 32; }},
        {"tiff-packbits", "tiff",
         [](CPictureOptionsDialog& d) { d.CompressionBox()->setCurrentIndex(d.CompressionBox()->findData(1)); },
         [](const QByteArray& b) { return TiffTag(b, 259) == 32773; }},
        {"tiff-none", "tiff",
         [](CPictureOptionsDialog& d) { d.CompressionBox()->setCurrentIndex(d.CompressionBox()->findData(0)); },
         [](const QByteArray& b) { return TiffTag(b, 259) == 1; }},
        {"psd-opaque-layers", "psd", [](CPictureOptionsDialog& d) { d.AlphaBox()->setChecked(false); },
         [](const QByteArray& b) { return b.size() > 62 && Be16(b, 60) == 3; }},  // first layer's channels
        {"psd-layers", "psd", [](CPictureOptionsDialog& d) { d.AlphaBox()->setChecked(true); },
         [](const QByteArray& b) { return b.size() > 62 && Be16(b, 60) == 4; }},
    };
    for (const Case& c : cases) {
      const QByteArray bytes =
          ExportFirstFrame(*doc, QString::fromLatin1(c.ext), QString::fromLatin1(c.name), c.choose);
      QVERIFY2(!bytes.isEmpty(), c.name);
      QVERIFY2(c.check(bytes), c.name);
    }
    // PNG level 0 stores the pixels: larger than level 9.
    const QByteArray stored = ExportFirstFrame(*doc, QStringLiteral("png"), QStringLiteral("stored"),
                                               [](CPictureOptionsDialog& d) { d.LevelBox()->setValue(0); });
    const QByteArray packed = ExportFirstFrame(*doc, QStringLiteral("png"), QStringLiteral("packed"),
                                               [](CPictureOptionsDialog& d) { d.LevelBox()->setValue(9); });
    QVERIFY(stored.size() > packed.size() + 1000);
  }

  void choicesLastTheSession() {
    auto doc = MakePatternDoc(m_app, m_prompt, 8, 8, 1);
    CPictureExportOptions& session = SessionPictureOptions();
    session = CPictureExportOptions();
    {
      CExportOptionsDialog frames(*doc, CExportOptionsDialog::Kind::FramePictures);
      frames.FormatBox()->setCurrentIndex(frames.FormatBox()->findData(QStringLiteral("tiff")));
      CPictureOptionsDialog* options = frames.OpenFormatOptions();
      QVERIFY(options);
      options->CompressionBox()->setCurrentIndex(options->CompressionBox()->findData(3));
      options->accept();
      // A cancelled change is not kept.
      options = frames.OpenFormatOptions();
      options->CompressionBox()->setCurrentIndex(options->CompressionBox()->findData(0));
      options->reject();
      // Formats without options have no dialog.
      frames.FormatBox()->setCurrentIndex(frames.FormatBox()->findData(QStringLiteral("bmp")));
      QVERIFY(!frames.FormatOptionsButton()->isEnabled());
      QVERIFY(!frames.OpenFormatOptions());
    }
    CExportOptionsDialog again(*doc, CExportOptionsDialog::Kind::FramePictures);
    again.FormatBox()->setCurrentIndex(again.FormatBox()->findData(QStringLiteral("tiff")));
    CPictureOptionsDialog* options = again.OpenFormatOptions();
    QVERIFY(options);
    QCOMPARE(options->CompressionBox()->currentData().toInt(), 3);
    QCOMPARE(&SessionPictureOptions(), &session);
  }

  void videoRateReachesTheAvi() {
    struct Case {
      const char* name;
      int delay;        // hundredths, every frame
      double chosen;    // 0: keep the proposed rate
      double expected;  // frames per second in the file
    };
    const Case cases[] = {
        {"proposed", 10, 0, 10.0},
        {"slower", 10, 5.0, 5.0},
        {"fractional", 4, 12.5, 12.5},
    };
    for (const Case& c : cases) {
      auto doc = MakePatternDoc(m_app, m_prompt, 16, 16, 3);
      for (int i = 0; i < doc->GetFrameCount(); ++i) doc->GetFrame(i)->m_nDelay = WORD(c.delay);
      CExportOptionsDialog dialog(*doc, CExportOptionsDialog::Kind::Video);
      QVERIFY(dialog.VideoRateBox());
      QCOMPARE(dialog.VideoRateBox()->value(), 100.0 / c.delay);
      if (c.chosen > 0) dialog.VideoRateBox()->setValue(c.chosen);
      const QString path = m_dir.filePath(QStringLiteral("%1.avi").arg(c.name));
      QVERIFY2(dialog.ExportTo(path), c.name);
      QCOMPARE(AviRate(ReadAll(path)), c.expected);
    }
  }
};

QTEST_MAIN(CPictureExportOptionsTests)
#include "picture_export_options_tests.moc"
