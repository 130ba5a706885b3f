#include "ui/main_window.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "companions/base/tr.h"
#include "editing/frame_commands.h"
#include "editing/object_commands.h"
#include "export/export_dispatch.h"
#include "ui/canvas_widget.h"
#include "ui/dialogs/dialog_menus.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
#include "ui/frames_view.h"
#include "ui/objects_panel.h"
#include "ui/open_worker.h"
#include "ui/preview_dialog.h"
#include "ui/properties_panel.h"
#include "ui/qt_prompt.h"
#include "ui/view_commands.h"

namespace {

const char* const kOpenFilter =
    "Animations and projects (*.gif *.lwp *.ico *.cur *.ani *.avi *.psd *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;"
    "All files (*)";
const char* const kExportFilter =
    "GIF animation (*.gif);;Icon (*.ico);;Cursor (*.cur);;Animated cursor (*.ani);;Layered picture (*.psd);;"
    "AVI video (*.avi);;MP4 video (*.mp4);;WebM video (*.webm)";

bool IsProjectPath(const QString& path) { return QFileInfo(path).suffix().compare("lwp", Qt::CaseInsensitive) == 0; }

}  // namespace

CMainWindow::CMainWindow(CLoopwrightApp& app, CPromptInterface* prompt, QWidget* parent)
    : QMainWindow(parent), m_app(app) {
  if (!prompt) {
    m_ownPrompt = std::make_unique<CQtPrompt>(this);
    m_ownPrompt->SetStatusBar(statusBar());
    prompt = m_ownPrompt.get();
  }
  m_prompt = prompt;
  m_doc = std::make_unique<CLoopwrightDoc>(m_app, *m_prompt);
  m_doc->AddObserver(this);

  m_canvas = new CCanvasWidget(*m_doc, this);
  setCentralWidget(m_canvas);
  m_viewCommands = new CViewCommands(*m_canvas, *m_prompt, this);
  connect(m_viewCommands, &CViewCommands::Changed, this, &CMainWindow::RefreshCommandStates);
  connect(m_canvas, &CCanvasWidget::ViewChanged, this, [this] {
    m_objects->Reload();
    m_properties->Reload();
    RefreshCommandStates();
  });
  connect(m_canvas, &CCanvasWidget::ContextMenuRequested, this,
          [this](ContextMenu menu, QPoint at) { ShowContextMenu(menu, at); });
  BuildDocks();
  BuildMenus();
  m_progressBar = new QProgressBar(this);
  m_progressBar->setRange(0, 100);
  m_progressBar->setMaximumWidth(160);
  m_progressBar->hide();
  statusBar()->addPermanentWidget(m_progressBar);
  m_cancelButton = new QToolButton(this);
  m_cancelButton->setText(QString::fromUtf8(Tr("Cancel")));
  m_cancelButton->hide();
  connect(m_cancelButton, &QToolButton::clicked, this, [this] {
    if (m_pRunning) m_pRunning->Cancel();
  });
  statusBar()->addPermanentWidget(m_cancelButton);
  statusBar()->showMessage(QStringLiteral("Ready"));
  setAcceptDrops(true);
  RefreshAll();
}

CMainWindow::~CMainWindow() {
  m_doc->RemoveObserver(this);
  // The lists and their model read the document: they go before it does,
  // not later with the rest of the child widgets.
  delete m_framesView;
  delete m_framesModel;
  delete m_objects;
  delete m_properties;
  delete m_canvas;  // its editing view observes the document
}

