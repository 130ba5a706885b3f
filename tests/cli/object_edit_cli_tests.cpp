// The object editing script commands end to end: each records the action
// whose Undo and Redo texts `undo-text` shows, and bad words or refused
// commands end the run with the right exit code and message.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace {

class ObjectEditCli : public CliFixture {};

struct TextCase {
  const char* before;  // lines that prepare the command (no output)
  const char* command;
  const char* undo;
  const char* redo;
};

// Objects after the first rows: 0 the new animation's picture, 1 text, 2
// shape, 3 picture; the comments follow the order as the rows change it.
const TextCase kTexts[] = {
    {"", "add-text \"Hi\" x=2 y=2", "Undo Add Text", "Redo Add Text"},
    {"", "add-shape star x=30 y=15 w=20 h=20", "Undo Paint Shape", "Redo Paint Shape"},
    {"", "add-picture pic.png x=40 y=30", "撤消新建对象", "Redo New Object"},
    {"", "new-object", "撤消新建对象", "Redo New Object"},
    {"select-objects 4", "delete-objects", "Undo Delete Object(s)", "重做删除对象"},
    {"select-objects 1,2", "duplicate-objects", "Undo Duplicate Object(s)", "重做复制对象"},
    {"", "delete-objects", "Undo Delete Object(s)", "重做删除对象"},
    {"select-objects 1", "order front", "Undo move to front", "Redo move to front"},  // raster shape picture text
    {"", "order back", "Undo move to back", "Redo move to back"},                    // text raster shape picture
    {"", "hide-objects", "撤消 显示/隐藏对象", "重做 显示/隐藏对象"},
    {"", "lock-objects", "撤消 锁定/解锁对象", "重做 锁定/解锁对象"},
    {"", "unlock-objects", "撤消 锁定/解锁对象", "重做 锁定/解锁对象"},
    {"", "transparency 80", "撤消 修改透明度", "重做 修改透明度"},
    {"", "move-objects 5 -3", "撤消 移动对象", "重做 移动对象"},
    {"select-objects 1,2", "align left", "撤消 Align Left", "重做 Align Left"},
    {"", "align center", "撤消 Center Vertically and Horizontally", "重做 Center Vertically and Horizontally"},
    {"select-objects 2", "combine-objects", "Undo Combine as Single Object", "重做合并为单一对象"},
    {"", "trim-objects", "Undo trim Object(s)", "重做修剪对象"},
    {"", "frame-to-object", "Undo Make Frame as Single Object", "Redo Make Frame as Single Object"},
    {"", "rename-object 0 Title", "Undo Modify Object's Name", "Redo Modify Object's Name"},
    {"", "scale-object 0 2", "Undo Scale Object", "Redo Scale Object"},
    {"", "rotate-object 0 30", "Undo Rotate Object", "Redo Rotate Object"},
    {"", "edit-text 0 Hello", "Undo Modify Text", "Redo Modify Text"},
    {"", "transform-filter 3 0", "Undo Modify Transform Filter", "Redo Modify Transform Filter"},
    {"select-objects 0", "set-style fill 0x0000FF", "撤消 更改填充颜色", "重做 更改填充颜色"},
    {"", "set-style dash 1", "撤消 Change Dash Style", "重做 Change Dash Style"},
    {"", "set-style fill-gradient 0x0000FF,0x00FF00 mode=radial", "撤消 Change Fill Gradient",
     "重做 Change Fill Gradient"},
    {"", "set-style shadow 4", "撤消 Change Shadow Style", "重做 Change Shadow Style"},
    {"select-objects 0,3", "to-image", "Undo Convert to image object", "Redo Convert to image object(s)"},
};

TEST_F(ObjectEditCli, EachCommandShowsItsUndoAndRedoTexts) {
  std::string script = "new 20 20\nrender pic.png\nnew 80 60\n";
  for (const auto& c : kTexts) {
    if (*c.before) script += std::string(c.before) + "\n";
    script += std::string(c.command) + "\nundo-text\nundo\nundo-text\nredo\n";
  }
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 4 * std::size(kTexts));
  for (std::size_t i = 0; i < std::size(kTexts); ++i) {
    SCOPED_TRACE(kTexts[i].command);
    EXPECT_EQ(lines[4 * i], kTexts[i].undo);
    EXPECT_EQ(lines[4 * i + 3], kTexts[i].redo);
  }
}

struct BadCase {
  std::string lines;
  int code;
  const char* message;
};

TEST_F(ObjectEditCli, BadInputIsReportedWithItsExitCode) {
  const BadCase cases[] = {
      {"rename-object 9 x", 1, "no object 9"},
      {"delete-objects", 1, "no object is selected"},
      {"scale-object 1 -2", 2, "scale"},
      {"rotate-object 1 nan", 2, "rotate-object"},
      {"rename-object 1 " + std::string(200 * 1024, 'n'), 1, "too long"},
      {"transparency 300", 2, "usage"},
      {"select-objects 1\nshow-objects frames=9", 1, "no frame 9"},
      {"select-objects 1\nlock-objects\nmove-objects 1 1", 1, "有些对象被锁定"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines.substr(0, 60));
    const RunResult r = Script("new 40 30\nadd-text Hi\n" + c.lines + "\n");
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_FALSE(r.signalled);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

}  // namespace
