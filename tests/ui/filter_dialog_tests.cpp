// The filter dialogs: the preview is the frame OK leaves, Cancel leaves the
// project byte for byte as it was, a pixel selection keeps the rest.
#include <QFile>
#include <QSpinBox>
#include <QtTest>

#include "editing/filter_actions.h"
#include "imaging/obj_selection.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/filter_dialog.h"
#include "ui/dib_image.h"

class CFilterDialogTests : public CDialogTestBase {
  Q_OBJECT

  // Two frames; the current one shows object 1 (selected).
  std::unique_ptr<CLoopwrightDoc> Doc() {
    auto doc = MakePatternDoc(m_app, m_prompt, 40, 30, 2);
    doc->m_selectedObjects = {doc->m_objects[1]};
    return doc;
  }
  QByteArray Saved(CLoopwrightDoc& doc, const char* name) {
    const QString path = m_dir.filePath(QString::fromLatin1(name));
    if (!doc.OnSaveDocument(FromQt(path))) return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Every parameter a third of the way through its range: off its default.
  static void MoveParams(CFilterDialog& dialog, const CFilterEntry& entry) {
    for (std::size_t i = 0; i < entry.params.size(); ++i) {
      const CFilterParam& p = entry.params[i];
      dialog.ParamBoxes()[i]->setValue(p.lo + (p.hi - p.lo) / 3 == p.def ? p.hi : p.lo + (p.hi - p.lo) / 3);
    }
  }

 private slots:
  void previewIsWhatOkLeavesAndUndoRestores() {
    QCOMPARE(int(FilterEntries().size()), 13);
    for (const CFilterEntry& entry : FilterEntries()) {
      auto doc = Doc();
      const QImage original = ComposedFrameImage(*doc, *doc->GetCurrentFrame());
      CFilterDialog dialog(*doc, entry);
      MoveParams(dialog, entry);
      const QImage preview = dialog.PreviewPicture();
      QVERIFY2(preview != original, entry.name);
      // The preview touched nothing.
      QVERIFY2(ComposedFrameImage(*doc, *doc->GetCurrentFrame()) == original, entry.name);
      dialog.accept();
      QCOMPARE(ComposedFrameImage(*doc, *doc->GetCurrentFrame()), preview);
      QVERIFY(doc->EditManager().CanUndo());
      QVERIFY(doc->OnEditUndo());
      QVERIFY(!doc->EditManager().CanUndo());
      QCOMPARE(ComposedFrameImage(*doc, *doc->GetCurrentFrame()), original);
    }
  }

  void cancelLeavesTheProjectByteIdentical() {
    for (const CFilterEntry& entry : FilterEntries()) {
      auto doc = Doc();
      const QByteArray before = Saved(*doc, "before.lwp");
      QVERIFY(!before.isEmpty());
      CFilterDialog dialog(*doc, entry);
      MoveParams(dialog, entry);
      dialog.RefreshPreview();
      dialog.reject();
      QVERIFY(!doc->EditManager().CanUndo());
      QVERIFY(!doc->IsModified());
      QVERIFY2(Saved(*doc, "after.lwp") == before, entry.name);
    }
  }

  void selectionKeepsThePixelsOutsideIt() {
    auto doc = Doc();
    TevImageTransform::CTevObjSelection selection;
    QVERIFY(selection.CreateRectanleSelection(10, 5, 30, 20, 0));
    const QImage original = ComposedFrameImage(*doc, *doc->GetCurrentFrame());
    CFilterDialog dialog(*doc, *FindFilterEntry(CUpdateDibsAction::NEGATIVE), &selection);
    const QImage preview = dialog.PreviewPicture();
    const QRect inside(selection.GetRect().left, selection.GetRect().top,
                       selection.GetRect().right - selection.GetRect().left,
                       selection.GetRect().bottom - selection.GetRect().top);
    int changedInside = 0;
    for (int y = 0; y < original.height(); ++y)
      for (int x = 0; x < original.width(); ++x) {
        const bool same = preview.pixel(x, y) == original.pixel(x, y);
        if (!inside.contains(x, y)) QVERIFY2(same, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        else changedInside += !same;
      }
    QVERIFY(changedInside > inside.width() * inside.height() / 2);
    dialog.accept();
    QCOMPARE(ComposedFrameImage(*doc, *doc->GetCurrentFrame()), preview);
  }
};

QTEST_MAIN(CFilterDialogTests)
#include "filter_dialog_tests.moc"
