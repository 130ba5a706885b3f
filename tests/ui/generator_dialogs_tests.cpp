// The frame generator dialogs over a document built in memory: the
// transition and banner previews move with time and with the progress, OK
// adds the frames as one action that undo takes back.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/banner_dialog.h"
#include "ui/dialogs/transition_dialog.h"

class CGeneratorDialogsTests : public CDialogTestBase {
  Q_OBJECT
 private slots:

  void progressLoopsAndTheTimerMovesThePicture() {
    auto doc = MakePatternDoc(m_app, m_prompt, 48, 36, 1);
    CTransitionDialog dialog(*doc);
    CTransitionPreview& preview = dialog.Preview();
    struct Step { double from; int ms; double to; };
    const Step steps[] = {{0.0, 500, 0.25}, {0.9, 400, 0.1}, {0.5, 2000, 0.5}, {0.99, 10, 0.995}};
    for (const Step& s : steps) {
      preview.SetProgress(s.from);
      preview.Advance(s.ms);
      QVERIFY(std::abs(preview.Progress() - s.to) < 1e-9);
    }
    dialog.show();
    preview.SetProgress(0.1);
    QCoreApplication::processEvents();
    const QImage before = dialog.PreviewLabel()->pixmap().toImage();
    const double start = preview.Progress();
    QTRY_VERIFY(dialog.PreviewLabel()->pixmap().toImage() != before);
    QVERIFY(preview.Progress() != start);
  }

  void okAddsTheFramesAndUndoRemovesThem() {
    auto doc = MakePatternDoc(m_app, m_prompt, 40, 30, 2);
    const auto before = FrameOrder(*doc);
    const int objects = doc->GetObjectCount();
    CTransitionDialog dialog(*doc);
    QVERIFY(dialog.SelectEffect(FindEffectByScriptName(EffectScriptName(0))));
    dialog.FramesBox()->setValue(5);
    dialog.DelayBox()->setValue(7);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(doc->GetFrameCount(), int(before.size()) + 5);
    int withDelay = 0;
    for (const auto& frame : doc->m_frames) withDelay += frame->m_nDelay == 7;
    QCOMPARE(withDelay, 5);
    QVERIFY(doc->GetObjectCount() > objects);
    QVERIFY(doc->CheckInvariant());
    // The dialog's values are the next run's proposal.
    QCOMPARE(m_app.Pref("GeneratedFramesCount"), 5);
    QVERIFY(doc->OnEditUndo());
    QVERIFY(FrameOrder(*doc) == before);
    QCOMPARE(doc->GetObjectCount(), objects);
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

};

QTEST_MAIN(CGeneratorDialogsTests)
#include "generator_dialogs_tests.moc"