void CMainWindow::BuildDocks() {
  m_framesModel = new CFramesModel(*m_doc, this);
  m_framesView = new CFramesView(*m_doc, m_framesModel, this);
  m_framesView->setUniformItemSizes(true);
  m_framesView->setIconSize(QSize(CFramesModel::kThumbnailSize, CFramesModel::kThumbnailSize));
  m_framesView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_framesView->setMinimumHeight(CFramesModel::kThumbnailSize + 48);
  connect(m_framesView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CMainWindow::OnFrameSelectionChanged);
  connect(m_framesView->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CMainWindow::OnFrameSelectionChanged);
  auto* framesDock = new QDockWidget(QStringLiteral("Frames"), this);
  framesDock->setObjectName(QStringLiteral("framesDock"));
  framesDock->setWidget(m_framesView);
  addDockWidget(Qt::BottomDockWidgetArea, framesDock);

  m_objects = new CObjectsPanel(*m_doc, this);
  auto* objectsDock = new QDockWidget(QStringLiteral("Objects"), this);
  objectsDock->setObjectName(QStringLiteral("objectsDock"));
  objectsDock->setWidget(m_objects);
  addDockWidget(Qt::RightDockWidgetArea, objectsDock);
  m_properties = new CPropertiesPanel(*m_doc, this);
  connect(m_objects, &CObjectsPanel::ObjectSelectionChanged, this, [this] {
    m_properties->Reload();
    RefreshCommandStates();
  });
  connect(m_properties, &CPropertiesPanel::LoopChanged, this, &CMainWindow::RefreshCommandStates);
  auto* propertiesDock = new QDockWidget(QStringLiteral("Properties"), this);
  propertiesDock->setObjectName(QStringLiteral("propertiesDock"));
  propertiesDock->setWidget(m_properties);
  addDockWidget(Qt::RightDockWidgetArea, propertiesDock);

  resizeDocks({framesDock}, {CFramesModel::kThumbnailSize + 64}, Qt::Vertical);
  resizeDocks({objectsDock}, {320}, Qt::Horizontal);
}

