// The message catalogue in process: English by default, the Chinese texts
// under LANGUAGE=zh_CN for a message, a caption and undo texts as the
// document produces them; every catalogue entry reachable and keeping its
// format arguments.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/loopwright_app.h"
#include "app/loopwright_doc.h"
#include "companions/base/tr.h"
#include "companions/base/tr_switch.h"
#include "editing/frame_commands.h"

namespace {

// Sets LANGUAGE for one scope (gettext reads it on every lookup) and puts
// it back afterwards.
class LanguageScope {
 public:
  explicit LanguageScope(const char* language) {
    if (const char* old = std::getenv("LANGUAGE")) m_old = old, m_had = true;
    ::setenv("LANGUAGE", language, 1);
    MessageLanguageChanged();
  }
  ~LanguageScope() {
    m_had ? ::setenv("LANGUAGE", m_old.c_str(), 1) : ::unsetenv("LANGUAGE");
    MessageLanguageChanged();
  }

 private:
  std::string m_old;
  bool m_had = false;
};

class MessageLanguage : public ::testing::Test {
 protected:
  // The machine's own locale must not matter: messages under C.UTF-8,
  // which honours LANGUAGE.
  static void SetUpTestSuite() { ASSERT_NE(std::setlocale(LC_MESSAGES, "C.UTF-8"), nullptr); }
};

// A fresh one-frame document with an empty history for each case.
struct Scene {
  CLoopwrightApp app;
  CScriptedPrompt prompt{true};
  CLoopwrightDoc doc{app, prompt};
  Scene() { doc.OnNewDocument(16, 8); }
};

struct LanguageCase {
  const char* what;
  std::function<std::string(Scene&)> produce;
  const char* english;
  const char* chinese;
};

const LanguageCase kCases[] = {
    // A failed open: its caption (a format with the file name) and its message.
    {"open",
     [](Scene& s) {
       s.doc.OnOpenDocument("/nonexistent/clip.gif", nullptr);
       return s.prompt.m_strCaption + "|" + s.prompt.m_strLast;
     },
     "Loading file clip.gif|Failed to load the file /nonexistent/clip.gif!",
     "载入文件 clip.gif|载入 /nonexistent/clip.gif 文件失败!"},
    {"empty history",
     [](Scene& s) { return s.doc.GetUndoCommandState().text + "|" + s.doc.GetRedoCommandState().text; },
     "Cannot undo\nCannot undo(&U)|Cannot redo\nCannot redo(&R)", "无法撤消\n无法撤消(&U)|无法重做\n无法重做(&R)"},
    {"frame properties redo",
     [](Scene& s) {
       ModifyFrameProperties(s.doc, 40, true);
       s.doc.OnEditUndo();
       return s.doc.GetRedoCommandState().text;
     },
     "Redo Modify Frame Properties", "重做 修改帧属性"},
    {"canvas redo, English undo",
     [](Scene& s) {
       ResizeCanvas(s.doc, 20, 9);
       const std::string undo = s.doc.GetUndoCommandState().text;
       s.doc.OnEditUndo();
       return undo + "|" + s.doc.GetRedoCommandState().text;
     },
     "Undo Resize canvas|Redo Resize canvas", "Undo Resize canvas|重做调整画布"},
};

TEST_F(MessageLanguage, DocumentTextsInEnglishAndChinese) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    {
      LanguageScope english("");
      Scene s;
      EXPECT_EQ(c.produce(s), c.english);
    }
    {
      LanguageScope chinese("zh_CN");
      Scene s;
      EXPECT_EQ(c.produce(s), c.chinese);
    }
  }
}

// One po string: the quoted pieces after the keyword, joined and unescaped.
std::string PoString(std::istream& in, std::string line) {
  std::string text;
  for (;;) {
    const auto open = line.find('"'), close = line.rfind('"');
    for (std::size_t i = open + 1; i < close; ++i) {
      if (line[i] != '\\') {
        text += line[i];
        continue;
      }
      const char e = line[++i];
      text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
    }
    if (in.peek() != '"') return text;
    std::getline(in, line);
  }
}

std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> out;
  // Qt's %1 placeholders first, so "%1 bytes" is not read as printf's "% b".
  static const std::regex conversion("%[1-9][0-9]?(?![a-zA-Z])|%[-+ #0-9.]*[a-zA-Z%]");
  for (std::sregex_iterator i(text.begin(), text.end(), conversion), end; i != end; ++i) out.push_back(i->str());
  return out;
}

TEST_F(MessageLanguage, EveryCatalogueEntryIsFoundAndKeepsItsArguments) {
  std::ifstream po(LW_SOURCE_DIR "/po/zh_CN.po");
  ASSERT_TRUE(po) << "po/zh_CN.po";
  std::vector<std::pair<std::string, std::string>> entries;
  std::string msgid;
  for (std::string line; std::getline(po, line);) {
    if (line.rfind("msgid ", 0) == 0) msgid = PoString(po, line);
    if (line.rfind("msgstr ", 0) == 0 && !msgid.empty()) entries.emplace_back(msgid, PoString(po, line));
  }
  ASSERT_FALSE(entries.empty());
  for (const auto& [id, str] : entries) {
    SCOPED_TRACE(id);
    // An entry without a translation shows its English text.
    if (!str.empty()) {
      EXPECT_EQ(Conversions(id), Conversions(str));
    }
    {
      LanguageScope english("");
      EXPECT_EQ(std::string(Tr(id.c_str())), id);
    }
    LanguageScope chinese("zh_CN");
    if (!str.empty()) {
      EXPECT_EQ(std::string(Tr(id.c_str())), str);
    }
  }
}

}  // namespace
