#include "ui/dialogs/transition_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/loopwright_app.h"
#include "companions/base/tr.h"
#include "ui/dib_image.h"
#include "ui/dialogs/dialog_support.h"

namespace {

constexpr int kThumbSize = 64;
constexpr int kPreviewSize = 260;

// The picture over a chequer, so transparency shows, scaled to fit.
QPixmap OnChequer(const QImage& image, int size) {
  QPixmap out(size, size);
  out.fill(Qt::white);
  if (image.isNull()) return out;
  const QImage scaled = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPainter p(&out);
  const QRect at((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled.width(), scaled.height());
  for (int y = at.top(); y <= at.bottom(); y += 8)
    for (int x = at.left(); x <= at.right(); x += 8)
      if (((x - at.left()) / 8 + (y - at.top()) / 8) % 2) p.fillRect(QRect(x, y, 8, 8).intersected(at), QColor(204, 204, 204));
  p.drawImage(at, scaled);
  return out;
}

bool SelectionHasText(const CLoopwrightDoc& doc) {
  for (const auto& object : doc.m_selectedObjects)
    if (object && object->m_nKind == OBJECT_TEXT) return true;
  return false;
}

}  // namespace

CTransitionDialog::CTransitionDialog(CLoopwrightDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_performers(CreateEffectPerformers()), m_preview(doc) {
  setWindowTitle(QString::fromUtf8(Tr("Transition")));
  CLoopwrightApp& app = m_doc.App();
  for (auto& performer : m_performers) {
    performer->SetFlag(EFFECT_APPEAR, app.Pref("EffectEnterScene") != 0);
    performer->SetFlag(EFFECT_INSERT_FRAMES, app.Pref("RepeatCurrentFrame") != 0);
    performer->CreateOptionsPage(nullptr);
  }

  m_gallery = new QListWidget;
  m_gallery->setViewMode(QListView::IconMode);
  m_gallery->setIconSize(QSize(kThumbSize, kThumbSize));
  m_gallery->setGridSize(QSize(kThumbSize + 40, kThumbSize + 36));
  m_gallery->setResizeMode(QListView::Adjust);
  m_gallery->setMovement(QListView::Static);
  m_gallery->setWordWrap(true);
  m_gallery->setMinimumWidth(4 * (kThumbSize + 40) + 24);
  m_picture = new QLabel;
  m_picture->setFixedSize(kPreviewSize, kPreviewSize);
  m_picture->setAlignment(Qt::AlignCenter);

  const CTransitionSettings settings = CTransitionSettings::FromPreferences(app);
  m_frames = NewSpin(1, 300, settings.frameCount);
  m_delay = NewSpin(0, 32767, settings.frameDelay);
  m_keyDelay = NewSpin(0, 32767, settings.keyFrameDelay);
  m_appear = new QRadioButton(QString::fromUtf8(Tr("Appear")));
  m_disappear = new QRadioButton(QString::fromUtf8(Tr("Disappear")));
  m_fade = new QCheckBox(QString::fromUtf8(Tr("Fade")));
  m_objectMode = new QCheckBox(QString::fromUtf8(Tr("Selected object only")));
  m_insert = new QCheckBox(QString::fromUtf8(Tr("Insert new frames")));
  m_objectMode->setEnabled(!m_doc.m_selectedObjects.empty());

  auto* run = new QFormLayout;
  run->addRow(QString::fromUtf8(Tr("Frames")), m_frames);
  run->addRow(QString::fromUtf8(Tr("Frame delay")), m_delay);
  run->addRow(QString::fromUtf8(Tr("Key frame delay")), m_keyDelay);
  auto* modes = new QHBoxLayout;
  modes->addWidget(m_appear);
  modes->addWidget(m_disappear);
  run->addRow(modes);
  run->addRow(m_fade);
  run->addRow(m_objectMode);
  run->addRow(m_insert);
  auto* runBox = new QGroupBox(QString::fromUtf8(Tr("Generate")));
  runBox->setLayout(run);
  m_options = new QFormLayout;
  auto* optionsBox = new QGroupBox(QString::fromUtf8(Tr("Effect options")));
  optionsBox->setLayout(m_options);

  auto* side = new QVBoxLayout;
  side->addWidget(m_picture);
  side->addWidget(optionsBox);
  side->addWidget(runBox);
  side->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(m_gallery, 1);
  top->addLayout(side);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(buttons);

  BuildGallery();
  connect(m_gallery, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!m_bSyncing) SelectEffect(row);
  });
  auto flagBox = [this](QAbstractButton* box, std::uint32_t flag) {
    connect(box, &QAbstractButton::toggled, this, [this, flag](bool on) {
      if (m_bSyncing || !Performer()) return;
      Performer()->SetFlag(flag, on);
      if (flag == EFFECT_OBJECT_MODE) {
        m_preview.SetPerformer(Performer());
        BuildGallery();
      }
      ShowPicture();
    });
  };
  flagBox(m_appear, EFFECT_APPEAR);
  flagBox(m_fade, EFFECT_FADE);
  flagBox(m_objectMode, EFFECT_OBJECT_MODE);
  flagBox(m_insert, EFFECT_INSERT_FRAMES);

