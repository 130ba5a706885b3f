#include "ui/dialogs/banner_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/loopwright_app.h"
#include "companions/base/tr.h"
#include "ui/dib_image.h"
#include "ui/dialogs/banner_thumbnails.h"
#include "ui/dialogs/dialog_support.h"

namespace {

constexpr int kPreviewWidth = 360, kPreviewHeight = 240;
// A clip of delay 0 stays this long in the preview.
constexpr int kMinClipMs = 20;
constexpr int kThumbnailWidth = 64, kThumbnailHeight = 40;

const char* const kKindCaptions[BANNER_KIND_COUNT] = {
    "Slide left", "Slide right", "Slide up", "Slide down", "Fade", "Still", "Flash",
    "Type", "Merge vertically", "Merge horizontally", "Grow", "Shrink", "Spin and grow", "Spin and shrink"};

QListWidget* KindGallery(int chosen) {
  auto* list = new QListWidget;
  list->setViewMode(QListView::IconMode);
  list->setMovement(QListView::Static);
  list->setResizeMode(QListView::Adjust);
  list->setGridSize(QSize(96, 36 + kThumbnailHeight));
  list->setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
  list->setWordWrap(true);
  for (const char* caption : kKindCaptions) list->addItem(T(caption));
  list->setCurrentRow(std::clamp(chosen, 0, BANNER_KIND_COUNT - 1));
  list->setMinimumHeight(120);
  return list;
}

QColor FromColorRef(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
COLORREF ToColorRef(const QColor& c) { return COLORREF(c.red() | (c.green() << 8) | (c.blue() << 16)); }

void PaintSwatch(QPushButton* button, COLORREF colour) {
  QPixmap swatch(32, 16);
  swatch.fill(FromColorRef(colour));
  button->setIcon(swatch);
}

}  // namespace

CBannerDialog::CBannerDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Text Banner"));
  const BannerSettings proposed = BannerSettingsFromPreferences(doc.App());
  m_text = new QPlainTextEdit(QStringLiteral("Loopwright"));
  m_text->setMaximumHeight(64);
  m_font = new QFontComboBox;
  m_font->setCurrentFont(QFont(QString::fromStdString(TevCustomPathLibV::TevFontDesc().family)));
  m_size = NewSpin(6, 400, 32);
  m_bold = new QCheckBox(T("Bold"));
  m_italic = new QCheckBox(T("Italic"));
  m_colourButton = new QPushButton(T("Colour..."));
  PaintSwatch(m_colourButton, m_colour);
  m_outline = new QCheckBox(T("Outline"));
  m_outlineButton = new QPushButton(T("Outline colour..."));
  PaintSwatch(m_outlineButton, m_outlineColour);
  m_shadow = NewSpin(0, 9, 0);
  m_enter = new QCheckBox(T("Enter"));
  m_enter->setChecked(proposed.enterEnabled);
  m_leave = new QCheckBox(T("Leave"));
  m_leave->setChecked(proposed.leaveEnabled);
  m_enterKind = KindGallery(proposed.enterKind);
  m_leaveKind = KindGallery(proposed.leaveKind);
  m_enterFrames = NewSpin(1, kMaxBannerFrames, proposed.enterFrames);
  m_leaveFrames = NewSpin(1, kMaxBannerFrames, proposed.leaveFrames);
  m_delay = NewSpin(0, kMaxBannerDelay, proposed.frameDelay);
  m_picture = new QLabel;
  m_picture->setFixedSize(kPreviewWidth, kPreviewHeight);
  m_picture->setAlignment(Qt::AlignCenter);

