// The editing view's commands in the window: the tool palette (one checkable
// action per slot of the view's tool set), cut/copy/paste through the system
// clipboard, delete and crop inside the selection, select all, unselect,
// invert, and the two right-click menus. Each action calls the command of
// editing/ or tools/ on the canvas's view; refusals show their message.
#pragma once

#include <QObject>
#include <QList>

#include "app/prompt.h"
#include "editing/object_commands.h"
#include "tools/tool_set.h"

class CCanvasWidget;
class QAction;
class QActionGroup;
class QMenu;
class QToolBar;

class CViewCommands : public QObject {
  Q_OBJECT
 public:
  enum Command { CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE, CMD_CROP, CMD_SELECT_ALL, CMD_UNSELECT, CMD_INVERT, COMMANDS };

  CViewCommands(CCanvasWidget& canvas, CPromptInterface& prompt, QWidget* parent);

  // The tool slot's caption in the user's language.
  static QString ToolText(int number);
  QAction* ToolAction(int number) const;
  QAction* Action(Command command) const { return m_commands[command]; }
  // The palette: a vertical tool bar of the thirteen tools.
  QToolBar* MakeToolPalette(QWidget* parent) const;
  // Adds the clipboard and selection commands to the edit menu.
  void AddToEditMenu(QMenu* menu) const;
  // The menu a right click asks for; the caller shows and frees it.
  QMenu* MakeContextMenu(ContextMenu kind, QWidget* parent);
  // Checks the current tool and enables what applies now.
  void RefreshStates();

  // The clipboard commands (the actions call these).
  ObjectResult Cut();
  ObjectResult Copy();
  ObjectResult Paste();
  ObjectResult Delete();

 signals:
  // A command ran: the window refreshes its lists and states.
  void Changed();

 private:
  void Run(ObjectResult result);
  // The view's in-process clipboard onto the system clipboard.
  void Publish();

  CCanvasWidget& m_canvas;
  CPromptInterface& m_prompt;
  QActionGroup* m_tools;
  QList<QAction*> m_toolActions;
  QAction* m_commands[COMMANDS] = {};
  QList<QAction*> m_objectCommands;  // shown in the object menu
};
