// Every dialog opens, settles and draws, on an animation and on a document
// without frames.
#include <QImage>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/dialog_screenshots.h"

class CDialogScreenshotsTests : public CDialogTestBase {
  Q_OBJECT

 private slots:
  void everyDialogDrawsWithAndWithoutFrames() {
    QVERIFY(DialogScreenshotNames().size() >= 15);
    for (int frames : {3, 0}) {
      auto doc = MakePatternDoc(m_app, m_prompt, 48, 32, std::max(frames, 1));
      if (frames == 0) {
        while (doc->GetFrameCount() > 0) doc->RemoveFrame(0);
        doc->m_nCurrentFrame = -1;
        doc->m_selectedFrames.clear();
      }
      for (const QString& name : DialogScreenshotNames()) {
        const QString out = m_dir.filePath(name + QStringLiteral(".png"));
        QCOMPARE(ScreenshotDialog(*doc, name, out, 20), 0);
        const QImage shot(out);
        QVERIFY2(shot.width() >= 150 && shot.height() >= 60, qPrintable(name));
      }
      QCOMPARE(doc->GetFrameCount(), frames);
    }
    auto doc = MakePatternDoc(m_app, m_prompt, 48, 32, 1);
    QCOMPARE(ScreenshotDialog(*doc, QStringLiteral("no-such-dialog"), m_dir.filePath(QStringLiteral("x.png")), 0), 2);
  }
};

QTEST_MAIN(CDialogScreenshotsTests)
#include "dialog_screenshots_tests.moc"
