// AVI videos and added files through the loopwright tool: info on a good
// video, damaged videos failing with the loading message and exit 1, and
// the add-files/add-avi script commands with undo.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

#include "app/avi_test_util.h"

namespace fs = std::filesystem;

namespace {

class AviCli : public CliFixture {};

}  // namespace

TEST_F(AviCli, InfoOnAVideoAndOnDamagedOnes) {
  ASSERT_TRUE(WriteAvi(File("v.avi"), AviSpec{}));
  const RunResult ok = Run("info --json '" + File("v.avi") + "'");
  ASSERT_EQ(ok.code, 0) << ok.err;
  const auto j = nlohmann::json::parse(ok.out);
  EXPECT_EQ(j["canvas"]["width"], 5);
  EXPECT_EQ(j["canvas"]["height"], 3);
  ASSERT_EQ(j["frames"].size(), 30u);
  EXPECT_EQ(j["frames"][29]["delay"], 7);
  EXPECT_EQ(j["objects"].size(), 30u);

  // A damaged video fails with the loading message; which damage the reader
  // refuses (cut headers, huge or empty videos) is tested with the reader.
  AviSpec cut;
  cut.truncateTo = 50;
  ASSERT_TRUE(WriteAvi(File("cut.avi"), cut));
  const RunResult r = Run("info '" + File("cut.avi") + "'");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("载入 " + File("cut.avi") + " 文件失败!"), std::string::npos) << r.err;
}

TEST_F(AviCli, AddFilesAndAddAviScriptCommands) {
  AviSpec s;
  s.frames = 4;
  ASSERT_TRUE(WriteAvi(File("v.avi"), s));
  const std::string script = "new 5 3\n"
                             "add-avi '" + File("v.avi") + "'\n"
                             "add-files '" + File("v.avi") + "' '" + File("none.png") + "'\n"
                             "undo-text\n"
                             "info\n"
                             "undo\nundo\n"
                             "info\n";
  // The script splitter groups words with double quotes.
  std::string quoted = script;
  for (char& c : quoted)
    if (c == '\'') c = '"';
  const RunResult r = Run("run -", quoted);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("载入 " + File("none.png") + " 文件失败!"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Undo Add image flie(s)"), std::string::npos) << r.out;
  // Two JSON documents follow the undo texts.
  const auto first = r.out.find("{");
  ASSERT_NE(first, std::string::npos);
  std::stringstream in(r.out.substr(first));
  nlohmann::json a, b;
  in >> a >> b;
  EXPECT_EQ(a["frames"].size(), 9u);
  EXPECT_EQ(a["objects"].size(), 9u);
  EXPECT_EQ(b["frames"].size(), 1u);

  EXPECT_EQ(Run("run -", "new 5 3\nadd-avi\n").code, 2);
  EXPECT_EQ(Run("run -", "new 5 3\nadd-avi \"" + File("none.avi") + "\"\n").code, 1);
}
