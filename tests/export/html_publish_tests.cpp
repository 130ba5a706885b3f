// Published pages and previews: names, page texts, failures, private folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "export/html_publish.h"
#include "export/launcher.h"
#include "export_test_util.h"

namespace {

using export_test::ModelBuilder;
using export_test::ReadBytes;

std::string Text(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct RecordingLauncher : CPageLauncher {
  std::string opened;
  bool ok = true;
  bool OpenPage(const std::string& path, std::string* reason) override {
    opened = path;
    if (!ok && reason) *reason = "no browser";
    return ok;
  }
};

class PublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ModelBuilder b(doc_, 120, 80);
    const int o = b.AddObject(export_test::Solid(40, 30, 0x2040C0));
    b.AddFrame(10, {{o, {5, 5}}});
    b.AddFrame(10, {{o, {50, 30}}});
  }
  CLoopwrightApp app_;
  CScriptedPrompt prompt_;
  CLoopwrightDoc doc_{app_, prompt_};
  TempDir dir_;
};

TEST(PublishNames, LastExtensionOfTheFileNameOnly) {
  const struct { const char* page; bool flash; const char* output; const char* name; } cases[] = {
      {"/web/anim.page.htm", false, "/web/anim.page.gif", "anim.page.gif"},
      {"/web/anim", true, "/web/anim.swf", "anim.swf"},
      {"/srv/www.site/page.html", true, "/srv/www.site/page.swf", "page.swf"},
      {"page.htm", false, "page.gif", "page.gif"},
  };
  for (const auto& c : cases) {
    const CPublishedNames n = PublishedNames(c.page, c.flash);
    EXPECT_EQ(n.output, c.output) << c.page;
    EXPECT_EQ(n.nameInPage, c.name) << c.page;
  }
}

TEST(PublishNames, UrlsAndAttributesAreEscaped) {
  EXPECT_EQ(UrlEscape("my anim&1#?.gif", false), "my%20anim%261%23%3F.gif");
  EXPECT_EQ(UrlEscape("a/b", false), "a%2Fb");
  EXPECT_EQ(UrlEscape("\xE5\x8A\xA8.gif", false), "%E5%8A%A8.gif");
  EXPECT_EQ(FileUrl("/tmp/x y/Giftemp.gif"), "file:///tmp/x%20y/Giftemp.gif");
  const struct { const char* in; const char* out; } base64[] = {
      {"", ""}, {"F", "Rg=="}, {"FW", "Rlc="}, {"FWS", "RldT"}, {"FWS\x04\xFF", "RldTBP8="}};
  for (const auto& b : base64) EXPECT_EQ(Base64(b.in), b.out) << b.in;
  EXPECT_EQ(HtmlEscape("a\"b<c>&"), "a&quot;b&lt;c&gt;&amp;");
  const std::string movie = PublishedMoviePage("m.swf", 120, 80, "https://x.test/r.js?a=1&b=\"2\"");
  EXPECT_NE(movie.find("<script src=\"https://x.test/r.js?a=1&amp;b=&quot;2&quot;\"></script>"), std::string::npos);
  EXPECT_EQ(movie.find("clsid:"), std::string::npos);
}

