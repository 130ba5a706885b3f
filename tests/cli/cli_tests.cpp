// The loopwright tool end to end: scripts, info, render, exit codes and
// messages on bad input. Each test runs the built tool with its own config
// folder.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

#include "app/frame_render.h"

namespace fs = std::filesystem;

namespace {

class CliTest : public CliFixture {
 protected:
  nlohmann::json NewInfo() const {
    RunResult r = Run("run -", "new\ninfo\n");
    EXPECT_EQ(r.code, 0) << r.err;
    // Keys come in the documented order.
    EXPECT_EQ(r.out.rfind("{\"canvas\":{\"width\":", 0), 0u) << r.out;
    return nlohmann::json::parse(r.out);
  }
};

TEST_F(CliTest, NewThenInfoPrintsTheDefaults) {
  nlohmann::json j = NewInfo();
  EXPECT_EQ(j["canvas"]["width"], 120);
  EXPECT_EQ(j["canvas"]["height"], 120);
  EXPECT_EQ(j["background"], 0xFFFFFF);
  EXPECT_EQ(j["transparencyState"], 2);
  EXPECT_EQ(j["loopForever"], true);
  ASSERT_EQ(j["frames"].size(), 1u);
  EXPECT_EQ(j["frames"][0]["delay"], 20);
  EXPECT_EQ(j["frames"][0]["gce"], 8);
  EXPECT_EQ(j["frames"][0]["descriptor"], 0x80);
  ASSERT_EQ(j["objects"].size(), 1u);
  const auto& o = j["objects"][0];
  EXPECT_EQ(o["name"], "Obj - 0");
  EXPECT_EQ(o["kind"], 0);
  EXPECT_EQ(o["width"], 120);
  EXPECT_EQ(o["shadow"]["kind"], 4);
  EXPECT_EQ(o["shadow"]["transparency"], 64);
  EXPECT_EQ(o["shadow"]["colour"], 0x202020);
  EXPECT_EQ(o["shadow"]["hasImage"], false);
  const auto& ref = j["frames"][0]["refs"][0];
  EXPECT_EQ(ref["x"], 0);
  EXPECT_EQ(ref["y"], 0);
  EXPECT_EQ(ref["visible"], true);
  EXPECT_EQ(ref["transparency"], 0);
}

// The tool reads its preferences from the config folder and never writes
// them back (the range rules themselves are tested with the preferences).
TEST_F(CliTest, IniValuesAreReadRangeCheckedAndLeftAsTheyAre) {
  SetIni("DefaultDelay=301\nNewAnimationHeight=33\nInitTransparent=1\n");
  const nlohmann::json j = NewInfo();
  EXPECT_EQ(j["frames"][0]["delay"], 20);  // out of range: the default
  EXPECT_EQ(j["canvas"]["height"], 33);
  EXPECT_EQ(j["objects"].size(), 0u);
  EXPECT_EQ(j["frames"].size(), 1u);
  const std::string ini = Slurp(File("config/loopwright/loopwright.ini"));
  EXPECT_EQ(ini, "[Default]\nDefaultDelay=301\nNewAnimationHeight=33\nInitTransparent=1\n");
}

TEST_F(CliTest, RenderAndInfoOfAPicture) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(6, 4, RGB(200, 100, 50), 255));
  DibRow(pic.get(), 1)[4 * 2 + 3] = 0;  // one transparent pixel
  ASSERT_TRUE(WritePngPicture(pic.get(), File("in.png")));
  RunResult r = Run("info --json '" + File("in.png") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["canvas"]["width"], 6);
  EXPECT_EQ(j["objects"][0]["name"], "Obj - 0");
  r = Run("render '" + File("in.png") + "' '" + File("out.png") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  TevImageIO::CTevImageInfoPack pack;
  pack.path = File("out.png");
  ASSERT_EQ(TevImageIO::LoadImageW(pack, nullptr, nullptr), 0);
  ASSERT_TRUE(pack.picture);
  DibPtr back(CDIB32::ConvertTo32BitsDIB(pack.picture.get()));
  ASSERT_EQ(back->biWidth, 6);
  const BYTE* p = DibRow(back.get(), 0);
  EXPECT_EQ(p[0], 50);
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[2], 200);
  EXPECT_EQ(p[3], 255);
  EXPECT_EQ(DibRow(back.get(), 1)[4 * 2 + 3], 0);
  EXPECT_EQ(Run("render '" + File("in.png") + "' '" + File("o2.png") + "' --frame 1").code, 1);
}

