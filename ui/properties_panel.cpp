#include "ui/properties_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "editing/frame_commands.h"
#include "editing/frame_disposal.h"
#include "editing/object_commands.h"
#include "editing/object_refs.h"
#include "ui/dib_image.h"

namespace {

QString T(const char* english) { return QString::fromUtf8(Tr(english)); }

// The object the object fields show: the first selected object, with its
// reference on the current frame.
struct CShownObject {
  const CDib* object = nullptr;
  const CRefImageObject* ref = nullptr;
};

CShownObject ShownObject(const CLoopwrightDoc& doc) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame || doc.m_selectedObjects.empty()) return {};
  const CDib* object = doc.m_selectedObjects.front().get();
  const int index = doc.IndexOfObject(object);
  const CRefImageObject* ref = index >= 0 ? RefOf(*frame, index) : nullptr;
  return ref ? CShownObject{object, ref} : CShownObject{};
}

enum ObjectField { FIELD_POSITION, FIELD_TRANSPARENCY, FIELD_SHADOW };

}  // namespace

CPropertiesPanel::CPropertiesPanel(CLoopwrightDoc& doc, QWidget* parent)
    : QWidget(parent),
      m_doc(doc),
      m_delay(new QSpinBox(this)),
      m_interlaced(new QCheckBox(QStringLiteral("Interlaced"), this)),
      m_loopForever(new QCheckBox(QStringLiteral("Loop forever"), this)),
      m_loopCount(new QSpinBox(this)),
      m_disposal(new QComboBox(this)),
      m_object(new QGroupBox(T("Object"), this)),
      m_objectX(new QSpinBox(m_object)),
      m_objectY(new QSpinBox(m_object)),
      m_objectAlpha(new QSpinBox(m_object)),
      m_shadow(new QComboBox(m_object)) {
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  column->addLayout(form);
  m_delay->setRange(0, 32767);
  m_delay->setSuffix(QStringLiteral(" /100 s"));
  m_loopCount->setRange(1, 65535);
  form->addRow(QStringLiteral("Frame delay"), m_delay);
  form->addRow(QString(), m_interlaced);
  for (const char* text : {"No disposal", "Keep the frame", "Restore to background", "Restore to previous"})
    m_disposal->addItem(T(text));
  form->addRow(T("Disposal"), m_disposal);
  form->addRow(QStringLiteral("Animation"), m_loopForever);
  form->addRow(QStringLiteral("Play count"), m_loopCount);
  auto* objectForm = new QFormLayout(m_object);
  for (QSpinBox* box : {m_objectX, m_objectY}) box->setRange(-kMaxDibDimension, kMaxDibDimension);
  m_objectAlpha->setRange(0, 255);
  m_shadow->addItem(T("No shadow"));
  for (int kind = 1; kind <= 9; ++kind)
    m_shadow->addItem((kind <= 5 ? T("Parallel shadow %1") : T("Perspective shadow %1")).arg(kind <= 5 ? kind : kind - 5));
  objectForm->addRow(T("X"), m_objectX);
  objectForm->addRow(T("Y"), m_objectY);
  objectForm->addRow(T("Transparency"), m_objectAlpha);
  objectForm->addRow(T("Shadow"), m_shadow);
  column->addWidget(m_object);
  column->addStretch(1);
  connect(m_disposal, &QComboBox::activated, this, &CPropertiesPanel::ApplyDisposal);
  connect(m_objectX, &QSpinBox::editingFinished, this, [this] { ApplyObject(FIELD_POSITION); });
  connect(m_objectY, &QSpinBox::editingFinished, this, [this] { ApplyObject(FIELD_POSITION); });
  connect(m_objectAlpha, &QSpinBox::editingFinished, this, [this] { ApplyObject(FIELD_TRANSPARENCY); });
  connect(m_shadow, &QComboBox::activated, this, [this] { ApplyObject(FIELD_SHADOW); });
  connect(m_delay, &QSpinBox::editingFinished, this, &CPropertiesPanel::ApplyFrame);
  connect(m_interlaced, &QCheckBox::toggled, this, &CPropertiesPanel::ApplyFrame);
  connect(m_loopForever, &QCheckBox::toggled, this, &CPropertiesPanel::ApplyLoop);
  connect(m_loopCount, &QSpinBox::editingFinished, this, &CPropertiesPanel::ApplyLoop);
}

