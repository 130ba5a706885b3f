// Published pages in headless Chromium with Ruffle, served over local HTTP:
// the screenshot must show each animation's first frame. Skipped without
// Chromium, Ruffle (scripts/install-ruffle.sh) or Python with PIL.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "export/html_publish.h"
#include "export/launcher.h"
#include "export_test_util.h"
#include "swf_test_util.h"

namespace {

using export_test::Gradient;
using export_test::ModelBuilder;
using export_test::Solid;

std::string FindChromium() {
  for (const char* c : {"/usr/bin/chromium-headless-shell", "/usr/bin/chromium"})
    if (::access(c, X_OK) == 0) return std::string(c) + (std::string(c).find("shell") == std::string::npos ? " --headless" : "");
  return {};
}

std::string FindRuffle() {
  const char* env = std::getenv("LW_RUFFLE_DIR");
  const std::string dir = env && *env ? env : LW_SOURCE_DIR "/build-deps/ruffle/node_modules/@ruffle-rs/ruffle";
  return ::access((dir + "/ruffle.js").c_str(), R_OK) == 0 ? dir : std::string();
}

// python3 -m http.server on 127.0.0.1 serving dir, stopped with the object.
class LocalServer {
 public:
  explicit LocalServer(const std::string& dir) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      if (s >= 0) ::close(s);
      return;
    }
    port_ = ntohs(a.sin_port);
    ::close(s);
    pid_ = ::fork();
    if (pid_ == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      const std::string port = std::to_string(port_);
      ::execl(swf_test::kPython, "python3", "-m", "http.server", port.c_str(), "--bind", "127.0.0.1", "--directory",
              dir.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 100 && !Ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~LocalServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Ready() const {
    return pid_ > 0 && std::system(("timeout 2 bash -c '</dev/tcp/127.0.0.1/" + std::to_string(port_) + "' 2>/dev/null").c_str()) == 0;
  }
  std::string Url(const std::string& page) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + page; }

 private:
  int port_ = 0;
  pid_t pid_ = -1;
};

struct Published {
  std::string page;
  std::vector<std::string> expected;  // the frames the page may show
  LONG w, h;
  bool flash;
};

TEST(BrowserPages, FirstFrameShowsInChromiumWithRuffle) {
  const std::string chromium = FindChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium-headless-shell (or chromium) is not installed";
  const std::string ruffle = FindRuffle();
  if (ruffle.empty()) GTEST_SKIP() << "Ruffle is not installed (scripts/install-ruffle.sh, or set LW_RUFFLE_DIR)";
  if (!swf_test::HavePython()) GTEST_SKIP() << "needs /usr/bin/python3 with PIL";

  TempDir dir;
  std::filesystem::create_directory_symlink(ruffle, dir.File("ruffle"));
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  std::vector<Published> pages;
  // name "preview": the Flash preview page (the movie inside the page) in place of a published one.
  auto publish = [&](LONG w, LONG h, bool flash, const std::string& name, auto build) {
    CLoopwrightDoc doc(app, prompt);
    ModelBuilder b(doc, w, h);
    build(b);
    std::string message, page = name + ".htm";
    if (name == "preview") {
      struct : CPageLauncher {
        bool OpenPage(const std::string&, std::string*) override { return true; }
      } noBrowser;
      ASSERT_TRUE(PreviewInBrowser(doc, true, "ruffle/ruffle.js", noBrowser, nullptr, &message, nullptr, dir.Path()))
          << message;
      page = "Flashtemp.htm";
    } else {
      ASSERT_TRUE(PublishAsHtml(doc, dir.File(page), flash, "ruffle/ruffle.js", nullptr, &message)) << message;
    }
    Published p{page, {}, w, h, flash};
    for (int i = 0; i < doc.GetFrameCount(); ++i) {
      DibPtr frame = RenderFrame(doc, *doc.GetFrame(i));
      p.expected.push_back(dir.File(name + " " + std::to_string(i) + ".png"));
      ASSERT_TRUE(frame && WritePngPicture(frame.get(), p.expected.back()));
    }
    pages.push_back(p);
  };
  // Two frames, the second adds a square; the movie loops at 1 frame a
  // second, so the screenshot may catch either frame: it must show one.
  auto sprite = [](ModelBuilder& b) {
    const int g = b.AddObject(Gradient(120, 70));
    const int dot = b.AddObject(Solid(12, 12, 0x2020D0));
    const int patch = b.AddObject(Solid(20, 20, 0x00C000));
    b.AddFrame(500, {{g, {30, 20}}, {dot, {4, 4}}});
    b.AddFrame(500, {{g, {30, 20}}, {dot, {4, 4}}, {patch, {60, 40}}});
  };
  auto big = [](ModelBuilder& b) {
    const LONG w = b.model.m_nWidth, h = b.model.m_nHeight;
    const int back = b.AddObject(Solid(w, h, 0x60A0E0));
    const int g = b.AddObject(Gradient(60, 40));
    b.AddFrame(500, {{back, {0, 0}}, {g, {w - 70, h - 50}}, {g, {5, 5}}});
  };
  publish(160, 100, false, "gif page", sprite);
  publish(160, 100, true, "movie page", sprite);
  publish(160, 100, true, "preview", sprite);
  publish(1000, 700, true, "stage 1000", big);
  publish(4000, 300, true, "stage 4000", big);

  // One page frames them all: one browser run.
  std::ofstream index(dir.File("index.htm"));
  index << "<html><head><meta charset=\"utf-8\"></head><body style=\"margin:0\">\n";
  std::vector<std::string> compareArgs;
  int top = 0, width = 0;
  for (const auto& p : pages) {
    index << "<iframe src=\"" << UrlEscape(p.page, false) << "\" style=\"position:absolute;left:0;top:" << top
          << "px;border:0\" width=\"" << p.w + 16 << "\" height=\"" << p.h + 16 << "\" scrolling=\"no\"></iframe>\n";
    for (const auto& e : p.expected) compareArgs.push_back("'" + e + "' 8 " + std::to_string(top + 8));
    top += int(p.h) + 16;
    width = std::max(width, int(p.w) + 16);
  }
  index << "</body></html>\n";
  index.close();

  LocalServer server(dir.Path());
  ASSERT_TRUE(server.Ready()) << "the local HTTP server did not start";
  const std::string shot = dir.File("shot.png");
  const std::string cmd = "timeout 60 " + chromium +
                          " --no-sandbox --disable-gpu --disable-background-networking --hide-scrollbars --window-size=" +
                          std::to_string(width) + "," + std::to_string(top) +
                          " --virtual-time-budget=8000 --screenshot='" + shot + "' '" + server.Url("index.htm") +
                          "' > /dev/null 2>&1";
  std::string args;
  for (const auto& a : compareArgs) args += " " + a;
  const std::string compare =
      std::string(swf_test::kPython) + " '" LW_SOURCE_DIR "/tests/export/screenshot_compare.py' '" + shot + "'" + args;
  // Per page, the smallest mean difference from one of its frames.
  std::vector<double> best;
  // On a loaded machine the player may not have drawn within the time
  // budget; one more run decides.
  for (int attempt = 0; attempt < 2; ++attempt) {
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    FILE* p = ::popen(compare.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    ::pclose(p);
    const auto results = nlohmann::json::parse(out, nullptr, false);
    ASSERT_TRUE(results.is_array() && results.size() == compareArgs.size()) << out;
    best.assign(pages.size(), 1e9);
    bool allShown = true;
    std::size_t k = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      for (std::size_t f = 0; f < pages[i].expected.size(); ++f, ++k) {
        const auto& r = results[k];
        ASSERT_FALSE(r.contains("error")) << pages[i].page << ": " << r.dump();
        best[i] = std::min(best[i], r["mean"].get<double>());
      }
      allShown = allShown && best[i] < (pages[i].flash ? 1.0 : 4.0);
    }
    if (allShown) break;
  }
  // The GIF holds at most 256 colours of the gradient; the movies are lossless.
  for (std::size_t i = 0; i < pages.size(); ++i) EXPECT_LT(best[i], pages[i].flash ? 1.0 : 4.0) << pages[i].page;
}

}  // namespace
