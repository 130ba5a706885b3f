// The painting and object tools from a script: each gesture records the
// step `undo-text` shows, `set` changes a setting for the run only (the
// preferences file keeps its value), and bad words are usage errors.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace {

class ToolCli : public CliFixture {};

TEST_F(ToolCli, GesturesRecordTheirSteps) {
  struct Case {
    const char* lines;
    const char* undo;
  } cases[] = {
      {"tool brush\nmouse down 10 10\nmouse move 20 12\nmouse up 20 12", "Undo paint line"},
      {"tool eraser\nmouse down 10 10\nmouse up 10 10", "Undo erase"},
      {"tool fill\nmouse down 12 12\nmouse up 12 12", "Undo flood"},
      {"tool fill\nmouse rdown 40 30", "Undo flood"},
      {"tool shape star\nmouse down 30 5\nmouse move 40 15\nmouse up 45 20", "Undo Paint Shape"},
      {"tool text\nmouse down 5 30\nmouse up 5 30\ntext-input \"Hi\"", "Undo Add Text"},
      {"select-objects 0\nkey right", "Undo Move Objects"},
  };
  // One run: each case on a fresh animation, then its texts.
  std::string script;
  for (const auto& c : cases)
    script += std::string("new 64 48\nnew-object 30 20 color=0xFFFFFF\n") + c.lines + "\nundo-text\n";
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  // undo-text prints the Undo text, then the Redo text.
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 2 * std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(lines[2 * i], cases[i].undo) << cases[i].lines;
}

TEST_F(ToolCli, SetLastsForTheRunOnly) {
  // A 1-pixel brush: the dot's neighbour two pixels away stays white.
  const RunResult r = Script(
      "new 32 32\nnew-object 32 32 color=0xFFFFFF\nset PaintLineWidth 1\nset PaintLineColor 0x0000FF\n"
      "tool brush\nmouse down 10 10\nmouse up 10 10\nrender out.png\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr out = LoadPng("out.png");
  ASSERT_TRUE(out);
  const BYTE* at = DibRow(out.get(), 10) + 4 * 10;
  const BYTE* off = DibRow(out.get(), 10) + 4 * 12;
  EXPECT_GT(at[2], at[0] + 100);  // red shows through the dot
  EXPECT_EQ(off[0], 255);
  EXPECT_EQ(off[2], 255);
  const std::string ini = Slurp(File("config/loopwright/loopwright.ini"));
  EXPECT_EQ(ini.find("PaintLineWidth=1\n"), std::string::npos);
}

TEST_F(ToolCli, BadWordsAreUsageErrors) {
  const char* cases[] = {"set PaintLineWidth 60", "set DefaultDelay 5", "tool shape blob", "tool brush extra",
                         "key sideways"};
  for (const char* c : cases) {
    const RunResult r = Script(std::string("new 16 16\n") + c + "\n");
    EXPECT_EQ(r.code, 2) << c;
    EXPECT_FALSE(r.err.empty()) << c;
  }
  // A text without an open entry is refused, not a usage error.
  EXPECT_EQ(Script("new 16 16\ntext-input \"x\"\n").code, 1);
}

}  // namespace
