#include "ui/dialogs/preferences_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <vector>

#include "app/loopwright_app.h"
#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "ui/dialogs/dialog_support.h"

namespace {

struct KeyInfo {
  const char* key;
  const char* caption;
  char kind;  // 'b' on/off, 'c' colour 0x00BBGGRR, 'n' number (range from the table), 'q' quality 0-100
};

// The keys by page; every key of the table appears on exactly one page
// (keys added to the table later land on the last page).
const std::vector<std::pair<const char*, std::vector<KeyInfo>>>& Pages() {
  static const std::vector<std::pair<const char*, std::vector<KeyInfo>>> pages = {
      {"General",
       {{"PreviewPic", "Show the picture preview", 'b'},
        {"AutoPlay", "Play animations automatically", 'b'},
        {"LoopShorterAnimation", "Loop the shorter animation", 'b'},
        {"BlendMethod", "Blend method", 'n'},
        {"UndoMaxTimes", "Undo levels", 'n'},
        {"ThumbnailSizeOption", "Thumbnail size", 'n'},
        {"ShowDetails", "Show frame details", 'b'},
        {"ShowAllItems", "Show all items", 'b'},
        {"HandlingDragedFile", "Dropped file handling", 'n'},
        {"ShowDragedFileTip", "Ask how to handle dropped files", 'b'},
        {"PSDOpenFashion", "Open layered pictures as", 'n'},
        {"ShowPSDOpenFashionTip", "Ask how to open layered pictures", 'b'},
        {"CurrentFilter", "Frame picture format", 'n'}}},
      {"New animation",
       {{"NewAnimationWidth", "Width", 'n'},
        {"NewAnimationHeight", "Height", 'n'},
        {"InitTransparent", "Transparent", 'b'},
        {"InitColor", "Colour", 'c'},
        {"DefaultDelay", "Frame delay (1/100 s)", 'n'},
        {"DefaultBackgroundColor", "Background colour", 'c'},
        {"AspectWidth", "Aspect width", 'n'},
        {"AspectHeight", "Aspect height", 'n'}}},
      {"Frames",
       {{"GenerateFramesCount", "Frames to generate", 'n'},
        {"SourceFillColor", "Source fill colour", 'c'},
        {"DestinationFillColor", "Destination fill colour", 'c'},
        {"Reversal", "Reverse", 'b'},
        {"淡入淡出", "Fade in and out", 'b'},
        {"FrameDelayTime", "Banner frame delay (1/100 s)", 'n'},
        {"ResizeFilter", "Resize filter", 'n'},
        {"ResizingReference", "Resize reference", 'n'},
        {"PreserveRatio", "Keep the aspect ratio", 'b'},
        {"ReferencePos", "Canvas anchor", 'n'},
        {"HorzOffset", "Canvas horizontal offset", 'n'},
        {"VertOffset", "Canvas vertical offset", 'n'},
        {"HorizontalOffset", "Horizontal step", 'n'},
        {"VerticalOffset", "Vertical step", 'n'}}},
      {"Transitions and banners",
       {{"GeneratedFramesCount", "Transition frames", 'n'},
        {"GeneratedFramesDelay", "Transition frame delay (1/100 s)", 'n'},
        {"GeneratedKeyFrameDelay", "Key frame delay (1/100 s)", 'n'},
        {"EffectEnterScene", "Transition appears", 'b'},
        {"RepeatCurrentFrame", "Insert new frames", 'b'},
        {"EnterScene", "Banner enters", 'b'},
        {"ExitScene", "Banner leaves", 'b'},
        {"EnterEffect", "Banner entry kind", 'n'},
        {"ExitEffect", "Banner exit kind", 'n'},
        {"EnterFrames", "Banner entry frames", 'n'},
        {"ExitFrames", "Banner exit frames", 'n'},
        {"KeyFrameDelay", "Banner key frame delay (1/100 s)", 'n'}}},
      {"Export",
       {{"JPGQuality", "JPEG quality", 'n'},
        {"EncodeJPGSubfile", "JPEG subsampling", 'n'},
        {"EncodeJPGProgress", "Progressive JPEG", 'b'},
        {"ConstructGlobalPalette", "One global palette", 'b'},
        {"FlashEncode", "Flash movies without loss", 'b'},
        {"FlashJPGQuality", "Flash JPEG quality", 'q'}}},
      {"Paint and erase",
       {{"PaintForeColor", "Foreground colour", 'c'},
        {"PaintBackgndColor", "Background colour", 'c'},
        {"PaintLineColor", "Line colour", 'c'},
        {"PaintLineWidth", "Line width", 'n'},
        {"PaintRoundCap", "Round line ends", 'b'},
        {"PaintBeeline", "Straight lines", 'b'},
        {"LineOpacity", "Line opacity", 'n'},
        {"AllowPaintTransparence", "Paint transparency", 'b'},
        {"EraseLineWidth", "Eraser width", 'n'},
        {"EraseRoundCap", "Round eraser", 'b'},
        {"EraseBeeline", "Erase straight lines", 'b'},
        {"EraseTransparence", "Eraser transparency", 'n'},
        {"ReserveOrigin", "Keep the original", 'b'}}},
      {"Shapes and fill",
       {{"PaintShapeWidth", "Shape line width", 'n'},
        {"FillInsideShape", "Fill shapes", 'b'},
        {"RoundRadius", "Corner radius", 'n'},
        {"FillShapeMode", "Shape fill mode", 'n'},
        {"ShapeOpacity", "Shape opacity", 'n'},
        {"ShapeDashStyle", "Shape dash style", 'n'},
        {"FloodOpacity", "Fill opacity", 'n'},
        {"FloodAdjacentArea", "Fill adjacent pixels only", 'b'},
        {"FloodSimilarity", "Fill similarity", 'n'},
        {"FloodTransparence", "Fill transparent pixels", 'b'},
        {"FloodSolidColor", "Fill colour", 'c'}}},
      {"Selection",
       {{"Similarity", "Magic wand similarity", 'n'},
        {"ConnectedPixelsMagicWand", "Magic wand: connected pixels only", 'b'},
        {"SelectionRoundCorner", "Selection corner radius", 'n'},
        {"EqualWidthAndHeight", "Square rectangle selection", 'b'},
        {"EllipseSelectionEqualWidthAndHeight", "Circular ellipse selection", 'b'}}},
  };
  return pages;
}

const KeyInfo* FindKey(const std::string& key) {
  for (const auto& page : Pages())
    for (const KeyInfo& info : page.second)
      if (key == info.key) return &info;
  return nullptr;
}

QColor FromColorRef(std::int32_t value) {
  const auto c = std::uint32_t(value);
  return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::int32_t ToColorRef(const QColor& c) { return std::int32_t(c.red() | (c.green() << 8) | (c.blue() << 16)); }

void PaintSwatch(QPushButton* button, std::int32_t value) {
  QPixmap swatch(32, 16);
  swatch.fill(FromColorRef(value));
  button->setIcon(swatch);
  button->setText(QStringLiteral("0x%1").arg(std::uint32_t(value) & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper());
}

}  // namespace

const char* CPreferencesDialog::Caption(const std::string& key) {
  const KeyInfo* info = FindKey(key);
  return info ? info->caption : nullptr;
}

CPreferencesDialog::CPreferencesDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Preferences"));
  const CPreferences& prefs = doc.App().Prefs();
  for (const std::string& key : CPreferences::Keys()) m_opened[key] = prefs.Get(key);

  auto* tabs = new QTabWidget;
  std::set<std::string> shown;
  auto addPage = [&](const QString& title, const std::vector<std::string>& keys) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    for (const std::string& key : keys) {
      const KeyInfo* info = FindKey(key);
      QWidget* editor = MakeEditor(key);
      if (info && info->kind == 'b') form->addRow(editor);
      else form->addRow(info ? T(info->caption) : QString::fromStdString(key), editor);
      shown.insert(key);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    tabs->addTab(scroll, title);
  };
  for (const auto& [title, keys] : Pages()) {
    std::vector<std::string> names;
    for (const KeyInfo& info : keys)
      if (std::find(CPreferences::Keys().begin(), CPreferences::Keys().end(), info.key) != CPreferences::Keys().end())
        names.emplace_back(info.key);
    addPage(T(title), names);
  }
  std::vector<std::string> rest;
  for (const std::string& key : CPreferences::Keys())
    if (!shown.count(key)) rest.push_back(key);
  if (!rest.empty()) addPage(T("Other"), rest);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs, 1);
  layout->addWidget(buttons);
  resize(560, 520);
}