void CPropertiesPanel::Reload() {
  m_bFilling = true;
  const CGifFrame* frame = m_doc.GetCurrentFrame();
  m_delay->setEnabled(frame != nullptr);
  m_interlaced->setEnabled(frame != nullptr);
  if (frame) {
    m_delay->setValue(frame->m_nDelay);
    m_interlaced->setChecked(frame->IsInterlaced());
  }
  m_disposal->setEnabled(frame != nullptr);
  if (frame) m_disposal->setCurrentIndex(std::min(frame->GetDisposal(), m_disposal->count() - 1));
  const CShownObject shown = ShownObject(m_doc);
  m_object->setEnabled(shown.ref != nullptr);
  if (shown.ref) {
    m_objectX->setValue(shown.ref->m_nX);
    m_objectY->setValue(shown.ref->m_nY);
    m_objectAlpha->setValue(shown.ref->m_nTransparency);
    const int kind = shown.object->HasShadow() ? shown.object->m_nShadowKind : 0;
    m_shadow->setCurrentIndex(kind >= 0 && kind < m_shadow->count() ? kind : 0);
  }
  m_loopForever->setChecked(m_doc.m_bLoopForever != 0);
  m_loopCount->setValue(m_doc.m_nLoopCount);
  m_loopCount->setEnabled(!m_doc.m_bLoopForever);
  m_bFilling = false;
}

void CPropertiesPanel::ApplyFrame() {
  if (m_bFilling || !m_doc.GetCurrentFrame()) return;
  // Nothing to change records nothing; the command tells the views.
  if (!ModifyFrameProperties(m_doc, m_delay->value(), m_interlaced->isChecked())) Reload();
}

void CPropertiesPanel::ApplyLoop() {
  if (m_bFilling) return;
  if (SetLoopTimes(m_doc, m_loopForever->isChecked() ? 1 : 0, m_loopCount->value())) emit LoopChanged();
  Reload();
}

void CPropertiesPanel::ApplyDisposal() {
  if (m_bFilling || !m_doc.GetCurrentFrame()) return;
  // Disposal 4-7 are not defined: the list offers 0-3.
  if (!SetSelectedFramesDisposal(m_doc, m_disposal->currentIndex())) Reload();
}

void CPropertiesPanel::ApplyObject(int which) {
  if (m_bFilling) return;
  const CShownObject shown = ShownObject(m_doc);
  if (!shown.ref) return;
  ObjectResult result = ObjectResult::Refused({});
  switch (which) {
    case FIELD_POSITION: {
      // Every selected object moves by the shown one's change, keeping their
      // places relative to each other.
      const int dx = m_objectX->value() - shown.ref->m_nX, dy = m_objectY->value() - shown.ref->m_nY;
      if (dx != 0 || dy != 0) result = MoveSelectedObjects(m_doc, dx, dy);
      break;
    }
    case FIELD_TRANSPARENCY:
      if (m_objectAlpha->value() != shown.ref->m_nTransparency)
        result = SetSelectedTransparency(m_doc, m_objectAlpha->value());
      break;
    case FIELD_SHADOW: {
      CStyleValue value;
      value.number = m_shadow->currentIndex();
      result = SetSelectedStyle(m_doc, StyleKey::SHADOW, value);
      break;
    }
  }
  if (!result.ok) {
    if (!result.message.empty()) ShowMessage(result.message);
    Reload();  // show what the document kept
  }
}

void CPropertiesPanel::ShowMessage(const std::string& text) { m_doc.Prompt().ShowMessage(text, MessageKind::Warning); }
