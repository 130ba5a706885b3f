#include "ui/view_commands.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QToolBar>
#include <array>

#include "companions/base/tr.h"
#include "editing/pixel_edit_actions.h"
#include "tools/edit_view.h"
#include "tools/selection_actions.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"

namespace {

// Beside the picture on the clipboard: where it came from on the canvas, so
// a paste in this program puts it back there ("x y").
const char* const kPositionFormat = "application/x-loopwright-position";

// The picture a clipboard holds: Qt's own image, else the first image/* format
// decoded; null when there is none or it cannot be read.
QImage ClipboardImage(const QMimeData& data) {
  if (data.hasImage()) {
    const QVariant value = data.imageData();
    if (value.canConvert<QImage>()) {
      const QImage image = value.value<QImage>();
      if (!image.isNull()) return image;
    }
    if (value.canConvert<QPixmap>()) return value.value<QPixmap>().toImage();
  }
  for (const QString& format : data.formats())
    if (format.startsWith(QStringLiteral("image/"))) {
      QImage image;
      if (image.loadFromData(data.data(format))) return image;
    }
  return {};
}

}  // namespace

QString CViewCommands::ToolText(int number) {
  // The tool slots' captions in slot order; the symbol tool has no caption of
  // its own.
  static constexpr std::array<const char*, TOOL_COUNT> kTexts = {
      "Select Mode", "Rectangular Selection", "Elliptic Selection", "Lasso Selection", "Magic Wand Selection",
      "Resize and Rotate", "Add Text", "Add Shape", "Brush", "Erase", "Fill", "Pick Color", "Symbol"};
  if (number < 0 || number >= TOOL_COUNT) return {};
  return QString::fromUtf8(Tr(kTexts[std::size_t(number)]));
}

CViewCommands::CViewCommands(CCanvasWidget& canvas, CPromptInterface& prompt, QWidget* parent)
    : QObject(parent), m_canvas(canvas), m_prompt(prompt), m_tools(new QActionGroup(this)) {
  m_tools->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int number = 0; number < TOOL_COUNT; ++number) {
    QAction* action = m_tools->addAction(ToolText(number));
    action->setCheckable(true);
    action->setData(number);
    action->setObjectName(QStringLiteral("tool%1").arg(number));
    connect(action, &QAction::triggered, this, [this, number] {
      m_canvas.View().SetTool(number);
      m_canvas.Refresh();
      RefreshStates();
      emit Changed();
    });
    m_toolActions.append(action);
  }

  struct Item {
    Command command;
    const char* text;
    QKeySequence key;
  };
  const Item items[] = {
      {CMD_CUT, "Cu&t", QKeySequence::Cut},
      {CMD_COPY, "&Copy", QKeySequence::Copy},
      {CMD_PASTE, "&Paste", QKeySequence::Paste},
      {CMD_DELETE, "&Delete", QKeySequence::Delete},
      {CMD_CROP, "C&rop to Selection", {}},
      {CMD_SELECT_ALL, "Select &All", QKeySequence::SelectAll},
      {CMD_UNSELECT, "&Unselect", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
      {CMD_INVERT, "&Invert Selection", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)},
  };
  for (const Item& item : items) {
    auto* action = new QAction(QString::fromUtf8(Tr(item.text)), this);
    if (!item.key.isEmpty()) action->setShortcut(item.key);
    m_commands[item.command] = action;
  }
  // Delete belongs to the canvas: in the frames list the same key deletes frames.
  m_commands[CMD_DELETE]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  m_canvas.addAction(m_commands[CMD_DELETE]);

  CEditPictureView& view = m_canvas.View();
  connect(m_commands[CMD_CUT], &QAction::triggered, this, [this] { Run(Cut()); });
  connect(m_commands[CMD_COPY], &QAction::triggered, this, [this] { Run(Copy()); });
  connect(m_commands[CMD_PASTE], &QAction::triggered, this, [this] { Run(Paste()); });
  connect(m_commands[CMD_DELETE], &QAction::triggered, this, [this] { Run(Delete()); });
  connect(m_commands[CMD_CROP], &QAction::triggered, this,
          [this, &view] { Run(CropToSelection(view.Doc(), view.Selection())); });
  connect(m_commands[CMD_SELECT_ALL], &QAction::triggered, this, [this, &view] { Run(SelectAll(view)); });
  connect(m_commands[CMD_UNSELECT], &QAction::triggered, this, [this, &view] { Run(SelectNone(view)); });
  connect(m_commands[CMD_INVERT], &QAction::triggered, this, [this, &view] { Run(SelectInvert(view)); });

  // The object menu's own commands, on the selected objects.
  auto* duplicate = new QAction(QString::fromUtf8(Tr("D&uplicate Objects")), this);
  connect(duplicate, &QAction::triggered, this, [this, &view] { Run(DuplicateSelectedObjects(view.Doc())); });
  m_objectCommands.append(duplicate);
  const std::pair<const char*, int> orders[] = {
      {"Bring to &Front", 0}, {"Send to &Back", 1}, {"Bring For&ward", 2}, {"Send Bac&kward", 3}};
  for (const auto& [text, kind] : orders) {
    auto* action = new QAction(QString::fromUtf8(Tr(text)), this);
    connect(action, &QAction::triggered, this,
            [this, &view, kind = kind] { Run(ReorderSelectedObjects(view.Doc(), kind)); });
    m_objectCommands.append(action);
  }
  RefreshStates();
}

