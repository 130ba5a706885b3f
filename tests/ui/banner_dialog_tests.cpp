// The banner dialog: the preview plays the clips over time, OK adds the
// frames it played as one action, undo takes them back, and a dialog with
// nothing to generate refuses.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/banner_dialog.h"

class CBannerDialogTests : public QObject {
  Q_OBJECT
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  QTemporaryDir m_dir;

 private slots:
  void initTestCase() {
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }

  void previewPlaysAndOkAddsTheFrames() {
    auto doc = MakePatternDoc(m_app, m_prompt, 120, 60, 1);
    CBannerDialog dialog(*doc);
    dialog.PreviewTimer().stop();
    dialog.TextEdit()->setPlainText(QStringLiteral("Hi"));
    dialog.EnterGallery()->setCurrentRow(BANNER_SLIDE_LEFT);
    dialog.LeaveGallery()->setCurrentRow(BANNER_FADE);
    dialog.EnterFramesBox()->setValue(4);
    dialog.LeaveFramesBox()->setValue(3);
    dialog.DelayBox()->setValue(5);
    dialog.RebuildPreview();
    QVERIFY(dialog.ClipCount() >= 7);
    // Each clip shows for its delay: 50 ms.
    const QImage first = dialog.Picture();
    dialog.Advance(40);
    QCOMPARE(dialog.Clip(), 0);
    dialog.Advance(10);
    QCOMPARE(dialog.Clip(), 1);
    QVERIFY(dialog.Picture() != first);
    dialog.Advance(50 * (dialog.ClipCount() - 1));
    QCOMPARE(dialog.Clip(), 0);
    QCOMPARE(dialog.Picture(), first);

    const int clips = dialog.ClipCount();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(doc->GetFrameCount(), 1 + clips);
    QVERIFY(doc->CheckInvariant());
    QCOMPARE(m_app.Pref("EnterFrames"), 4);
    QCOMPARE(m_app.Pref("ExitEffect"), int(BANNER_FADE));
    QVERIFY(doc->OnEditUndo());
    QCOMPARE(doc->GetFrameCount(), 1);
  }

  void theTimerMovesThePreview() {
    auto doc = MakePatternDoc(m_app, m_prompt, 120, 60, 1);
    CBannerDialog dialog(*doc);
    dialog.DelayBox()->setValue(1);
    dialog.RebuildPreview();
    dialog.show();
    QTRY_VERIFY(dialog.Clip() > 0);
  }

  void nothingToGenerateRefuses() {
    struct Case { const char* text; bool enter, leave; };
    for (const Case& c : {Case{"", true, true}, Case{"Text", false, false}}) {
      auto doc = MakePatternDoc(m_app, m_prompt, 120, 60, 1);
      CBannerDialog dialog(*doc);
      dialog.TextEdit()->setPlainText(QString::fromLatin1(c.text));
      dialog.EnterBox()->setChecked(c.enter);
      dialog.LeaveBox()->setChecked(c.leave);
      m_prompt.messages.clear();
      dialog.accept();
      QVERIFY(dialog.result() != int(QDialog::Accepted));
      QCOMPARE(m_prompt.messages.size(), std::size_t(1));
      QCOMPARE(doc->GetFrameCount(), 1);
      dialog.RebuildPreview();
      QCOMPARE(dialog.ClipCount(), 0);
    }
  }
};

QTEST_MAIN(CBannerDialogTests)
#include "banner_dialog_tests.moc"