  m_timer.setInterval(CTransitionPreview::kTimerMs);
  connect(&m_timer, &QTimer::timeout, this, &CTransitionDialog::Tick);
  for (int i = 0; i < int(m_performers.size()); ++i)
    if (SelectEffect(i)) break;
  m_timer.start();
}

CTransitionDialog::~CTransitionDialog() {
  m_timer.stop();
  for (auto& performer : m_performers) performer->DestroyOptionsPage();
}

CEffectPerform* CTransitionDialog::Performer() const {
  return m_effect >= 0 ? m_performers[std::size_t(m_effect)].get() : nullptr;
}

void CTransitionDialog::BuildGallery() {
  m_bSyncing = true;
  const bool objectSelected = !m_doc.m_selectedObjects.empty();
  const bool textSelected = SelectionHasText(m_doc);
  if (m_gallery->count() == 0) {
    for (const auto& performer : m_performers) {
      std::string name;
      performer->GetEffectName(name);
      m_gallery->addItem(new QListWidgetItem(OnChequer({}, kThumbSize), ToQt(name)));
    }
    // Thumbnails one per event-loop turn, so the dialog shows at once.
    for (int i = 0; i < int(m_performers.size()); ++i)
      QTimer::singleShot(0, this, [this, i] {
        CTransitionPreview thumb(m_doc);
        thumb.SetPerformer(m_performers[std::size_t(i)].get());
        thumb.SetProgress(0.5);
        m_gallery->item(i)->setIcon(OnChequer(thumb.Picture(), kThumbSize));
      });
  }
  for (int i = 0; i < int(m_performers.size()); ++i) {
    CEffectPerform& performer = *m_performers[std::size_t(i)];
    // The mode chosen for the current effect decides what the others offer.
    if (Performer() && &performer != Performer()) performer.SetFlag(EFFECT_OBJECT_MODE, Performer()->IsObjectMode());
    QListWidgetItem* item = m_gallery->item(i);
    const bool offered = IsEffectOffered(performer, objectSelected, textSelected);
    item->setFlags(offered ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::NoItemFlags);
  }
  m_bSyncing = false;
}

bool CTransitionDialog::SelectEffect(int index) {
  if (index < 0 || index >= int(m_performers.size())) return false;
  CEffectPerform& performer = *m_performers[std::size_t(index)];
  if (!IsEffectOffered(performer, !m_doc.m_selectedObjects.empty(), SelectionHasText(m_doc))) return false;
  if (Performer()) performer.SetFlag(EFFECT_OBJECT_MODE, Performer()->IsObjectMode());
  m_effect = index;
  m_bSyncing = true;
  m_gallery->setCurrentRow(index);
  m_bSyncing = false;
  SyncModeWidgets();
  RebuildOptions();
  m_preview.SetPerformer(&performer);
  ShowPicture();
  return true;
}