void CMainWindow::BuildMenus() {
  QToolBar* tools = addToolBar(QStringLiteral("Main"));
  tools->setObjectName(QStringLiteral("mainToolBar"));
  auto add = [this](QMenu* menu, const QString& text, auto slot, QKeySequence key = {}, bool needFrames = false) {
    QAction* action = menu->addAction(text);
    if (!key.isEmpty()) action->setShortcut(key);
    connect(action, &QAction::triggered, this, slot);
    if (needFrames) m_needFrames.append(action);
    return action;
  };
  // Frame and object commands report a refusal through the document's prompt.
  auto object = [this](ObjectResult (*command)(CLoopwrightDoc&)) {
    return [this, command] {
      const ObjectResult result = command(*m_doc);
      if (!result.ok && !result.message.empty()) m_prompt->ShowMessage(result.message, MessageKind::Warning);
    };
  };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* open = add(file, QStringLiteral("&Open..."), &CMainWindow::ChooseAndOpen, QKeySequence::Open);
  QAction* save = add(file, QStringLiteral("&Save"), [this] {
    if (!m_doc->m_strPathName.empty() && IsProjectPath(ToQt(m_doc->m_strPathName))) SaveTo(ToQt(m_doc->m_strPathName));
    else ChooseAndSave();
  }, QKeySequence::Save, true);
  add(file, QStringLiteral("Save &As..."), [this] { ChooseAndSave(); }, QKeySequence::SaveAs, true);
  file->addSeparator();
  m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
  connect(m_recentMenu, &QMenu::aboutToShow, this, &CMainWindow::FillRecentMenu);
  FillRecentMenu();
  file->addSeparator();
  add(file, QStringLiteral("E&xit"), [this] { close(); }, QKeySequence::Quit);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  m_undo = add(edit, QString(), &CMainWindow::Undo, QKeySequence::Undo);
  m_redo = add(edit, QString(), &CMainWindow::Redo, QKeySequence::Redo);
  edit->addSeparator();
  m_viewCommands->AddToEditMenu(edit);

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  add(view, QStringLiteral("Zoom &In"), [this] { m_canvas->ZoomIn(); }, QKeySequence::ZoomIn);
  add(view, QStringLiteral("Zoom &Out"), [this] { m_canvas->ZoomOut(); }, QKeySequence::ZoomOut);
  add(view, QStringLiteral("&Actual Size"), [this] { m_canvas->SetZoom(100); }, QKeySequence(Qt::CTRL | Qt::Key_0));

  QMenu* frames = menuBar()->addMenu(QStringLiteral("F&rames"));
  add(frames, QStringLiteral("&Add Blank Frame"), [this] { AddBlankFrame(*m_doc); });
  m_deleteFrames = add(frames, QStringLiteral("&Delete Frames"), [this] { DeleteSelectedFrames(*m_doc); },
                       QKeySequence::Delete, true);
  // The Delete key deletes frames in the frames list and pixels on the canvas.
  m_deleteFrames->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  m_framesView->addAction(m_deleteFrames);
  add(frames, QStringLiteral("D&uplicate Frames"), [this] { DuplicateSelectedFrames(*m_doc); }, {}, true);
  frames->addSeparator();
  add(frames, QStringLiteral("Move to &First"), [this] { MoveSelectedFrames(*m_doc, 0); }, {}, true);
  add(frames, QStringLiteral("Move &Previous"), [this] { MoveSelectedFrames(*m_doc, 2); }, {}, true);
  add(frames, QStringLiteral("Move &Next"), [this] { MoveSelectedFrames(*m_doc, 3); }, {}, true);
  add(frames, QStringLiteral("Move to &Last"), [this] { MoveSelectedFrames(*m_doc, 1); }, {}, true);
  frames->addSeparator();
  QAction* preview = add(frames, QStringLiteral("P&review..."), &CMainWindow::ShowPreview, QKeySequence(Qt::Key_F5), true);
  AddFrameDialogActions(frames, *m_doc, this);

  QMenu* objects = menuBar()->addMenu(QStringLiteral("&Objects"));
  add(objects, QStringLiteral("&New Object"), [this] {
    const ObjectResult result = NewObject(*m_doc);
    if (!result.ok && !result.message.empty()) m_prompt->ShowMessage(result.message, MessageKind::Warning);
  }, {}, true);
  add(objects, QStringLiteral("&Duplicate Objects"), object(&DuplicateSelectedObjects), {}, true);
  add(objects, QStringLiteral("De&lete Objects"), object(&DeleteSelectedObjects), {}, true);
  add(objects, QStringLiteral("&Combine Objects"), object(&CombineSelectedObjects), {}, true);
  objects->addSeparator();
  for (auto [text, kind] : {std::pair{"Bring to &Front", 0}, {"Send to &Back", 1}, {"Bring &Forward", 2}, {"Send Back&ward", 3}})
    add(objects, QString::fromLatin1(text), [this, kind = kind] {
      const ObjectResult result = ReorderSelectedObjects(*m_doc, kind);
      if (!result.ok && !result.message.empty()) m_prompt->ShowMessage(result.message, MessageKind::Warning);
    }, {}, true);

  QMenu* effects = menuBar()->addMenu(QStringLiteral("Effe&cts"));
  add(effects, QStringLiteral("&Reverse Animation"), [this] { ReverseFrames(*m_doc, false); }, {}, true);
  add(effects, QStringLiteral("Reverse &Selected Frames"), [this] { ReverseFrames(*m_doc, true); }, {}, true);
  add(effects, QStringLiteral("&Flatten Frame"), object(&MakeFrameSingleObject), {}, true);
  // The filter dialogs preview and apply inside the editing view's pixel selection.
  AddEffectDialogActions(effects, *m_doc, this, [this]() -> const TevImageTransform::CTevObjSelection* {
    return m_canvas->View().HasSelection() ? &m_canvas->View().Selection() : nullptr;
  });

  QMenu* exports = menuBar()->addMenu(QStringLiteral("E&xport"));
  QAction* exportAction = add(exports, QStringLiteral("&Export Animation..."), &CMainWindow::ChooseAndExport,
                              QKeySequence(Qt::CTRL | Qt::Key_E), true);
  AddExportDialogActions(exports, *m_doc, this);
  AddPreferencesAction(edit, *m_doc, this);

  for (QAction* action : {open, save, m_undo, m_redo, preview, exportAction}) tools->addAction(action);

  QMenu* toolMenu = menuBar()->addMenu(QString::fromUtf8(Tr("&Tools")));
  for (int number = 0; number < TOOL_COUNT; ++number) toolMenu->addAction(m_viewCommands->ToolAction(number));
  addToolBar(Qt::LeftToolBarArea, m_viewCommands->MakeToolPalette(this));
}

