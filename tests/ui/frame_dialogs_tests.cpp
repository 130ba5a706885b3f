// The frame dialogs drive the frame commands: the right frames change by
// the right amounts, one undo takes the change back.
#include <QButtonGroup>
#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/frame_dialogs.h"

namespace {

std::vector<int> Delays(const CLoopwrightDoc& doc) {
  std::vector<int> delays;
  for (const auto& frame : doc.m_frames) delays.push_back(frame->m_nDelay);
  return delays;
}

}  // namespace

class CFrameDialogsTests : public CDialogTestBase {
  Q_OBJECT

  std::unique_ptr<CLoopwrightDoc> Doc() {
    auto doc = MakePatternDoc(m_app, m_prompt, 40, 30, 4);
    for (int i = 0; i < 4; ++i) doc->GetFrame(i)->m_nDelay = std::uint16_t(10 + i);
    doc->m_selectedFrames = {1, 3};
    doc->m_nCurrentFrame = 1;
    return doc;
  }

 private slots:
  void sameDelayForAllOrSelected() {
    struct Case { bool all; int delay; std::vector<int> expect; };
    const Case cases[] = {{true, 33, {33, 33, 33, 33}}, {false, 44, {10, 44, 12, 44}}, {false, 11, {10, 11, 12, 11}}};
    for (const Case& c : cases) {
      auto doc = Doc();
      const auto before = Delays(*doc);
      CSameDelayDialog dialog(*doc);
      dialog.DelayBox()->setValue(c.delay);
      (c.all ? dialog.AllButton() : dialog.SelectedButton())->setChecked(true);
      dialog.accept();
      QVERIFY(Delays(*doc) == c.expect);
      // The delay is what new frames get from now on.
      QCOMPARE(int(GetDefaultFrameDelay()), c.delay);
      QCOMPARE(m_app.Pref("DefaultDelay"), c.delay);
      QVERIFY(doc->OnEditUndo());
      QVERIFY(Delays(*doc) == before);
    }
  }

  void framePropertiesOfTheSelectedFrames() {
    struct Case { int delay; bool interlaced; };
    for (const Case& c : {Case{0, true}, Case{32767, false}, Case{250, true}}) {
      auto doc = Doc();
      CFramePropertiesDialog dialog(*doc);
      // Proposed from the current frame.
      QCOMPARE(dialog.DelayBox()->value(), 11);
      dialog.DelayBox()->setValue(c.delay);
      dialog.InterlaceBox()->setChecked(c.interlaced);
      dialog.accept();
      for (int i = 0; i < 4; ++i) {
        const bool selected = i == 1 || i == 3;
        QCOMPARE(int(doc->GetFrame(i)->m_nDelay), selected ? c.delay : 10 + i);
        QCOMPARE(doc->GetFrame(i)->IsInterlaced(), selected && c.interlaced);
      }
      QVERIFY(doc->OnEditUndo());
      QCOMPARE(int(doc->GetFrame(3)->m_nDelay), 13);
      QVERIFY(!doc->GetFrame(3)->IsInterlaced());
    }
  }

  void canvasSizeMovesEveryReferenceByTheAnchor() {
    struct Case { int anchor, width, height, extraX, extraY, dx, dy; };
    const Case cases[] = {
        {0, 60, 50, 0, 0, 0, 0},       // top-left: nothing moves
        {4, 60, 50, 0, 0, 10, 10},     // centred: half the growth
        {8, 20, 10, 0, 0, -20, -20},   // bottom-right, shrinking
        {2, 40, 30, 5, -3, 5, -3},     // same size, extra offset only
    };
    for (const Case& c : cases) {
      auto doc = Doc();
      std::vector<QPoint> before;
      for (const auto& ref : doc->GetFrame(2)->m_refs) before.emplace_back(ref->m_nX, ref->m_nY);
      CCanvasSizeDialog dialog(*doc);
      dialog.Anchor()->button(c.anchor)->setChecked(true);
      dialog.WidthBox()->setValue(c.width);
      dialog.HeightBox()->setValue(c.height);
      dialog.OffsetXBox()->setValue(c.extraX);
      dialog.OffsetYBox()->setValue(c.extraY);
      dialog.accept();
      QCOMPARE(int(doc->m_nWidth), c.width);
      QCOMPARE(int(doc->m_nHeight), c.height);
      const auto& refs = doc->GetFrame(2)->m_refs;
      for (std::size_t j = 0; j < refs.size(); ++j)
        QCOMPARE(QPoint(refs[j]->m_nX, refs[j]->m_nY), before[j] + QPoint(c.dx, c.dy));
      QCOMPARE(m_app.Pref("ReferencePos"), c.anchor);
      QVERIFY(doc->OnEditUndo());
      QCOMPARE(int(doc->m_nWidth), 40);
      QCOMPARE(QPoint(refs[1]->m_nX, refs[1]->m_nY), before[1]);
    }
  }

};

QTEST_MAIN(CFrameDialogsTests)
#include "frame_dialogs_tests.moc"
