// The option dialogs of the other exports: what they propose, what they
// remember, and that their choices reach the written files.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dib_image.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int Word(const QByteArray& bytes, int at) { return quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8); }

}  // namespace

class CExportOptionsDialogTests : public QObject {
  Q_OBJECT
  CRecordingPrompt m_prompt;
  QTemporaryDir m_dir;
  using K = CExportOptionsDialog::Kind;

  // A fresh application: the preferences at their defaults.
  std::unique_ptr<CLoopwrightApp> App() {
    auto app = std::make_unique<CLoopwrightApp>();
    app->m_bWritePrefsOnExit = false;
    app->InitInstance(m_dir.filePath(QStringLiteral("none.ini")).toStdString());
    return app;
  }

 private slots:
  void flashProposesAndRemembers() {
    auto app = App();
    auto doc = MakePatternDoc(*app, m_prompt, 32, 24, 3);
    struct Case { int delay, rate; };
    for (const Case& c : {Case{10, 10}, Case{25, 4}, Case{1, 30}}) {
      for (auto& frame : doc->m_frames) frame->m_nDelay = std::uint16_t(c.delay);
      CExportOptionsDialog dialog(*doc, K::Flash);
      QCOMPARE(dialog.RateBox()->value(), c.rate);
    }
    {
      CExportOptionsDialog dialog(*doc, K::Flash);
      QVERIFY(dialog.LosslessButton()->isChecked());
      QCOMPARE(dialog.QualityBox()->value(), 85);
      dialog.JpegButton()->setChecked(true);
      dialog.QualityBox()->setValue(70);
      const QString path = m_dir.filePath(QStringLiteral("movie.swf"));
      QVERIFY(dialog.ExportTo(path));
      QVERIFY(ReadAll(path).startsWith("FWS"));
    }
    CExportOptionsDialog next(*doc, K::Flash);
    QVERIFY(next.JpegButton()->isChecked());
    QCOMPARE(next.QualityBox()->value(), 70);
  }

  void cursorHotSpotIsWritten() {
    auto app = App();
    auto doc = MakePatternDoc(*app, m_prompt, 32, 32, 1);
    struct Case { int x, y; };
    for (const Case& c : {Case{0, 0}, Case{5, 7}, Case{31, 30}}) {
      CExportOptionsDialog dialog(*doc, K::Cursor);
      dialog.HotXBox()->setValue(c.x);
      dialog.HotYBox()->setValue(c.y);
      const QString path = m_dir.filePath(QStringLiteral("c.cur"));
      QVERIFY(dialog.ExportTo(path));
      const QByteArray bytes = ReadAll(path);
      QVERIFY(bytes.size() > 22);
      QCOMPARE(Word(bytes, 2), 2);  // cursor resource
      QCOMPARE(Word(bytes, 10), c.x);
      QCOMPARE(Word(bytes, 12), c.y);
    }
  }

  void framePictureQualityReachesTheFiles() {
    auto app = App();
    auto doc = MakePatternDoc(*app, m_prompt, 64, 48, 2);
    qint64 sizes[2] = {0, 0};
    const int qualities[2] = {10, 95};
    for (int i = 0; i < 2; ++i) {
      CExportOptionsDialog dialog(*doc, K::FramePictures);
      dialog.FormatBox()->setCurrentIndex(dialog.FormatBox()->findData(QStringLiteral("jpg")));
      dialog.QualityBox()->setValue(qualities[i]);
      const QString base = m_dir.filePath(QStringLiteral("q%1").arg(qualities[i]));
      QVERIFY(dialog.ExportTo(base + QStringLiteral(".jpg")));
      QCOMPARE(app->Pref("JPGQuality"), qualities[i]);
      const QString first = QString::fromStdString(FrameFileName(FromQt(base), 1, 2, "jpg"));
      const QByteArray bytes = ReadAll(first);
      QVERIFY2(bytes.startsWith("\xFF\xD8"), qPrintable(first));
      sizes[i] = bytes.size();
    }
    QVERIFY(sizes[0] < sizes[1]);
  }

  void soundChooserDoesNotBlock() {
    auto app = App();
    auto doc = MakePatternDoc(*app, m_prompt, 32, 24, 1);
    CExportOptionsDialog dialog(*doc, K::Video);
    dialog.show();
    dialog.SoundButton()->click();
    // The click returned with the chooser still open.
    auto* chooser = dialog.findChild<QFileDialog*>(QStringLiteral("soundChooser"));
    QVERIFY(chooser && chooser->isVisible());
    emit chooser->fileSelected(QStringLiteral("/music/loop.wav"));
    chooser->close();
    QCOMPARE(dialog.SoundEdit()->text(), QStringLiteral("/music/loop.wav"));
    QCOMPARE(dialog.Settings().video.soundPath, std::string("/music/loop.wav"));
  }
};

QTEST_MAIN(CExportOptionsDialogTests)
#include "export_options_dialog_tests.moc"
