// Menu entries that open the dialogs, added to the window's menus. The
// dialogs are modal: the document does not change under them.
#pragma once

#include <functional>

class CLoopwrightDoc;
class QMenu;
class QWidget;
namespace TevImageTransform {
class CTevObjSelection;
}

// The editing view's pixel selection (null or empty for none).
using SelectionSource = std::function<const TevImageTransform::CTevObjSelection*()>;

// Canvas size, resize, loop count, frame properties, make same delay.
void AddFrameDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent);
// Transition, banner and the filter family.
void AddEffectDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent, SelectionSource selection = {});
// GIF with size estimate, and the other formats with their options.
void AddExportDialogActions(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent);
void AddPreferencesAction(QMenu* menu, CLoopwrightDoc& doc, QWidget* parent);
