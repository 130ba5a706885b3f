#include "ui/dialogs/banner_thumbnails.h"

#include <QPainter>
#include <vector>

#include "generators/banner_command.h"
#include "generators/banner_generators.h"
#include "ui/dib_image.h"

namespace {

constexpr int kThumbnailFrames = 8;
constexpr const char* kSampleText = "Ab";

}  // namespace

QImage BannerKindThumbnail(const CLoopwrightApp& app, int kind, bool enter, QSize size) {
  if (kind < 0 || kind >= BANNER_KIND_COUNT || size.isEmpty()) return {};
  CBannerTextStyle style;
  style.text = kSampleText;
  style.font.size = std::max(8, size.height() * 3 / 5);
  style.font.bold = true;
  style.colour = 0x202020;
  POINT origin{0, 0};
  BannerSettings settings = BannerSettingsFromPreferences(app);
  settings.text = CreateBannerTextObject(style, &origin);
  if (!settings.text) return {};
  settings.enterEnabled = enter;
  settings.leaveEnabled = !enter;
  settings.enterKind = settings.leaveKind = kind;
  settings.enterFrames = settings.leaveFrames = kThumbnailFrames;
  settings.canvasWidth = size.width();
  settings.canvasHeight = size.height();
  settings.bannerRect = RECT{0, 0, LONG(size.width()), LONG(size.height())};
  PlaceBannerText(settings, nullptr, origin);
  std::vector<CBannerClip> clips;
  if (GenerateBanner(settings, clips) != BANNER_OK || clips.empty()) return {};
  // Halfway through the run: the kind's motion shows best there.
  const CBannerClip& clip = clips[clips.size() / 2];
  QImage picture(size, QImage::Format_ARGB32);
  picture.fill(QColor(0xF4, 0xF4, 0xEC));
  QPainter p(&picture);
  for (const CBannerSlot* slot : {&clip.first, &clip.second}) {
    if (!slot->picture || !slot->picture->GetImage()) continue;
    p.setOpacity(1.0 - std::clamp(slot->transparency, 0, 255) / 255.0);
    p.drawImage(QPoint(slot->x, slot->y), DibToImage(slot->picture->GetImage()));
  }
  p.setOpacity(1.0);
  p.setPen(QColor(0xA0, 0xA0, 0xA0));
  p.drawRect(picture.rect().adjusted(0, 0, -1, -1));
  return picture;
}
