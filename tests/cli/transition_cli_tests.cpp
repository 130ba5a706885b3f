// The transition script command end to end: frames and fades in the model,
// effect names and indexes, options, undo, and the failures (unknown effect,
// option out of range, a frame without visible objects).
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

class TransitionCli : public CliFixture {
 protected:
  // The JSON documents printed by `info` lines, in order.
  static std::vector<nlohmann::json> Infos(const std::string& out) {
    std::vector<nlohmann::json> docs;
    for (const std::string& line : OutputLines(out))
      if (line[0] == '{') docs.push_back(nlohmann::json::parse(line));
    return docs;
  }
};

TEST_F(TransitionCli, FadeAppearsBeforeTheKeyFrameAndUndoTakesItAllBack) {
  const RunResult r = Script("new 40 30\ninfo\ntransition fade frames=3 fade=1 delay=6 key-delay=70\nundo-text\ninfo\n"
                             "undo\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Undo Fade"), std::string::npos);
  const auto docs = Infos(r.out);
  ASSERT_EQ(docs.size(), 3u);
  const auto& j = docs[1];
  ASSERT_EQ(j["frames"].size(), 4u);
  ASSERT_EQ(j["objects"].size(), 2u);
  const int fades[3] = {192, 128, 64};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(j["frames"][i]["delay"], 6);
    EXPECT_EQ(j["frames"][i]["refs"][0]["visible"], false);
    EXPECT_EQ(j["frames"][i]["refs"][1]["visible"], true);
    EXPECT_EQ(j["frames"][i]["refs"][1]["transparency"], fades[i]);
  }
  EXPECT_EQ(j["frames"][3]["delay"], 70);
  EXPECT_EQ(j["frames"][3]["refs"][1]["visible"], false);
  EXPECT_EQ(docs[2], docs[0]);
}

TEST_F(TransitionCli, DisappearByIndexEndsWithAnEmptyFrameAndPicturesAreWipes) {
  const RunResult r = Script("new 40 30\ntransition 21 frames=2 mode=disappear\ninfo\nrender \"" + File("f1.png") +
                             "\" 1\nrender \"" + File("f2.png") + "\" 2\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto docs = Infos(r.out);
  ASSERT_EQ(docs.size(), 1u);
  ASSERT_EQ(docs[0]["frames"].size(), 3u);
  for (const auto& ref : docs[0]["frames"][2]["refs"]) EXPECT_EQ(ref["visible"], false);
  // Picture 0 of 2 at progress 1/2: an iris (index 21) smaller than the
  // canvas (its pixels against the effect library: the generator tests).
  DibPtr first = LoadPng("f1.png"), last = LoadPng("f2.png");
  ASSERT_TRUE(first && last);
  EXPECT_EQ(DibRow(first.get(), 15)[4 * 20 + 3], 255);  // the centre shows
  EXPECT_EQ(DibRow(first.get(), 0)[3], 0);              // the corner does not
  EXPECT_EQ(DibRow(last.get(), 15)[4 * 20 + 3], 0);     // the last frame is empty
}

TEST_F(TransitionCli, ObjectModeAndOptions) {
  const RunResult r = Script("new 40 30\nselect-objects 0\ntransition blinds object=1 frames=2 vertical=0 width=20\n"
                             "undo-text\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Undo Blinds"), std::string::npos);
  const auto docs = Infos(r.out);
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0]["objects"].size(), 3u);
  EXPECT_EQ(docs[0]["frames"].size(), 3u);
  EXPECT_EQ(docs[0]["frames"][0]["refs"][0]["visible"], false);
  EXPECT_EQ(docs[0]["frames"][0]["refs"][1]["visible"], true);
}

TEST_F(TransitionCli, BadUsageAndNothingToGenerateFrom) {
  for (const char* line : {"transition", "transition no-such-effect", "transition 34", "transition wave amplitude=5",
                           "transition fade frames=0", "transition fade mode=sideways",
                           "transition fade object=2", "transition zoom magnify=x"}) {
    const RunResult r = Script(std::string("new 20 20\n") + line + "\n");
    EXPECT_EQ(r.code, 2) << line << "\n" << r.err;
  }
  const RunResult empty = Script("new 20 20\nadd-frame\ncurrent-frame 1\ntransition fade\n");
  EXPECT_EQ(empty.code, 1);
  EXPECT_NE(empty.err.find("当前编辑帧没有对象包含，所以无法创建新的帧与效果。"), std::string::npos) << empty.err;
  const RunResult noObject = Script("new 20 20\ntransition fade object=1\n");
  EXPECT_EQ(noObject.code, 1);
}

}  // namespace
