#include "ui/dialogs/dialog_screenshots.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPixmap>
#include <functional>
#include <map>
#include <memory>

#include "app/loopwright_doc.h"
#include "editing/filter_actions.h"
#include "ui/dialogs/banner_dialog.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/filter_dialog.h"
#include "ui/dialogs/frame_dialogs.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/dialogs/picture_options_dialog.h"
#include "ui/dialogs/preferences_dialog.h"
#include "ui/dialogs/transition_dialog.h"

namespace {

using Factory = std::function<std::unique_ptr<QDialog>(CLoopwrightDoc&)>;

const std::map<QString, Factory>& Factories() {
  using K = CExportOptionsDialog::Kind;
  auto options = [](K kind) {
    return [kind](CLoopwrightDoc& doc) { return std::make_unique<CExportOptionsDialog>(doc, kind); };
  };
  auto picture = [](CPictureOptionsDialog::Format format) {
    return [format](CLoopwrightDoc&) { return std::make_unique<CPictureOptionsDialog>(format, SessionPictureOptions()); };
  };
  static const std::map<QString, Factory> factories = {
      {QStringLiteral("transition"), [](CLoopwrightDoc& doc) { return std::make_unique<CTransitionDialog>(doc); }},
      {QStringLiteral("banner"), [](CLoopwrightDoc& doc) { return std::make_unique<CBannerDialog>(doc); }},
      {QStringLiteral("filter"),
       [](CLoopwrightDoc& doc) {
         return std::make_unique<CFilterDialog>(doc, *FindFilterEntry(CUpdateDibsAction::HUE_SATURATION));
       }},
      {QStringLiteral("gif-export"), [](CLoopwrightDoc& doc) { return std::make_unique<CGifExportDialog>(doc); }},
      {QStringLiteral("preferences"), [](CLoopwrightDoc& doc) { return std::make_unique<CPreferencesDialog>(doc); }},
      {QStringLiteral("canvas-size"), [](CLoopwrightDoc& doc) { return std::make_unique<CCanvasSizeDialog>(doc); }},
      {QStringLiteral("resize"), [](CLoopwrightDoc& doc) { return std::make_unique<CResizeDialog>(doc); }},
      {QStringLiteral("loop-count"), [](CLoopwrightDoc& doc) { return std::make_unique<CLoopCountDialog>(doc); }},
      {QStringLiteral("frame-properties"),
       [](CLoopwrightDoc& doc) { return std::make_unique<CFramePropertiesDialog>(doc); }},
      {QStringLiteral("same-delay"), [](CLoopwrightDoc& doc) { return std::make_unique<CSameDelayDialog>(doc); }},
      {QStringLiteral("flash-export"), options(K::Flash)},
      {QStringLiteral("video-export"), options(K::Video)},
      {QStringLiteral("html-export"), options(K::Html)},
      {QStringLiteral("cursor-export"), options(K::Cursor)},
      {QStringLiteral("frames-export"), options(K::FramePictures)},
      {QStringLiteral("png-options"), picture(CPictureOptionsDialog::Format::Png)},
      {QStringLiteral("tga-options"), picture(CPictureOptionsDialog::Format::Tga)},
      {QStringLiteral("tiff-options"), picture(CPictureOptionsDialog::Format::Tiff)},
      {QStringLiteral("psd-options"), picture(CPictureOptionsDialog::Format::Psd)},
  };
  return factories;
}

}  // namespace

QStringList DialogScreenshotNames() {
  QStringList names;
  for (const auto& [name, factory] : Factories()) names << name;
  return names;
}

int ScreenshotDialog(CLoopwrightDoc& doc, const QString& name, const QString& out, int settleMs) {
  auto it = Factories().find(name);
  if (it == Factories().end()) return 2;
  // The dialogs read the selection: the current frame's objects are chosen.
  if (doc.m_selectedObjects.empty() && doc.GetCurrentFrame())
    for (const auto& ref : doc.GetCurrentFrame()->m_refs)
      if (ref->m_bVisible && ref->m_pObject) doc.m_selectedObjects.push_back(ref->m_pObject);
  std::unique_ptr<QDialog> dialog = it->second(doc);
  dialog->show();
  if (auto* transition = dynamic_cast<CTransitionDialog*>(dialog.get())) {
    transition->PreviewTimer().stop();
    transition->Preview().SetProgress(0.5);
  }
  // Let previews, thumbnails and the size estimate settle.
  QDeadlineTimer settle(settleMs);
  while (!settle.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
  if (auto* banner = dynamic_cast<CBannerDialog*>(dialog.get())) {
    QDeadlineTimer limit(30000);
    while (!banner->ThumbnailsDone() && !limit.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  if (auto* gif = dynamic_cast<CGifExportDialog*>(dialog.get())) {
    QDeadlineTimer limit(60000);
    while (gif->Estimator().Busy() && !limit.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
  }
  if (auto* transition = dynamic_cast<CTransitionDialog*>(dialog.get())) {
    transition->PreviewTimer().stop();
    transition->Preview().SetProgress(0.5);
    transition->ShowPicture();
  }
  const bool ok = dialog->grab().save(out, "PNG");
  dialog->close();
  return ok ? 0 : 1;
}
