#include "ui/dialogs/filter_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "companions/base/tr.h"
#include "editing/filter_actions.h"
#include "ui/dib_image.h"

namespace {

constexpr int kPreviewSize = 320;

bool IsSelected(const CLoopwrightDoc& doc, const CDib* object) {
  for (const auto& selected : doc.m_selectedObjects)
    if (selected.get() == object) return true;
  return false;
}

}  // namespace

CFilterDialog::CFilterDialog(CLoopwrightDoc& doc, const CFilterEntry& entry,
                             const TevImageTransform::CTevObjSelection* selection, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_entry(entry), m_selection(selection) {
  setWindowTitle(QString::fromUtf8(Tr(entry.name)));
  m_picture = new QLabel;
  m_picture->setMinimumSize(kPreviewSize, kPreviewSize * 3 / 4);
  m_picture->setAlignment(Qt::AlignCenter);
  auto* form = new QFormLayout;
  for (const CFilterParam& param : entry.params) {
    auto* box = new QSpinBox;
    box->setRange(param.lo, param.hi);
    box->setValue(param.def);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(param.lo, param.hi);
    slider->setValue(param.def);
    connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
    connect(box, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    connect(box, &QSpinBox::valueChanged, this, [this] { m_refresh.start(); });
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(box);
    form->addRow(QString::fromUtf8(Tr(param.label)), row);
    m_boxes.push_back(box);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_picture, 1);
  layout->addLayout(form);
  if (m_doc.m_selectedObjects.empty())
    layout->addWidget(new QLabel(QString::fromUtf8(Tr("Select the objects to change in the objects list first."))));
  layout->addWidget(buttons);
  // Parameter changes come in bursts (a dragged slider): one render per turn.
  m_refresh.setSingleShot(true);
  m_refresh.setInterval(0);
  connect(&m_refresh, &QTimer::timeout, this, &CFilterDialog::RefreshPreview);
  RefreshPreview();
}

std::vector<int> CFilterDialog::Values() const {
  std::vector<int> values;
  for (const QSpinBox* box : m_boxes) values.push_back(box->value());
  return values;
}

QImage CFilterDialog::PreviewPicture() const {
  const CGifFrame* current = m_doc.GetCurrentFrame();
  if (!current) return {};
  auto process = m_entry.make(Values());
  // A copy of the frame whose selected objects show filtered copies.
  auto frame = MakeRef<CGifFrame>(*current);
  std::vector<std::pair<const CDib*, RefPtr<CDib>>> done;
  for (std::size_t j = 0; j < frame->m_refs.size(); ++j) {
    const CRefImageObject* ref = frame->m_refs[j];
    const CDib* object = ref ? ref->m_pObject.get() : nullptr;
    if (!object || !object->GetImage() || !IsSelected(m_doc, object)) continue;
    auto known = std::find_if(done.begin(), done.end(), [&](const auto& d) { return d.first == object; });
    if (known == done.end()) {
      DibPtr picture = FilteredPicture(*ref, m_entry.kind, *process, nullptr, m_selection);
      auto copy = MakeRef<CDib>(*object);
      if (!picture || !copy->SetImage(std::move(picture))) continue;
      done.emplace_back(object, copy);
      known = done.end() - 1;
    }
    frame->m_refs.Edit(j)->m_pObject = known->second;
  }
  return ComposedFrameImage(m_doc, *frame);
}

void CFilterDialog::RefreshPreview() {
  const QImage picture = PreviewPicture();
  if (picture.isNull()) {
    m_picture->clear();
    return;
  }
  const QSize box = m_picture->size().expandedTo(QSize(kPreviewSize, kPreviewSize * 3 / 4));
  QPixmap shown = QPixmap::fromImage(picture.width() > box.width() || picture.height() > box.height()
                                         ? picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                         : picture);
  m_picture->setPixmap(shown);
}

int CFilterDialog::Apply() {
  auto process = m_entry.make(Values());
  return ApplyFilterToSelectedObjects(m_doc, m_entry.kind, *process, nullptr, {}, m_selection);
}

void CFilterDialog::accept() {
  m_refresh.stop();
  Apply();
  QDialog::accept();
}