TEST_F(PublishTest, PagesEmbedThePictureBesideThem) {
  for (bool flash : {false, true}) {
    const std::string page = dir_.File(flash ? "my anim&.v2.htm" : "my anim&.v1.htm");
    std::string message;
    ASSERT_TRUE(PublishAsHtml(doc_, page, flash, "player/ruffle.js", nullptr, &message)) << message;
    const std::string picture = dir_.File(flash ? "my anim&.v2.swf" : "my anim&.v1.gif");
    const std::string magic = Text(picture).substr(0, 3);
    EXPECT_EQ(magic, flash ? "FWS" : "GIF");
    const std::string text = Text(page);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos);
    const std::string src = flash ? "my%20anim%26.v2.swf" : "my%20anim%26.v1.gif";
    if (flash) {
      EXPECT_NE(text.find("<embed src=\"" + src + "\" type=\"application/x-shockwave-flash\" width=\"120\" height=\"80\""),
                std::string::npos)
          << text;
      EXPECT_NE(text.find("data=\"" + src + "\" width=\"120\" height=\"80\""), std::string::npos) << text;
      EXPECT_NE(text.find("<script src=\"player/ruffle.js\">"), std::string::npos);
      EXPECT_NE(text.find("autoplay: \"on\""), std::string::npos);
    } else {
      EXPECT_NE(text.find("<img src=\"" + src + "\" width=\"120\" height=\"80\">"), std::string::npos) << text;
    }
  }
}

TEST_F(PublishTest, FailuresNameTheFileAndKeepWhatWasWritten) {
  std::string message;
  // The picture cannot be written: its folder is missing.
  EXPECT_FALSE(PublishAsHtml(doc_, dir_.File("missing/page.htm"), false, {}, nullptr, &message));
  EXPECT_EQ(message.rfind("保存到 " + dir_.File("missing/page.gif") + " 文件失败!", 0), 0u) << message;
  // The page cannot be written (a folder has its name); the GIF stays.
  std::filesystem::create_directory(dir_.File("page.htm"));
  EXPECT_FALSE(PublishAsHtml(doc_, dir_.File("page.htm"), false, {}, nullptr, &message));
  EXPECT_EQ(message.rfind("无法打开指定的 " + dir_.File("page.htm") + " 文件!", 0), 0u) << message;
  EXPECT_EQ(Text(dir_.File("page.gif")).substr(0, 3), "GIF");
  // No page name, or a page that would overwrite its own picture: nothing is written.
  for (const std::string& bad : {std::string(), dir_.Path() + "/", dir_.File("anim.gif")}) {
    EXPECT_FALSE(PublishAsHtml(doc_, bad, false, {}, nullptr, &message)) << bad;
    EXPECT_EQ(message.rfind("无法打开指定的 " + bad + " 文件!", 0), 0u) << message;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("anim.gif")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File(".gif")));
}

TEST_F(PublishTest, PreviewWritesFixedNamesAndHandsThePageOn) {
  // The movie preview page is played in a browser by the browser test.
  RecordingLauncher launcher;
  std::string page;
  ASSERT_TRUE(PreviewInBrowser(doc_, false, {}, launcher, nullptr, nullptr, &page, dir_.Path()));
  EXPECT_EQ(page, dir_.File("Giftemp.htm"));
  EXPECT_EQ(launcher.opened, page);
  EXPECT_NE(Text(page).find("<img src=\"" + FileUrl(dir_.File("Giftemp.gif")) + "\""), std::string::npos);
  RecordingLauncher refusing;
  refusing.ok = false;
  std::string message;
  EXPECT_FALSE(PreviewInBrowser(doc_, false, {}, refusing, nullptr, &message, nullptr, dir_.Path()));
  EXPECT_NE(message.find("no browser"), std::string::npos);
}

TEST_F(PublishTest, PreviewFolderIsPrivate) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir_.Path().c_str(), 1);
  const std::string own = dir_.File("loopwright-" + std::to_string(::getuid()));
  ::mkdir(own.c_str(), 0777);
  ::chmod(own.c_str(), 0777);
  std::string reason;
  EXPECT_EQ(PreviewFolder(&reason), own) << reason;
  struct stat st {};
  ASSERT_EQ(::lstat(own.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A link planted in its place is refused.
  std::filesystem::remove(own);
  std::filesystem::create_directory(dir_.File("elsewhere"));
  std::filesystem::create_directory_symlink(dir_.File("elsewhere"), own);
  EXPECT_EQ(PreviewFolder(&reason), "");
  EXPECT_FALSE(reason.empty());
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

}  // namespace
