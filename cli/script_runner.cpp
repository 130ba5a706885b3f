#include "cli/script_runner.h"

#include "cli/console_prompt.h"
#include "cli/export_commands.h"
#include "cli/flash_commands.h"
#include "cli/suggest.h"
#include "tools/edit_view.h"

#include <cerrno>
#include <cstdlib>
#include <istream>
#include <ostream>

CScriptRunner::CScriptRunner(CLoopwrightDoc& doc, std::ostream& out)
    : m_doc(doc), m_out(out), m_view(std::make_unique<CEditPictureView>(doc)) {
  AddDocumentCommands(*this);
  AddEditCommands(*this);
  AddFrameCommands(*this);
  AddObjectCommands(*this);
  AddObjectEditCommands(*this);
  AddExportCommands(*this);
  AddFilterCommands(*this);
  AddTransitionCommands(*this);
  AddImportCommands(*this);
  AddBannerCommands(*this);
  AddFlashCommands(*this);
  AddSelectionCommands(*this);
  AddToolCommands(*this);
}

CScriptRunner::~CScriptRunner() = default;

void CScriptRunner::Register(const std::string& name, std::string usage, Handler handler) {
  m_commands[name] = Command{std::move(usage), std::move(handler)};
}

std::vector<std::string> CScriptRunner::SplitWords(const std::string& line, bool* ok) {
  std::vector<std::string> words;
  std::string cur;
  bool inQuotes = false, have = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
      cur += '"';
      have = true;
      ++i;
    } else if (c == '"') {
      inQuotes = !inQuotes;
      have = true;
    } else if (!inQuotes && (c == ' ' || c == '\t' || c == '\r')) {
      if (have) words.push_back(cur);
      cur.clear();
      have = false;
    } else {
      cur += c;
      have = true;
    }
  }
  if (have) words.push_back(cur);
  if (ok) *ok = !inQuotes;
  return words;
}

ScriptResult CScriptRunner::RunLine(const std::string& line) {
  bool ok = true;
  const Args words = SplitWords(line, &ok);
  if (!ok) return ScriptResult::Usage("unterminated quote");
  if (words.empty() || words[0][0] == '#') return ScriptResult::Ok();
  auto it = m_commands.find(words[0]);
  if (it == m_commands.end()) {
    std::vector<std::string> names;
    for (const auto& [name, command] : m_commands) names.push_back(name);
    return ScriptResult::Usage("unknown command '" + words[0] + "'" + DidYouMean(words[0], names));
  }
  // Every command but new and open works on an animation, and a run starts without one.
  if (words[0] != "new" && words[0] != "open" && (m_doc.m_nWidth < 1 || m_doc.m_nHeight < 1))
    return ScriptResult::Fail(words[0] + ": no animation is open (start with new or open)");
  ScriptResult r = it->second.handler(Args(words.begin() + 1, words.end()));
  if (r.status == ScriptStatus::Usage && r.message.empty()) r.message = "usage: " + it->second.usage;
  return r;
}

int CScriptRunner::Run(std::istream& in) {
  // Errors the document reports are printed here with their line number,
  // and not again when the command's own message already says them.
  auto* console = dynamic_cast<CConsolePrompt*>(&m_doc.Prompt());
  if (console) console->HoldErrors(true);
  std::string line;
  int number = 0, rc = 0;
  while (rc == 0 && std::getline(in, line)) {
    ++number;
    ScriptResult r = RunLine(line);
    const bool failed = r.status != ScriptStatus::Ok;
    if (failed) m_out.flush();
    for (const std::string& held : console ? console->TakeHeldErrors() : std::vector<std::string>{})
      if (!failed || r.message.find(held) == std::string::npos)
        std::fprintf(stderr, "loopwright: line %d: error: %s\n", number, held.c_str());
    if (failed) {
      std::fprintf(stderr, "loopwright: line %d: %s\n", number, r.message.c_str());
      rc = int(r.status);
    }
  }
  if (console) console->HoldErrors(false);
  return rc;
}

bool ParseInt(const std::string& text, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const int base = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 16 : 10;
  value = std::strtoll(text.c_str(), &end, base);
  return errno == 0 && end && *end == '\0';
}

bool ParseIndexList(const std::string& text, std::vector<int>& out) {
  out.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    long long v;
    if (!ParseInt(item, v) || v < 0 || v > 1000000) return false;
    out.push_back(int(v));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !out.empty();
}

bool ParseKeyValues(const std::vector<std::string>& words, std::size_t from, std::map<std::string, std::string>& out) {
  for (std::size_t i = from; i < words.size(); ++i) {
    const auto eq = words[i].find('=');
    if (eq == std::string::npos || eq == 0) return false;
    out[words[i].substr(0, eq)] = words[i].substr(eq + 1);
  }
  return true;
}
