// Runs editor commands, one per line, on one document: the CLI's `run`.
//
// Lines are split into words (double quotes group words, \" escapes a
// quote); empty lines and lines starting with '#' are skipped. Each command
// family registers its words in its own Add*Commands function, called from
// the constructor.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/loopwright_doc.h"

// Outcome of one command: ok, a failure reported to the user (exit 1), or
// bad usage (exit 2).
enum class ScriptStatus { Ok = 0, Failed = 1, Usage = 2 };

struct ScriptResult {
  ScriptStatus status = ScriptStatus::Ok;
  std::string message;
  static ScriptResult Ok() { return {}; }
  static ScriptResult Fail(std::string m) { return {ScriptStatus::Failed, std::move(m)}; }
  static ScriptResult Usage(std::string m) { return {ScriptStatus::Usage, std::move(m)}; }
};

class CEditPictureView;

class CScriptRunner {
 public:
  using Args = std::vector<std::string>;
  using Handler = std::function<ScriptResult(const Args& args)>;

  CScriptRunner(CLoopwrightDoc& doc, std::ostream& out);
  ~CScriptRunner();

  // Runs every line; stops at the first failure. Returns the exit code.
  int Run(std::istream& in);
  ScriptResult RunLine(const std::string& line);

  void Register(const std::string& name, std::string usage, Handler handler);
  CLoopwrightDoc& Doc() { return m_doc; }
  std::ostream& Out() { return m_out; }
  // The editing view the selection and view commands work in.
  CEditPictureView& View() { return *m_view; }

  static std::vector<std::string> SplitWords(const std::string& line, bool* ok = nullptr);

 private:
  struct Command {
    std::string usage;
    Handler handler;
  };
  CLoopwrightDoc& m_doc;
  std::ostream& m_out;
  std::map<std::string, Command> m_commands;
  std::unique_ptr<CEditPictureView> m_view;
};

// Parsing helpers for command handlers.
bool ParseInt(const std::string& text, long long& value);
// "I,J,K" into indexes; false on a malformed list.
bool ParseIndexList(const std::string& text, std::vector<int>& out);
// key=value words into a map; false on a word without '='.
bool ParseKeyValues(const std::vector<std::string>& words, std::size_t from, std::map<std::string, std::string>& out);

// Command families.
void AddDocumentCommands(CScriptRunner& runner);
void AddEditCommands(CScriptRunner& runner);
void AddFrameCommands(CScriptRunner& runner);
void AddObjectCommands(CScriptRunner& runner);
void AddObjectEditCommands(CScriptRunner& runner);
void AddFilterCommands(CScriptRunner& runner);
void AddTransitionCommands(CScriptRunner& runner);
void AddImportCommands(CScriptRunner& runner);
void AddBannerCommands(CScriptRunner& runner);
void AddSelectionCommands(CScriptRunner& runner);
void AddToolCommands(CScriptRunner& runner);