  auto* textForm = new QFormLayout;
  textForm->addRow(T("Text"), m_text);
  textForm->addRow(T("Font"), m_font);
  auto* style = new QHBoxLayout;
  style->addWidget(m_size);
  style->addWidget(m_bold);
  style->addWidget(m_italic);
  style->addWidget(m_colourButton);
  textForm->addRow(T("Size"), style);
  auto* outline = new QHBoxLayout;
  outline->addWidget(m_outline);
  outline->addWidget(m_outlineButton);
  textForm->addRow(outline);
  textForm->addRow(T("Shadow"), m_shadow);
  auto phaseBox = [](QCheckBox* on, QListWidget* kinds, QSpinBox* frames) {
    auto* box = new QGroupBox;
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(on);
    layout->addWidget(kinds);
    auto* form = new QFormLayout;
    form->addRow(T("Frames"), frames);
    layout->addLayout(form);
    return box;
  };
  auto* phases = new QHBoxLayout;
  phases->addWidget(phaseBox(m_enter, m_enterKind, m_enterFrames));
  phases->addWidget(phaseBox(m_leave, m_leaveKind, m_leaveFrames));
  auto* delayForm = new QFormLayout;
  delayForm->addRow(T("Frame delay (1/100 s)"), m_delay);
  auto* left = new QVBoxLayout;
  left->addLayout(textForm);
  left->addLayout(phases);
  left->addLayout(delayForm);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 1);
  top->addWidget(m_picture, 0, Qt::AlignTop);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(buttons);

  auto pick = [this](QPushButton* button, COLORREF* colour) {
    connect(button, &QPushButton::clicked, this, [this, button, colour] {
      const QColor chosen = QColorDialog::getColor(FromColorRef(*colour), this);
      if (!chosen.isValid()) return;
      *colour = ToColorRef(chosen);
      PaintSwatch(button, *colour);
      Changed();
    });
  };
  pick(m_colourButton, &m_colour);
  pick(m_outlineButton, &m_outlineColour);
  connect(m_text, &QPlainTextEdit::textChanged, this, &CBannerDialog::Changed);
  connect(m_font, &QFontComboBox::currentFontChanged, this, &CBannerDialog::Changed);
  for (QCheckBox* box : {m_bold, m_italic, m_outline, m_enter, m_leave})
    connect(box, &QCheckBox::toggled, this, &CBannerDialog::Changed);
  for (QSpinBox* box : {m_size, m_shadow, m_enterFrames, m_leaveFrames, m_delay})
    connect(box, &QSpinBox::valueChanged, this, &CBannerDialog::Changed);
  for (QListWidget* list : {m_enterKind, m_leaveKind})
    connect(list, &QListWidget::currentRowChanged, this, &CBannerDialog::Changed);

  if (const CGifFrame* frame = doc.GetCurrentFrame()) m_base = ComposedFrameImage(doc, *frame);
  if (m_base.isNull() && doc.m_nWidth > 0 && doc.m_nHeight > 0) {
    m_base = QImage(doc.m_nWidth, doc.m_nHeight, QImage::Format_ARGB32);
    m_base.fill(Qt::transparent);
  }
  m_rebuild.setSingleShot(true);
  m_rebuild.setInterval(0);
  connect(&m_rebuild, &QTimer::timeout, this, &CBannerDialog::RebuildPreview);
  m_timer.setInterval(kTimerMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Advance(kTimerMs); });
  RebuildPreview();
  m_timer.start();
  // The galleries' pictures are made one per event-loop turn once the
  // dialog runs, so it opens at once.
  m_thumbnails.setInterval(0);
  connect(&m_thumbnails, &QTimer::timeout, this, &CBannerDialog::MakeNextThumbnail);
  m_thumbnails.start();
}

void CBannerDialog::MakeNextThumbnail() {
  if (ThumbnailsDone()) {
    m_thumbnails.stop();
    return;
  }
  const int i = m_thumbnailsMade++;
  const bool enter = i < BANNER_KIND_COUNT;
  const int kind = i % BANNER_KIND_COUNT;
  const QImage picture =
      BannerKindThumbnail(m_doc.App(), kind, enter, QSize(kThumbnailWidth, kThumbnailHeight));
  if (!picture.isNull()) (enter ? m_enterKind : m_leaveKind)->item(kind)->setIcon(QPixmap::fromImage(picture));
}

bool CBannerDialog::ThumbnailsDone() const { return m_thumbnailsMade >= 2 * BANNER_KIND_COUNT; }

void CBannerDialog::SetColour(COLORREF colour) {
  m_colour = colour;
  PaintSwatch(m_colourButton, colour);
  Changed();
}

void CBannerDialog::Changed() { m_rebuild.start(); }

