// The selection and editing-view script commands end to end: each records
// the action whose texts `undo-text` shows, mouse gestures replay through the
// current tool at any scroll and zoom, render-view writes the view, paste
// takes an image file, and bad words or refused selections end the run with
// the right exit code and a message.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/cli_harness.h"

namespace {

class SelectionCli : public CliFixture {};

struct TextCase {
  const char* command;
  const char* undo;
  const char* redo;
};

const TextCase kTexts[] = {
    {"select-rect 2 2 10 8", "Undo Rectangular Selection", "Redo Rectangular Selection"},
    {"select-rect 5 5 10 8 round=50 add", "Undo Rectangular Selection", "Redo Rectangular Selection"},
    {"select-ellipse 0 0 20 10 subtract", "Undo Elliptic Selection", "Redo Elliptic Selection"},
    {"select-lasso 1,1 30,2 10,25", "Undo Lasso Selection", "Redo Lasso Selection"},
    {"select-wand 3 3 tolerance=10 connected=0", "Undo Magic Wand Selection", "Redo Magic Wand Selection"},
    {"select-all", "Undo Select All", "Redo Select All"},
    {"select-invert", "Undo Invert", "Redo Invert"},
    {"select-rect 0 0 20 20", "Undo Rectangular Selection", "Redo Rectangular Selection"},
    {"move-selection 3 -2", "Undo Move Selection", "Redo Move Selection"},
    {"filter gray", "Undo Gray", "Redo Gray"},
    {"copy", "Undo Gray", "Redo Gray"},  // copy records nothing
    {"cut", "Undo Cut", "Redo Cut"},
    {"paste", "Undo Paste", "Redo Paste"},
    {"delete", "Undo Delete", "Redo Delete"},
    {"crop-selection", "Undo Crop Selection", "Redo Crop Selection"},
    {"select-none", "Undo Unselect All", "Redo Unselect All"},
    {"new-object 10 10\nselect-objects 0\ndelete", "Undo Delete", "Redo Delete"},  // whole selected objects
    {"paste pic.png", "Undo Paste", "Redo Paste"},
};

TEST_F(SelectionCli, EachCommandShowsItsUndoAndRedoTexts) {
  std::string script = "new 20 20\nrender pic.png\nnew 40 30\nnew-object 30 20 color=0x0000FF\nselect-objects 0,1\n";
  for (const auto& c : kTexts) script += std::string(c.command) + "\nundo-text\nundo\nundo-text\nredo\n";
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 4 * std::size(kTexts));
  for (std::size_t i = 0; i < std::size(kTexts); ++i) {
    EXPECT_EQ(lines[4 * i], kTexts[i].undo) << kTexts[i].command;
    EXPECT_EQ(lines[4 * i + 3].substr(0, std::strlen(kTexts[i].redo)), kTexts[i].redo) << kTexts[i].command;
  }
}

TEST_F(SelectionCli, MouseGesturesAtScrollAndZoomAndRenderView) {
  // At zoom 4 and scroll (40, 20), client (0, 0)..(40, 20) covers image
  // (10, 5)..(20, 10); the selection lies under the pointer.
  const RunResult r = Script(
      "new 40 30\nzoom 4\nscroll 40 20\ntool rect-select\nmouse down 0 0\nmouse move 20 10\nmouse move 40 20\n"
      "mouse up 40 20\nundo-text\nselect-objects 0\nfilter negative\nrender-view view.png\n"
      "tool lasso\nmouse down 100 100\nmouse up 100 100\nmouse down 120 100\nmouse up 120 100\n"
      "mouse dblclick 120 100\nmouse up 120 100\nundo-text\nrender frame.png\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  // undo-text shows the undo and the redo state.
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Undo Rectangular Selection");
  EXPECT_EQ(lines[2], "Undo Negative");  // a two-point lasso records nothing
  const std::string view = Slurp(File("view.png"));
  ASSERT_GT(view.size(), 24u);
  // The view is the whole magnified canvas: 160 x 120.
  EXPECT_EQ(std::uint8_t(view[18]) << 8 | std::uint8_t(view[19]), 160);
  EXPECT_EQ(std::uint8_t(view[22]) << 8 | std::uint8_t(view[23]), 120);
  // The negative changed only the 10 x 5 block: pixel (10, 5) black, (9, 5) white.
  DibPtr frame = LoadPng("frame.png");
  ASSERT_TRUE(frame);
  EXPECT_EQ(DibRow(frame.get(), 5)[4 * 10], 0);
  EXPECT_EQ(DibRow(frame.get(), 5)[4 * 9], 255);
  EXPECT_EQ(DibRow(frame.get(), 10)[4 * 10], 255);
  EXPECT_EQ(DibRow(frame.get(), 4)[4 * 19], 255);
  EXPECT_EQ(DibRow(frame.get(), 9)[4 * 19], 0);
}

TEST_F(SelectionCli, SelectionToolSettingsComeFromThePreferences) {
  // Square rubber band: (10, 10) to (40, 20) selects 10 x 10 from (10, 10).
  SetIni("EqualWidthAndHeight=1\n");
  const RunResult r = Script(
      "new 40 30\ntool rect-select\nmouse down 10 10\nmouse move 40 20\nmouse up 40 20\nselect-objects 0\n"
      "filter negative\nrender frame.png\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr frame = LoadPng("frame.png");
  ASSERT_TRUE(frame);
  EXPECT_EQ(DibRow(frame.get(), 19)[4 * 19], 0);
  EXPECT_EQ(DibRow(frame.get(), 15)[4 * 25], 255);
  EXPECT_EQ(DibRow(frame.get(), 9)[4 * 15], 255);
}

TEST_F(SelectionCli, BadInputEndsWithAMessageAndTheRightCode) {
  std::string many = "select-lasso";
  for (int i = 0; i < 1000000; ++i) many += " 1,1";
  struct Case {
    std::string line;
    int code;
    const char* says;
  } cases[] = {
      {"select-rect 100 100 10 10", 1, "outside the canvas"},
      {"select-rect 5 5 0 10", 1, "empty"},
      {"select-ellipse -90 -90 20 20", 1, "outside the canvas"},
      {"select-lasso 1,1 5,5", 1, "at least 3 points"},
      {many, 1, "at most"},
      {"select-lasso 1,1 x 5,5", 2, "X,Y"},
      {"select-wand 100 5", 1, "outside the canvas"},
      {"select-wand 1 1 tolerance=300", 2, "tolerance"},
      {"select-rect 1 2 3", 2, "usage"},
      {"zoom 1000", 1, "-16 to 32"},
      {"scroll -5 0", 1, "negative"},
      {"tool hammer", 2, "unknown tool"},
      {"mouse press 1 1", 2, "down, move, up"},
      {"move-selection 1 1", 1, "nothing is selected"},
      {"crop-selection", 1, "nothing is selected"},
      {"select-all\nnew 20 20\nmove-selection 1 1", 1, "nothing is selected"},  // new drops it
      {"paste", 1, "clipboard is empty"},
      {"paste missing.png", 1, "missing.png"},
      {"render-view /nonexistent-dir/v.png", 1, "render-view"},
  };
  for (const Case& c : cases) {
    const RunResult r = Script("new 40 30\n" + c.line + "\n");
    EXPECT_EQ(r.code, c.code) << c.line.substr(0, 60);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.line.substr(0, 60) << ": " << r.err;
  }
}

}  // namespace
