// The GIF export dialog: its estimate is the size of the file then
// written, its preview shows the frames a viewer shows, and the window's
// event loop keeps turning while an estimate runs.
#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "app/frame_render.h"
#include "export/color_quantizer.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/dib_image.h"

namespace {

// Few colours (so the palette keeps them exactly): 8x8 blocks from a
// 27-colour set, and a 10x10 square that moves with seed.
DibPtr BlockPicture(int width, int height, int seed) {
  DibPtr dib(DibAlloc(width, height, 32));
  for (int y = 0; y < height; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (int x = 0; x < width; ++x) {
      const int c = (x / 8 + 3 * (y / 8)) % 27;
      const bool square = x >= 4 * seed && x < 4 * seed + 10 && y >= 3 * seed && y < 3 * seed + 10;
      row[4 * x] = square ? 0 : BYTE((c % 3) * 120);
      row[4 * x + 1] = square ? 0 : BYTE((c / 3 % 3) * 120);
      row[4 * x + 2] = square ? 255 : BYTE((c / 9) * 120);
      row[4 * x + 3] = 255;
    }
  }
  return dib;
}

std::unique_ptr<CLoopwrightDoc> BlockDoc(CLoopwrightApp& app, CPromptInterface& prompt, int frames) {
  auto doc = MakePatternDoc(app, prompt, 64, 48, frames);
  for (int i = 0; i < frames; ++i) doc->m_objects[std::size_t(i + 1)]->SetImage(BlockPicture(64, 48, i));
  return doc;
}

}  // namespace

class CExportDialogsTests : public CDialogTestBase {
  Q_OBJECT
  using K = CExportOptionsDialog::Kind;

 private slots:
  void estimateIsTheWrittenSize() {
    struct Case { const char* name; int colours, dither, strength; bool noRestore, endless; int loops; };
    const Case cases[] = {
        {"plain", 256, DITHER_NONE, 100, false, true, 1},
        {"ordered", 16, DITHER_ORDERED, 60, true, false, 3},
        {"diffused", 4, DITHER_ERROR_DIFFUSION, 100, false, false, 1},
    };
    for (const Case& c : cases) {
      auto doc = BlockDoc(m_app, m_prompt, 6);
      CGifExportDialog dialog(*doc);
      dialog.ColoursBox()->setValue(c.colours);
      dialog.DitherBox()->setCurrentIndex(dialog.DitherBox()->findData(c.dither));
      dialog.StrengthBox()->setValue(c.strength);
      dialog.NoRestoreBox()->setChecked(c.noRestore);
      dialog.LoopForeverBox()->setChecked(c.endless);
      dialog.LoopCountBox()->setValue(c.loops);
      QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 20000);
      const long long estimate = dialog.Estimator().Bytes();
      QVERIFY2(estimate > 0, c.name);
      QCOMPARE(dialog.SizeLabel()->text(), CGifExportDialog::SizeText(estimate));
      const QString path = m_dir.filePath(QStringLiteral("%1.gif").arg(c.name));
      QVERIFY2(dialog.ExportTo(path), c.name);
      QCOMPARE(QFileInfo(path).size(), qint64(estimate));
      // The loop setting went into the document as one action.
      QCOMPARE(doc->m_bLoopForever != 0, c.endless);
      if (!c.endless) QCOMPARE(int(doc->m_nLoopCount), c.loops);
    }
  }

  void previewShowsTheFrames() {
    auto doc = BlockDoc(m_app, m_prompt, 5);
    CGifExportDialog dialog(*doc);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 20000);
    const auto& preview = dialog.Estimator().Preview();
    QCOMPARE(int(preview.size()), doc->GetFrameCount());
    // The frames after the first are only what changed.
    QVERIFY(preview[1].image.width() * preview[1].image.height() < 64 * 48);
    for (int i = 0; i < doc->GetFrameCount(); ++i) {
      const QImage screen = GifPreviewScreen(preview, dialog.Estimator().CanvasSize(), i);
      DibPtr frame = RenderFrame(*doc, *doc->GetFrame(i));
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
          const BYTE* p = DibRow(frame.get(), y) + 4 * x;
          const QRgb q = screen.pixel(x, y);
          if (qRed(q) != p[2] || qGreen(q) != p[1] || qBlue(q) != p[0] || qAlpha(q) != 255)
            QFAIL(qPrintable(QStringLiteral("frame %1 pixel %2,%3").arg(i).arg(x).arg(y)));
        }
    }
    QTRY_VERIFY(!dialog.PreviewLabel()->pixmap().isNull());
  }

  void windowTurnsWhileEstimating() {
    // Large enough that the estimate outlasts many turns of the event loop
    // on any machine: one run on the window's thread would finish before a
    // queued call could see it busy, and would leave one gap as long as
    // itself between the timer's turns.
    auto doc = MakePatternDoc(m_app, m_prompt, 160, 120, 24);
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    int turnsWhileBusy = 0;
    CGifExportDialog* shown = nullptr;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
      if (shown) turnsWhileBusy += shown->Estimator().Busy();
    });
    clock.start();
    ticker.start(1);
    CGifExportDialog dialog(*doc);
    shown = &dialog;
    dialog.show();
    const qint64 opened = clock.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Estimator().Busy(), 60000);
    const qint64 took = clock.elapsed() - opened;
    ticker.stop();
    QVERIFY(dialog.Estimator().Bytes() > 0);
    QVERIFY2(turnsWhileBusy >= 2, qPrintable(QStringLiteral("%1 turns while busy").arg(turnsWhileBusy)));
    QVERIFY2(longest < std::max<qint64>(150, took / 3),
             qPrintable(QStringLiteral("longest gap %1 ms of %2 ms").arg(longest).arg(took)));
  }
};

QTEST_MAIN(CExportDialogsTests)
#include "export_dialogs_tests.moc"