CBannerTextStyle CBannerDialog::Style() const {
  CBannerTextStyle style;
  style.text = FromQt(m_text->toPlainText());
  style.font.family = FromQt(m_font->currentFont().family());
  style.font.size = m_size->value();
  style.font.bold = m_bold->isChecked();
  style.font.italic = m_italic->isChecked();
  style.colour = m_colour;
  style.outline = m_outline->isChecked();
  style.outlineColour = m_outlineColour;
  style.shadowKind = m_shadow->value();
  return style;
}

bool CBannerDialog::Settings(BannerSettings& s, std::string* reason) const {
  s = BannerSettingsFromPreferences(m_doc.App());
  s.enterEnabled = m_enter->isChecked();
  s.leaveEnabled = m_leave->isChecked();
  s.enterKind = std::max(0, m_enterKind->currentRow());
  s.leaveKind = std::max(0, m_leaveKind->currentRow());
  s.enterFrames = m_enterFrames->value();
  s.leaveFrames = m_leaveFrames->value();
  s.frameDelay = m_delay->value();
  const CBannerTextStyle style = Style();
  if (style.text.empty()) {
    if (reason) *reason = kBannerNoTextText;
    return false;
  }
  if (!s.enterEnabled && !s.leaveEnabled) {
    if (reason) *reason = kBannerNoPhaseText;
    return false;
  }
  POINT origin{0, 0};
  s.text = CreateBannerTextObject(style, &origin);
  if (!s.text) {
    if (reason) *reason = kBannerFailedText;
    return false;
  }
  s.canvasWidth = m_doc.m_nWidth;
  s.canvasHeight = m_doc.m_nHeight;
  s.bannerRect = RECT{0, 0, LONG(m_doc.m_nWidth), LONG(m_doc.m_nHeight)};
  PlaceBannerText(s, nullptr, origin);
  return true;
}

void CBannerDialog::RebuildPreview() {
  m_rebuild.stop();
  m_clips.clear();
  m_clip = 0;
  m_elapsedMs = 0;
  BannerSettings settings;
  if (Settings(settings) && GenerateBanner(settings, m_clips) != BANNER_OK) m_clips.clear();
  m_picture->setPixmap(QPixmap::fromImage(
      Picture().scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void CBannerDialog::Advance(int ms) {
  if (m_clips.empty()) return;
  m_elapsedMs += ms;
  const int before = m_clip;
  while (m_elapsedMs >= std::max(kMinClipMs, m_clips[std::size_t(m_clip)].delay * 10)) {
    m_elapsedMs -= std::max(kMinClipMs, m_clips[std::size_t(m_clip)].delay * 10);
    m_clip = (m_clip + 1) % int(m_clips.size());
  }
  if (m_clip != before)
    m_picture->setPixmap(QPixmap::fromImage(
        Picture().scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

QImage CBannerDialog::Picture() const {
  QImage picture = m_base.copy();
  if (picture.isNull() || m_clips.empty()) return picture;
  const CBannerClip& clip = m_clips[std::size_t(m_clip)];
  QPainter p(&picture);
  for (const CBannerSlot* slot : {&clip.first, &clip.second}) {
    if (!slot->picture || !slot->picture->GetImage()) continue;
    p.setOpacity(1.0 - std::clamp(slot->transparency, 0, 255) / 255.0);
    p.drawImage(QPoint(slot->x, slot->y), DibToImage(slot->picture->GetImage()));
  }
  return picture;
}

void CBannerDialog::accept() {
  BannerSettings settings;
  std::string reason;
  if (!Settings(settings, &reason)) {
    m_doc.Prompt().ShowMessage(reason, MessageKind::Error, kBannerErrorTitle);
    return;
  }
  m_timer.stop();
  if (AddBannerFrames(m_doc, settings) != BANNER_OK) {
    m_timer.start();
    return;
  }
  CPreferences& prefs = m_doc.App().Prefs();
  prefs.Set("EnterScene", settings.enterEnabled ? 1 : 0);
  prefs.Set("ExitScene", settings.leaveEnabled ? 1 : 0);
  prefs.Set("EnterEffect", settings.enterKind);
  prefs.Set("ExitEffect", settings.leaveKind);
  prefs.Set("EnterFrames", settings.enterFrames);
  prefs.Set("ExitFrames", settings.leaveFrames);
  prefs.Set("FrameDelayTime", settings.frameDelay);
  QDialog::accept();
}
