#include "ui/properties_panel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

#include "app/loopwright_doc.h"
#include "editing/frame_commands.h"

CPropertiesPanel::CPropertiesPanel(CLoopwrightDoc& doc, QWidget* parent)
    : QWidget(parent),
      m_doc(doc),
      m_delay(new QSpinBox(this)),
      m_interlaced(new QCheckBox(QStringLiteral("Interlaced"), this)),
      m_loopForever(new QCheckBox(QStringLiteral("Loop forever"), this)),
      m_loopCount(new QSpinBox(this)) {
  auto* form = new QFormLayout(this);
  m_delay->setRange(0, 32767);
  m_delay->setSuffix(QStringLiteral(" /100 s"));
  m_loopCount->setRange(1, 65535);
  form->addRow(QStringLiteral("Frame delay"), m_delay);
  form->addRow(QString(), m_interlaced);
  form->addRow(QStringLiteral("Animation"), m_loopForever);
  form->addRow(QStringLiteral("Play count"), m_loopCount);
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
