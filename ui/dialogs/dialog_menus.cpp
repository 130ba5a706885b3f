#include "ui/dialogs/dialog_menus.h"

#include <QAction>
#include <QMenu>

#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "ui/dialogs/banner_dialog.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/filter_dialog.h"
#include "ui/dialogs/frame_dialogs.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/dialogs/preferences_dialog.h"
#include "ui/dialogs/transition_dialog.h"
#include "ui/dialogs/dialog_support.h"

namespace {

// An entry that runs a modal dialog of type D built from the document;
// needFrames greys it out while the animation has no frame.
template <class D, class... A>
QAction* AddDialog(QMenu* menu, const QString& text, CLoopwrightDoc& doc, QWidget* parent, bool needFrames,
                   A... args) {
  QAction* action = menu->addAction(text);
  QObject::connect(action, &QAction::triggered, parent, [&doc, parent, args...] {
    D dialog(doc, args..., parent);
    dialog.exec();
  });
  if (needFrames)
    QObject::connect(menu, &QMenu::aboutToShow, action, [action, &doc] { action->setEnabled(doc.GetFrameCount() > 0); });
  return action;
}

}  // namespace

void AddFrameDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent) {
  menu->addSeparator();
  AddDialog<CFramePropertiesDialog>(menu, T("Frame &Properties..."), doc, parent, true);
  AddDialog<CSameDelayDialog>(menu, T("Make Same &Delay..."), doc, parent, true);
  AddDialog<CLoopCountDialog>(menu, T("&Loop Count..."), doc, parent, false);
  AddDialog<CCanvasSizeDialog>(menu, T("&Canvas Size..."), doc, parent, false);
  AddDialog<CResizeDialog>(menu, T("Resize &Animation..."), doc, parent, false);
}

void AddEffectDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent, SelectionSource selection) {
  menu->addSeparator();
  AddDialog<CTransitionDialog>(menu, T("&Transition..."), doc, parent, true);
  AddDialog<CBannerDialog>(menu, T("Text &Banner..."), doc, parent, false);
  QMenu* filters = menu->addMenu(T("F&ilters"));
  for (const CFilterEntry& entry : FilterEntries()) {
    QAction* action = filters->addAction(T(entry.name) + QStringLiteral("..."));
    const CFilterEntry* chosen = &entry;
    QObject::connect(action, &QAction::triggered, parent, [&doc, parent, chosen, selection] {
      CFilterDialog dialog(doc, *chosen, selection ? selection() : nullptr, parent);
      dialog.exec();
    });
  }
  QObject::connect(menu, &QMenu::aboutToShow, filters, [filters, &doc] { filters->setEnabled(doc.GetCurrentFrame()); });
}

void AddExportDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent) {
  menu->addSeparator();
  AddDialog<CGifExportDialog>(menu, T("Export &GIF..."), doc, parent, true);
  using K = CExportOptionsDialog::Kind;
  const std::pair<const char*, K> others[] = {
      {"Export &Flash Movie...", K::Flash},        {"Export &Video...", K::Video},
      {"Publish as &HTML...", K::Html},            {"Export C&ursor...", K::Cursor},
      {"Export &Animated Cursor...", K::AnimatedCursor}, {"Export Frames as &Pictures...", K::FramePictures},
  };
  for (const auto& [text, kind] : others) AddDialog<CExportOptionsDialog>(menu, T(text), doc, parent, true, kind);
}

void AddPreferencesAction(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent) {
  menu->addSeparator();
  QAction* action = AddDialog<CPreferencesDialog>(menu, T("&Preferences..."), doc, parent, false);
  action->setMenuRole(QAction::PreferencesRole);
}