bool CMainWindow::MayDiscardDocument() {
  if (!m_doc->IsModified()) return true;
  const std::string name = m_doc->m_strPathName.empty() ? std::string("Untitled")
                                                        : QFileInfo(ToQt(m_doc->m_strPathName)).fileName().toStdString();
  switch (m_prompt->AskYesNoCancel("Save changes to " + name + "?")) {
    case CPromptInterface::Answer::Yes:
      if (!m_doc->m_strPathName.empty() && IsProjectPath(ToQt(m_doc->m_strPathName)))
        return SaveTo(ToQt(m_doc->m_strPathName));
      return ChooseAndSave();
    case CPromptInterface::Answer::No: return true;
    case CPromptInterface::Answer::Cancel: break;
  }
  return false;
}

bool CMainWindow::OpenFile(const QString& path) {
  if (m_bBusy || !MayDiscardDocument()) return false;
  const bool ok = OpenInBackground(path);
  if (!ok) {
    // The document showed the message; the open document stays as it was.
    statusBar()->showMessage(ToQt(m_doc->m_strLastError));
    return false;
  }
  m_doc->SelectSingleFrame(0);
  RememberRecentFile(path);
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - Loopwright"));
  RefreshAll();
  statusBar()->showMessage(QStringLiteral("%1 frames, %2 x %3")
                               .arg(m_doc->GetFrameCount())
                               .arg(m_doc->m_nWidth)
                               .arg(m_doc->m_nHeight));
  return true;
}

bool CMainWindow::SaveTo(const QString& path) {
  if (m_bBusy) return false;
  if (!IsProjectPath(path)) return ExportTo(path);
  const bool ok = RunWithProgress([&](CTevCommonProgress* p) { return m_doc->OnSaveDocument(FromQt(path), p); });
  if (!ok) {
    std::string text = FormatMessage1(Tr("Failed to save to the file %s!"), FromQt(path));
    if (!m_doc->m_strLastError.empty()) text += "\n" + m_doc->m_strLastError;
    m_prompt->ShowMessage(text, MessageKind::Error);
    return false;
  }
  m_doc->m_strPathName = FromQt(path);
  RememberRecentFile(path);
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - Loopwright"));
  statusBar()->showMessage(QStringLiteral("Saved %1").arg(path));
  return true;
}

bool CMainWindow::ExportTo(const QString& path) {
  if (m_bBusy || !m_doc->CanExport()) return false;
  std::string reason;
  const bool ok = RunWithProgress(
      [&](CTevCommonProgress* p) { return ExportAnimationFile(*m_doc, FromQt(path), p, {}, &reason); });
  if (!ok) {
    std::string text = FormatMessage1(Tr("Failed to save to the file %s!"), FromQt(path));
    if (!reason.empty()) text += "\n" + reason;
    m_prompt->ShowMessage(text, MessageKind::Error);
    return false;
  }
  statusBar()->showMessage(QStringLiteral("Exported %1").arg(path));
  return true;
}

QStringList CMainWindow::RecentFiles() const {
  return QSettings().value(QStringLiteral("recentFiles")).toStringList();
}

void CMainWindow::RememberRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kMaxRecentFiles) files.removeLast();
  QSettings().setValue(QStringLiteral("recentFiles"), files);
  FillRecentMenu();
}

void CMainWindow::FillRecentMenu() {
  m_recentMenu->clear();
  const QStringList files = RecentFiles();
  for (int i = 0; i < files.size(); ++i) {
    QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
    action->setToolTip(files[i]);
    const QString path = files[i];
    connect(action, &QAction::triggered, this, [this, path] { OpenFile(path); });
  }
  m_recentMenu->setEnabled(!files.isEmpty());
}

void CMainWindow::ChooseAndOpen() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), {}, QString::fromLatin1(kOpenFilter));
  if (!path.isEmpty()) OpenFile(path);
}

bool CMainWindow::ChooseAndSave() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), {},
                                              QStringLiteral("Loopwright project (*.lwp)"));
  if (path.isEmpty()) return false;
  if (!IsProjectPath(path)) path += QStringLiteral(".lwp");
  return SaveTo(path);
}

void CMainWindow::ChooseAndExport() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), {}, QString::fromLatin1(kExportFilter));
  if (!path.isEmpty()) ExportTo(path);
}