TEST_F(CliTest, ScriptsRenderFramesAndSelect) {
  RunResult r = Run("run -", "# comment\nnew 10 8\nselect-frames 0\ncurrent-frame 0\nselect-objects all\nrender \"" +
                                 File("f 0.png") + "\" 0\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(File("f 0.png")));
  EXPECT_EQ(Run("run -", "new\ncurrent-frame 3\n").code, 1);
  EXPECT_EQ(Run("run -", "new\nselect-frames 0,x\n").code, 2);
  EXPECT_EQ(Run("run -", "new\nfrobnicate\n").code, 2);
  EXPECT_EQ(Run("run -", "new 0 5\n").code, 2);
  EXPECT_EQ(Run("run '" + File("no-such-script") + "'").code, 1);
  EXPECT_EQ(Run("").code, 2);
  EXPECT_EQ(Run("info").code, 2);
  EXPECT_EQ(Run("--help").code, 0);
}

TEST_F(CliTest, BadPicturesFailWithTheMessageAndExitCode1) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(40, 30, RGB(1, 2, 3), 255));
  ASSERT_TRUE(WritePngPicture(pic.get(), File("good.png")));
  std::ifstream in(File("good.png"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  Write("truncated.png", bytes.substr(0, bytes.size() / 2));
  Write("empty.png", "");
  // Every way in (info, render, a script's open) for one file; an empty and a
  // missing file through info only. How the reader refuses other damage
  // (checksums, sizes) is tested with the reader; the message is the same.
  for (const char* name : {"truncated.png", "empty.png", "missing.png"}) {
    std::vector<std::string> ways = {"info '" + File(name) + "'"};
    if (std::string(name) == "truncated.png") ways.insert(ways.end(), {"render '" + File(name) + "' '" + File("o.png") + "'", "run -"});
    for (const std::string& args : ways) {
      RunResult r = Run(args, args == "run -" ? "open \"" + File(name) + "\"\n" : "");
      EXPECT_EQ(r.code, 1) << name << " " << args << "\n" << r.err;
      EXPECT_NE(r.err.find("载入 " + File(name) + " 文件失败!"), std::string::npos) << name << "\n" << r.err;
    }
  }
  EXPECT_FALSE(fs::exists(File("o.png")));
}

// Every command that takes name=value options refuses a misspelt name as
// bad usage and lists the names it takes.
TEST_F(CliTest, MisspeltOptionNamesAreUsageErrorsListingTheNames) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(8, 6, RGB(9, 8, 7), 255));
  ASSERT_TRUE(WritePngPicture(pic.get(), File("in.png")));
  struct Case {
    std::string args, script, accepted;
  };
  const Case cases[] = {
      {"effect clock-wipe in.png out.png --progress 0.5 colums=3", "", "columns"},
      {"effect star-wipe in.png out.png --progress 0.5 turn=1", "", "takes none"},
      {"effect zoom in.png out.png --progress 0.5 apear=0", "", "appear"},
      {"run -", "new 8 8\ntransition clock-wipe colums=3\n", "frames"},
      {"run -", "new 8 8\nadd-text Hi sise=3\n", "size"},
      {"run -", "new 8 8\nadd-shape star fil=0\n", "fill"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args, c.script);
    EXPECT_EQ(r.code, 2) << c.args << " " << c.script << r.err;
    EXPECT_NE(r.err.find(c.accepted), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(File("out.png")));
  // The right names still work.
  EXPECT_EQ(Run("effect clock-wipe in.png out.png --progress 0.5 columns=3").code, 0);
}

}  // namespace