QAction* CViewCommands::ToolAction(int number) const {
  return number >= 0 && number < m_toolActions.size() ? m_toolActions[number] : nullptr;
}

QToolBar* CViewCommands::MakeToolPalette(QWidget* parent) const {
  auto* bar = new QToolBar(QString::fromUtf8(Tr("Tools")), parent);
  bar->setObjectName(QStringLiteral("toolPalette"));
  bar->setOrientation(Qt::Vertical);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addActions(m_toolActions);
  return bar;
}

void CViewCommands::AddToEditMenu(QMenu* menu) const {
  for (Command c : {CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE, CMD_CROP}) menu->addAction(m_commands[c]);
  menu->addSeparator();
  for (Command c : {CMD_SELECT_ALL, CMD_UNSELECT, CMD_INVERT}) menu->addAction(m_commands[c]);
}

QMenu* CViewCommands::MakeContextMenu(ContextMenu kind, QWidget* parent) {
  RefreshStates();
  auto* menu = new QMenu(parent);
  for (Command c : {CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE}) menu->addAction(m_commands[c]);
  menu->addSeparator();
  if (kind == MENU_SELECTION) {
    menu->addAction(m_commands[CMD_CROP]);
    menu->addSeparator();
    for (Command c : {CMD_SELECT_ALL, CMD_UNSELECT, CMD_INVERT}) menu->addAction(m_commands[c]);
  } else {
    menu->addActions(m_objectCommands);
    menu->addSeparator();
    menu->addAction(m_commands[CMD_SELECT_ALL]);
  }
  return menu;
}

void CViewCommands::RefreshStates() {
  const CEditPictureView& view = m_canvas.View();
  const int tool = view.GetToolNumber();
  for (QAction* action : m_toolActions) action->setChecked(action->data().toInt() == tool);
  const bool frame = view.Doc().GetCurrentFrame() != nullptr;
  const bool selection = view.HasSelection();
  for (QAction* action : m_commands) action->setEnabled(frame);
  m_commands[CMD_CROP]->setEnabled(frame && selection);
  m_commands[CMD_UNSELECT]->setEnabled(frame && selection);
  const bool objects = frame && !view.Doc().m_selectedObjects.empty();
  for (QAction* action : m_objectCommands) action->setEnabled(objects);
}

ObjectResult CViewCommands::Cut() {
  CEditPictureView& view = m_canvas.View();
  const ObjectResult result = view.HasSelection()
                                  ? DeleteInSelection(view.Doc(), view.Selection(), true, &view.Clipboard())
                                  : DeleteSelectedObjectsWhole(view.Doc(), true, &view.Clipboard());
  if (result.ok) Publish();
  return result;
}

ObjectResult CViewCommands::Copy() {
  CEditPictureView& view = m_canvas.View();
  const ObjectResult result =
      CopyToClipboard(view.Doc(), view.HasSelection() ? &view.Selection() : nullptr, view.Clipboard());
  if (result.ok) Publish();
  return result;
}

ObjectResult CViewCommands::Paste() {
  CEditPictureView& view = m_canvas.View();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const QImage image = data ? ClipboardImage(*data) : QImage();
  if (image.isNull()) return ObjectResult::Refused(Tr("The clipboard holds no picture that can be pasted."));
  CPixelClipboard picture;
  picture.picture = ImageToDib(image);
  if (!picture.picture) return ObjectResult::Refused(Tr("The picture on the clipboard is too large to paste."));
  if (data->hasFormat(QString::fromLatin1(kPositionFormat))) {
    const QList<QByteArray> parts = data->data(QString::fromLatin1(kPositionFormat)).split(' ');
    bool okX = false, okY = false;
    const int x = parts.size() == 2 ? parts[0].toInt(&okX) : 0, y = parts.size() == 2 ? parts[1].toInt(&okY) : 0;
    if (okX && okY) picture.position = POINT{x, y};
  }
  return PasteClipboard(view.Doc(), picture);
}

ObjectResult CViewCommands::Delete() { return m_canvas.View().DeleteSelectionOrObjects(); }

void CViewCommands::Publish() {
  const CPixelClipboard& clipboard = m_canvas.View().Clipboard();
  const QImage image = DibToImage(clipboard.picture.get());
  if (image.isNull()) return;
  auto* data = new QMimeData;
  data->setImageData(image);
  data->setData(QString::fromLatin1(kPositionFormat),
                QByteArray::number(int(clipboard.position.x)) + ' ' + QByteArray::number(int(clipboard.position.y)));
  QGuiApplication::clipboard()->setMimeData(data);
}

void CViewCommands::Run(ObjectResult result) {
  if (!result.ok && !result.message.empty()) m_prompt.ShowMessage(result.message, MessageKind::Warning);
  m_canvas.Refresh();
  RefreshStates();
  emit Changed();
}
