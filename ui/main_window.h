// The main window: menus and tool bar over the canvas, the frames list and
// the objects list. It observes the document and turns every click into a
// call of the commands in editing/ or the exports.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "app/loopwright_doc.h"
#include "companions/base/progress.h"

class CCanvasWidget;
class CFramesModel;
class CObjectsPanel;
class COpenWorker;
class CPropertiesPanel;
class CQtPrompt;
class CViewCommands;
class QAction;
class QListView;
class QProgressBar;
class QToolButton;

class CMainWindow : public QMainWindow, public CDocObserver {
  Q_OBJECT
 public:
  // prompt: where questions and messages go (dialogs when null).
  explicit CMainWindow(CLoopwrightApp& app, CPromptInterface* prompt = nullptr, QWidget* parent = nullptr);
  ~CMainWindow() override;

  // Asks about unsaved changes first; a failed open shows the message and
  // keeps the document. True when the file is now the document.
  bool OpenFile(const QString& path);
  // The project file (.lwp); other extensions go through the exports.
  bool SaveTo(const QString& path);
  bool ExportTo(const QString& path);
  // The unsaved-changes question: true when the document may be dropped
  // (saved, nothing to save or the user said No); false on Cancel or a failed save.
  bool MayDiscardDocument();
  // Makes frame i current and the only selected one.
  void SelectFrame(int index);
  void Undo();
  void Redo();

  void OnUpdate(int hint, CGifFrame* frame) override;
  QToolButton* CancelButton() const { return m_cancelButton; }
  // The open running in the background (null when none).
  COpenWorker* OpeningWorker() const;
  bool IsBusy() const { return m_bBusy; }

 signals:
  // The first picture of a file being opened is on the canvas.
  void FirstPictureShown();

 public:

  CLoopwrightDoc& Doc() { return *m_doc; }
  CCanvasWidget* Canvas() const { return m_canvas; }
  CViewCommands* ViewCommands() const { return m_viewCommands; }
  CFramesModel* FramesModel() const { return m_framesModel; }
  QListView* FramesView() const { return m_framesView; }
  CObjectsPanel* ObjectsPanel() const { return m_objects; }
  CPropertiesPanel* PropertiesPanel() const { return m_properties; }
  QAction* UndoAction() const { return m_undo; }
  QAction* RedoAction() const { return m_redo; }
  // The recently opened or saved files, newest first (kept in the user's settings).
  QStringList RecentFiles() const;
  static constexpr int kMaxRecentFiles = 8;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A file dropped on the window opens as the document.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void BuildDocks();
  void RefreshAll();
  void RefreshCanvas();
  void RefreshCommandStates();
  void SyncFrameSelectionToView();
  void OnFrameSelectionChanged();
  void ChooseAndOpen();
  bool ChooseAndSave();
  void ChooseAndExport();
  void ShowPreview();
  void ShowContextMenu(int menu, QPoint globalPos);
  // Runs long work with the progress bar and the cancel button shown; the
  // rest of the window is disabled meanwhile, so the events the progress
  // lets through cannot change the document under the work.
  bool RunWithProgress(const std::function<bool(CTevCommonProgress*)>& work);
  void SetBusy(bool busy);
  // Reads a file on a worker thread, the frames list filling as a GIF's
  // frames arrive and its first picture shown at once; false (document
  // kept) on failure or cancel.
  bool OpenInBackground(const QString& path);
  // A click on an arrived frame while a file opens shows it on the canvas.
  void ShowArrivedFrame(int row);
  void RememberRecentFile(const QString& path);
  void FillRecentMenu();

  CLoopwrightApp& m_app;
  std::unique_ptr<CQtPrompt> m_ownPrompt;
  CPromptInterface* m_prompt;
  std::unique_ptr<CLoopwrightDoc> m_doc;
  CCanvasWidget* m_canvas = nullptr;
  CViewCommands* m_viewCommands = nullptr;
  CFramesModel* m_framesModel = nullptr;
  QListView* m_framesView = nullptr;
  CObjectsPanel* m_objects = nullptr;
  CPropertiesPanel* m_properties = nullptr;
  QProgressBar* m_progressBar = nullptr;
  QToolButton* m_cancelButton = nullptr;
  CTevInterruptibleProgress* m_pRunning = nullptr;  // the work the cancel button stops
  bool m_bBusy = false;
  COpenWorker* m_pOpening = nullptr;  // the open running in the background
  QAction* m_undo = nullptr;
  QAction* m_redo = nullptr;
  QAction* m_deleteFrames = nullptr;
  QMenu* m_recentMenu = nullptr;
  QList<QAction*> m_needFrames;  // enabled only when the document has frames
  bool m_bSyncing = false;
};
