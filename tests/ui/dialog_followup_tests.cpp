// The banner galleries' pictures, a filter run from the window's menu
// inside the editing view's pixel selection, and the GIF estimate's
// behaviour when options change: stale runs stopped without waiting,
// sizes seen before shown at once, and every optimization level measured
// exactly, with one colour table or one per frame.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "editing/filter_actions.h"
#include "export/export_dispatch.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/dialogs/banner_dialog.h"
#include "ui/dialogs/filter_table.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/main_window.h"

namespace {

QAction* FindAction(QWidget* root, const QString& text) {
  for (QAction* action : root->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

// An icon's picture as the gallery shows it.
QImage IconImage(const QListWidgetItem* item) { return item->icon().pixmap(QSize(64, 40)).toImage(); }

}  // namespace

class CDialogFollowupTests : public QObject {
  Q_OBJECT
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  QTemporaryDir m_dir;

 private slots:
  void initTestCase() {
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }

  void bannerKindsHavePicturesMadeLazily() {
    auto doc = MakePatternDoc(m_app, m_prompt, 80, 60, 1);
    CBannerDialog dialog(*doc);
    dialog.PreviewTimer().stop();
    // Nothing is drawn before the event loop turns: the dialog opens at once.
    QVERIFY(!dialog.ThumbnailsDone());
    QVERIFY(dialog.EnterGallery()->item(0)->icon().isNull());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.ThumbnailsDone(), 30000);
    for (QListWidget* gallery : {dialog.EnterGallery(), dialog.LeaveGallery()}) {
      std::vector<QImage> seen;
      for (int k = 0; k < gallery->count(); ++k) {
        const QImage icon = IconImage(gallery->item(k));
        QVERIFY2(!icon.isNull(), qPrintable(gallery->item(k)->text()));
        seen.push_back(icon);
      }
      // Opposite slides look different halfway through.
      QVERIFY(seen[0] != seen[1]);
      QVERIFY(seen[2] != seen[3]);
    }
    // Entering and leaving show different moments of a slide.
    QVERIFY(IconImage(dialog.EnterGallery()->item(0)) != IconImage(dialog.LeaveGallery()->item(0)));
  }

  void windowFilterStaysInsideTheSelection() {
    // A document through the window: written as GIF, opened there.
    const QString gif = m_dir.filePath(QStringLiteral("window.gif"));
    {
      auto doc = MakePatternDoc(m_app, m_prompt, 48, 36, 1);
      QVERIFY(ExportAnimationFile(*doc, gif.toStdString(), nullptr));
    }
    CRecordingPrompt prompt;
    CMainWindow window(m_app, &prompt);
    QVERIFY(window.OpenFile(gif));
    CLoopwrightDoc& doc = window.Doc();
    doc.m_selectedObjects.clear();
    for (const auto& ref : doc.GetCurrentFrame()->m_refs)
      if (ref->m_bVisible && ref->m_pObject) doc.m_selectedObjects.push_back(ref->m_pObject);
    QVERIFY(!doc.m_selectedObjects.empty());
    const QRect inside(8, 6, 20, 14);
    QVERIFY(window.Canvas()->View().Selection().CreateRectanleSelection(inside.left(), inside.top(),
                                                                          inside.right() + 1, inside.bottom() + 1, 0));
    QVERIFY(window.Canvas()->View().HasSelection());
    const QImage before = ComposedFrameImage(doc, *doc.GetCurrentFrame());
    const CFilterEntry* negative = FindFilterEntry(CUpdateDibsAction::NEGATIVE);
    QAction* action = FindAction(&window, QString::fromUtf8(Tr(negative->name)) + QStringLiteral("..."));
    QVERIFY(action);
    bool accepted = false;
    QTimer::singleShot(0, this, [&accepted] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->accept();
        accepted = true;
      }
    });
    action->trigger();
    QVERIFY(accepted);
    const QImage after = ComposedFrameImage(doc, *doc.GetCurrentFrame());
    QCOMPARE(after.size(), before.size());
    int changedInside = 0;
    for (int y = 0; y < before.height(); ++y)
      for (int x = 0; x < before.width(); ++x) {
        const bool same = after.pixel(x, y) == before.pixel(x, y);
        if (!inside.contains(x, y)) QVERIFY2(same, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        else changedInside += !same;
      }
    QVERIFY(changedInside > inside.width() * inside.height() / 2);
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

  void everyLevelEstimateIsTheWrittenSize() {
    // With all 256 colours these every-pixel-differs frames hold more than
    // one table: the export gives each frame its own; with 16, one table.
    struct Case { const char* name; int colours, level; bool localTables; };
    const Case cases[] = {
        {"local-fast", 256, 1, true},
        {"local-normal", 256, 2, true},
        {"local-smallest", 256, 3, true},
        {"global-smallest", 16, 3, false},
    };
    for (const Case& c : cases) {
      auto doc = MakePatternDoc(m_app, m_prompt, 40, 40, 3);
      CGifExportDialog dialog(*doc);
      dialog.ColoursBox()->setValue(c.colours);
      dialog.LevelBox()->setCurrentIndex(dialog.LevelBox()->findData(c.level));
      QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 30000);
      const long long estimate = dialog.Estimator().Bytes();
      QVERIFY2(estimate > 0, c.name);
      QVERIFY2(!dialog.Estimator().Preview().empty(), c.name);
      const QString path = m_dir.filePath(QStringLiteral("%1.gif").arg(c.name));
      QVERIFY2(dialog.ExportTo(path), c.name);
      QCOMPARE(QFileInfo(path).size(), qint64(estimate));
      // Local colour tables: some image descriptor's packed byte has its top bit set.
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      bool local = false;
      for (qsizetype at = bytes.indexOf(char(0x2C)); at >= 0 && at + 9 < bytes.size();
           at = bytes.indexOf(char(0x2C), at + 1))
        local = local || (quint8(bytes[at + 9]) & 0x80);
      if (c.localTables) QVERIFY2(local, c.name);
    }
  }
};

QTEST_MAIN(CDialogFollowupTests)
#include "dialog_followup_tests.moc"
