#include "ui/dialogs/frame_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/loopwright_app.h"
#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "editing/frame_commands.h"
#include "ui/dialogs/dialog_support.h"

namespace {

constexpr int kMaxCanvas = 65535;

// The form above OK and Cancel.
QFormLayout* FormWithButtons(QDialog* dialog) {
  auto* layout = new QVBoxLayout(dialog);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return form;
}

}  // namespace

// ------------------------------------------------------------ canvas size

CCanvasSizeDialog::CCanvasSizeDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Canvas Size"));
  const CLoopwrightApp& app = doc.App();
  m_width = NewSpin(1, kMaxCanvas, doc.m_nWidth);
  m_height = NewSpin(1, kMaxCanvas, doc.m_nHeight);
  m_dx = NewSpin(-1000, 1000, app.Pref("HorzOffset"));
  m_dy = NewSpin(-1000, 1000, app.Pref("VertOffset"));
  m_anchor = new QButtonGroup(this);
  auto* grid = new QGridLayout;
  for (int i = 0; i < 9; ++i) {
    auto* button = new QRadioButton;
    m_anchor->addButton(button, i);
    grid->addWidget(button, i / 3, i % 3);
  }
  m_anchor->button(std::clamp(app.Pref("ReferencePos"), 0, 8))->setChecked(true);
  QFormLayout* form = FormWithButtons(this);
  form->addRow(T("Width"), m_width);
  form->addRow(T("Height"), m_height);
  form->addRow(T("Anchor"), grid);
  form->addRow(T("Extra horizontal offset"), m_dx);
  form->addRow(T("Extra vertical offset"), m_dy);
}

QPoint CCanvasSizeDialog::Offset(int width, int height) const {
  const int anchor = std::max(0, m_anchor->checkedId());
  const int column = anchor % 3, row = anchor / 3;
  // Half of the growth to the left of a centred picture, all of it for a
  // picture anchored right (shrinking moves the other way).
  const int dx = (width - int(m_doc.m_nWidth)) * column / 2 + m_dx->value();
  const int dy = (height - int(m_doc.m_nHeight)) * row / 2 + m_dy->value();
  return {dx, dy};
}

bool CCanvasSizeDialog::Apply() {
  CPreferences& prefs = m_doc.App().Prefs();
  prefs.Set("ReferencePos", std::max(0, m_anchor->checkedId()));
  prefs.Set("HorzOffset", m_dx->value());
  prefs.Set("VertOffset", m_dy->value());
  const QPoint offset = Offset(m_width->value(), m_height->value());
  return ResizeCanvas(m_doc, m_width->value(), m_height->value(), offset.x(), offset.y());
}

void CCanvasSizeDialog::accept() {
  Apply();
  QDialog::accept();
}

// ------------------------------------------------------------ animation size

CResizeDialog::CResizeDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Resize Animation"));
  m_width = NewSpin(1, kMaxCanvas, doc.m_nWidth);
  m_height = NewSpin(1, kMaxCanvas, doc.m_nHeight);
  m_keepRatio = new QCheckBox(T("Keep the aspect ratio"));
  m_keepRatio->setChecked(doc.App().Pref("PreserveRatio") != 0);
  QFormLayout* form = FormWithButtons(this);
  form->addRow(T("Width"), m_width);
  form->addRow(T("Height"), m_height);
  form->addRow(m_keepRatio);
  // With the ratio kept, the other side follows, rounded to the nearest pixel.
  auto follow = [this](QSpinBox* changed, QSpinBox* other, int from, int to) {
    connect(changed, &QSpinBox::valueChanged, this, [this, other, from, to](int value) {
      if (m_bSyncing || !m_keepRatio->isChecked() || from <= 0) return;
      m_bSyncing = true;
      other->setValue(std::max(1, int((double(value) * to) / from + 0.5)));
      m_bSyncing = false;
    });
  };
  follow(m_width, m_height, doc.m_nWidth, doc.m_nHeight);
  follow(m_height, m_width, doc.m_nHeight, doc.m_nWidth);
}

bool CResizeDialog::Apply() {
  m_doc.App().Prefs().Set("PreserveRatio", m_keepRatio->isChecked() ? 1 : 0);
  if (m_width->value() == m_doc.m_nWidth && m_height->value() == m_doc.m_nHeight) return false;
  return ResizeAnimation(m_doc, m_width->value(), m_height->value());
}

void CResizeDialog::accept() {
  Apply();
  QDialog::accept();
}

// ------------------------------------------------------------ loop count

CLoopCountDialog::CLoopCountDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Loop Count"));
  m_forever = new QCheckBox(T("Loop forever"));
  m_forever->setChecked(doc.m_bLoopForever != 0);
  m_count = NewSpin(1, 65535, doc.m_nLoopCount);
  m_count->setEnabled(!m_forever->isChecked());
  connect(m_forever, &QCheckBox::toggled, m_count, [this](bool on) { m_count->setEnabled(!on); });
  QFormLayout* form = FormWithButtons(this);
  form->addRow(m_forever);
  form->addRow(T("Play count"), m_count);
}

bool CLoopCountDialog::Apply() {
  const bool endless = m_forever->isChecked();
  if (endless == (m_doc.m_bLoopForever != 0) && (endless || m_count->value() == m_doc.m_nLoopCount)) return false;
  return SetLoopTimes(m_doc, endless ? 1 : 0, m_count->value());
}

void CLoopCountDialog::accept() {
  Apply();
  QDialog::accept();
}

// ------------------------------------------------------------ frame properties

CFramePropertiesDialog::CFramePropertiesDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Frame Properties"));
  const CGifFrame* frame = doc.GetCurrentFrame();
  m_delay = NewSpin(0, 32767, frame ? frame->m_nDelay : GetDefaultFrameDelay());
  m_delay->setSuffix(T(" (1/100 s)"));
  m_interlace = new QCheckBox(T("Interlaced"));
  m_interlace->setChecked(frame && frame->IsInterlaced());
  QFormLayout* form = FormWithButtons(this);
  form->addRow(T("Delay"), m_delay);
  form->addRow(m_interlace);
}

bool CFramePropertiesDialog::Apply() { return ModifyFrameProperties(m_doc, m_delay->value(), m_interlace->isChecked()); }

void CFramePropertiesDialog::accept() {
  Apply();
  QDialog::accept();
}

// ------------------------------------------------------------ same delay

CSameDelayDialog::CSameDelayDialog(CLoopwrightDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
  setWindowTitle(T("Make Same Delay"));
  m_delay = NewSpin(0, 32767, GetDefaultFrameDelay());
  m_delay->setSuffix(T(" (1/100 s)"));
  m_all = new QRadioButton(T("All frames"));
  m_selected = new QRadioButton(T("Selected frames"));
  m_all->setChecked(true);
  m_selected->setEnabled(!doc.m_selectedFrames.empty());
  QFormLayout* form = FormWithButtons(this);
  form->addRow(T("Delay"), m_delay);
  form->addRow(m_all);
  form->addRow(m_selected);
}

bool CSameDelayDialog::Apply() { return MakeSameDelay(m_doc, std::uint16_t(m_delay->value()), m_all->isChecked()); }

void CSameDelayDialog::accept() {
  Apply();
  QDialog::accept();
}