void CTransitionDialog::SyncModeWidgets() {
  CEffectPerform* performer = Performer();
  if (!performer) return;
  m_bSyncing = true;
  m_appear->setChecked(performer->IsAppear());
  m_disappear->setChecked(!performer->IsAppear());
  m_fade->setEnabled((performer->m_nFlags & EFFECT_FADE_ALLOWED) != 0);
  m_fade->setChecked((performer->m_nFlags & EFFECT_FADE) != 0);
  m_objectMode->setChecked(performer->IsObjectMode());
  m_insert->setChecked(performer->InsertsFrames());
  m_insert->setEnabled(performer->IsObjectMode());
  m_bSyncing = false;
}

void CTransitionDialog::RebuildOptions() {
  while (m_options->rowCount() > 0) m_options->removeRow(0);
  CEffectPerform* performer = Performer();
  if (!performer || !performer->GetOptionsPage()) return;
  CEffectOptionsPage* page = performer->GetOptionsPage();
  for (const CEffectParamInfo& info : performer->GetParamInfo()) {
    int value = info.def;
    page->GetValue(info.name, value);
    const std::string name = info.name;
    if (info.lo == 0 && info.hi == 1) {
      auto* box = new QCheckBox;
      box->setChecked(value != 0);
      connect(box, &QCheckBox::toggled, this, [this, page, name](bool on) {
        page->SetValue(name, on ? 1 : 0);
        ShowPicture();
      });
      m_options->addRow(QString::fromStdString(name), box);
    } else {
      QSpinBox* box = NewSpin(info.lo, info.hi, value);
      connect(box, &QSpinBox::valueChanged, this, [this, page, name](int v) {
        page->SetValue(name, v);
        ShowPicture();
      });
      m_options->addRow(QString::fromStdString(name), box);
    }
  }
  if (m_options->rowCount() == 0) m_options->addRow(new QLabel(QString::fromUtf8(Tr("This effect has no options."))));
}

void CTransitionDialog::Tick() {
  m_preview.Advance(CTransitionPreview::kTimerMs);
  ShowPicture();
}

void CTransitionDialog::ShowPicture() { m_picture->setPixmap(OnChequer(m_preview.Picture(), kPreviewSize)); }

CTransitionSettings CTransitionDialog::Settings() const {
  CTransitionSettings s;
  s.frameCount = m_frames->value();
  s.frameDelay = m_delay->value();
  s.keyFrameDelay = m_keyDelay->value();
  return s;
}

TransitionStatus CTransitionDialog::Generate() {
  CEffectPerform* performer = Performer();
  if (!performer) return TransitionStatus::NoSource;
  m_timer.stop();
  const CTransitionSettings settings = Settings();
  const TransitionStatus status = GenerateTransition(m_doc, *performer, m_effect, settings);
  if (status == TransitionStatus::Done) {
    // The run's settings are the next run's proposal.
    CPreferences& prefs = m_doc.App().Prefs();
    prefs.Set("GeneratedFramesCount", settings.frameCount);
    prefs.Set("GeneratedFramesDelay", settings.frameDelay);
    prefs.Set("GeneratedKeyFrameDelay", settings.keyFrameDelay);
    prefs.Set("EffectEnterScene", performer->IsAppear() ? 1 : 0);
    prefs.Set("RepeatCurrentFrame", performer->InsertsFrames() ? 1 : 0);
    return status;
  }
  if (status == TransitionStatus::NoSource)
    m_doc.Prompt().ShowMessage(Tr("No selected object is visible on the current frame."), MessageKind::Warning);
  else if (status == TransitionStatus::OutOfMemory)
    m_doc.Prompt().ShowMessage(Tr("Out of memory!"), MessageKind::Error);
  m_timer.start();
  return status;
}

void CTransitionDialog::accept() {
  if (Generate() == TransitionStatus::Done) QDialog::accept();
}
