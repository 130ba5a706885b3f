// Pictures of the dialogs for the documentation: each dialog opened on the
// document as a user would see it (previews running, estimates done).
#pragma once

#include <QString>
#include <QStringList>

class CLoopwrightDoc;

// The names ScreenshotDialog knows.
QStringList DialogScreenshotNames();
// Opens dialog name over doc, lets it settle for settleMs (and until a size
// estimate is done) and writes it as PNG to out. Returns 0 on success, 1 when
// the picture cannot be written, 2 for an unknown name.
int ScreenshotDialog(CLoopwrightDoc& doc, const QString& name, const QString& out, int settleMs = 600);