QWidget* CPreferencesDialog::MakeEditor(const std::string& key) {
  const std::int32_t value = m_doc.App().Pref(key.c_str());
  const KeyInfo* info = FindKey(key);
  const char kind = info ? info->kind : 'n';
  QWidget* editor;
  if (kind == 'b') {
    auto* box = new QCheckBox(T(info->caption));
    box->setChecked(value != 0);
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) { Store(key, on ? 1 : 0); });
    editor = box;
  } else if (kind == 'c') {
    auto* button = new QPushButton;
    PaintSwatch(button, value);
    connect(button, &QPushButton::clicked, this, [this, key, button] {
      const QColor chosen = QColorDialog::getColor(FromColorRef(m_doc.App().Pref(key.c_str())), this);
      if (!chosen.isValid()) return;
      Store(key, ToColorRef(chosen));
      PaintSwatch(button, ToColorRef(chosen));
    });
    editor = button;
  } else {
    auto* box = new QSpinBox;
    std::int64_t lo = 0, hi = 100;  // 'q': a percentage
    if (kind != 'q' && !CPreferences::Range(key, lo, hi)) {
      lo = INT32_MIN;
      hi = INT32_MAX;
    }
    box->setRange(int(lo), int(hi));
    box->setValue(value);
    connect(box, &QSpinBox::valueChanged, this, [this, key](int v) { Store(key, v); });
    editor = box;
  }
  editor->setObjectName(QString::fromStdString(key));
  m_editors[key] = editor;
  return editor;
}