void CMainWindow::ShowPreview() {
  if (!m_doc->CanExport()) return;
  auto* preview = new CPreviewDialog(*m_doc, this);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  preview->setModal(true);  // the document must not change under the player
  preview->Start();
  preview->show();
}

void CMainWindow::ShowContextMenu(int menu, QPoint globalPos) {
  QMenu* popup = m_viewCommands->MakeContextMenu(ContextMenu(menu), this);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->popup(globalPos);
}

void CMainWindow::SelectFrame(int index) {
  m_doc->SelectSingleFrame(index);
  SyncFrameSelectionToView();
  RefreshCanvas();
  m_objects->Reload();
  m_properties->Reload();
}

void CMainWindow::Undo() {
  if (m_doc->OnEditUndo()) m_doc->UpdateAllViews(HINT_FRAMES_CHANGED, nullptr);
}

void CMainWindow::Redo() {
  if (m_doc->OnEditRedo()) m_doc->UpdateAllViews(HINT_FRAMES_CHANGED, nullptr);
}

void CMainWindow::OnUpdate(int hint, CGifFrame* frame) {
  if (hint == HINT_FRAMES_CHANGED || !frame) {
    RefreshAll();
    return;
  }
  m_framesModel->FrameChanged(frame);
  if (frame == m_doc->GetCurrentFrame()) RefreshCanvas();
  m_objects->Reload();
  m_properties->Reload();
  RefreshCommandStates();
}

void CMainWindow::RefreshAll() {
  m_framesModel->Reload();
  SyncFrameSelectionToView();
  RefreshCanvas();
  m_objects->Reload();
  m_properties->Reload();
  RefreshCommandStates();
}

void CMainWindow::RefreshCanvas() {
  m_canvas->Refresh();
}

void CMainWindow::RefreshCommandStates() {
  const CCommandState undo = m_doc->GetUndoCommandState(), redo = m_doc->GetRedoCommandState();
  m_undo->setText(MenuTextOf(undo.text));
  m_undo->setEnabled(undo.enabled);
  m_redo->setText(MenuTextOf(redo.text));
  m_redo->setEnabled(redo.enabled);
  const bool hasFrames = m_doc->CanExport();
  for (QAction* action : m_needFrames) action->setEnabled(hasFrames);
  m_viewCommands->RefreshStates();
}

void CMainWindow::SyncFrameSelectionToView() {
  if (m_pOpening) return;  // the rows are the arriving frames
  m_bSyncing = true;
  QItemSelectionModel* selection = m_framesView->selectionModel();
  selection->clearSelection();
  for (int row : m_doc->m_selectedFrames)
    selection->select(m_framesModel->index(row), QItemSelectionModel::Select);
  if (m_doc->m_nCurrentFrame >= 0) {
    const QModelIndex current = m_framesModel->index(m_doc->m_nCurrentFrame);
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    m_framesView->scrollTo(current);
  }
  m_bSyncing = false;
}

void CMainWindow::OnFrameSelectionChanged() {
  if (m_bSyncing) return;
  if (m_pOpening) {
    // The rows are the arriving frames, not the document's.
    const QModelIndex current = m_framesView->selectionModel()->currentIndex();
    ShowArrivedFrame(current.isValid() ? current.row() : -1);
    return;
  }
  std::vector<int> selected;
  for (const QModelIndex& index : m_framesView->selectionModel()->selectedIndexes()) selected.push_back(index.row());
  std::sort(selected.begin(), selected.end());
  const QModelIndex current = m_framesView->selectionModel()->currentIndex();
  int currentRow = current.isValid() ? current.row() : -1;
  if (currentRow < 0 && !selected.empty()) currentRow = selected.front();
  m_doc->m_selectedFrames = selected;
  m_doc->m_nCurrentFrame = m_doc->GetFrame(currentRow) ? currentRow : -1;
  RefreshCanvas();
  m_objects->Reload();
  m_properties->Reload();
}

void CMainWindow::closeEvent(QCloseEvent* event) {
  if (m_bBusy) event->ignore();  // the running work ends first (or is cancelled)
  else if (MayDiscardDocument()) event->accept();
  else event->ignore();
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile()) event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (m_bBusy || urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  OpenFile(urls.front().toLocalFile());
}
