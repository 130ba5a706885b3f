// Small pictures of the banner kinds for the banner dialog's galleries: a
// short sample text halfway through the kind's entry (or exit), made by the
// banner generator itself.
#pragma once

#include <QImage>
#include <QSize>

class CLoopwrightApp;

// The thumbnail of kind (0..BANNER_KIND_COUNT-1) entering (enter) or
// leaving, size pixels; a null image when the generator makes nothing.
QImage BannerKindThumbnail(const CLoopwrightApp& app, int kind, bool enter, QSize size);