void CPreferencesDialog::Store(const std::string& key, std::int32_t value) {
  CLoopwrightApp& app = m_doc.App();
  app.Prefs().Set(key, value);
  // The two values that live outside the table as well.
  if (key == "DefaultDelay") SetDefaultFrameDelay(std::uint16_t(app.Pref("DefaultDelay")));
  if (key == "UndoMaxTimes") m_doc.EditManager().SetUndoMaxTimes(app.Pref("UndoMaxTimes"));
}

bool CPreferencesDialog::SetValue(const std::string& key, std::int32_t value) {
  auto it = m_editors.find(key);
  if (it == m_editors.end()) return false;
  if (auto* box = qobject_cast<QCheckBox*>(it->second)) {
    box->setChecked(value != 0);
  } else if (auto* spin = qobject_cast<QSpinBox*>(it->second)) {
    spin->setValue(value);
  } else if (auto* button = qobject_cast<QPushButton*>(it->second)) {
    Store(key, value & 0xFFFFFF);
    PaintSwatch(button, value & 0xFFFFFF);
  }
  return true;
}

std::int32_t CPreferencesDialog::Value(const std::string& key) const { return m_doc.App().Pref(key.c_str()); }

QWidget* CPreferencesDialog::Editor(const std::string& key) const {
  auto it = m_editors.find(key);
  return it == m_editors.end() ? nullptr : it->second;
}

void CPreferencesDialog::reject() {
  for (const auto& [key, value] : m_opened)
    if (Value(key) != value) Store(key, value);
  QDialog::reject();
}
