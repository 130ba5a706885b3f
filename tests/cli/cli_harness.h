// Runs the built loopwright tool in a private folder per test: its own
// config folder (XDG_CONFIG_HOME), the folder as working directory, stdin
// from a file, stdout and stderr captured, the exit code decoded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/dib_factories.h"
#include "app/frame_render.h"
#include "app/project_file.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"

struct RunResult {
  int code = -1;
  bool signalled = false;  // killed by a signal (the shell reports 128 + the signal)
  std::string out, err;
};

// Non-empty lines of a tool's output.
inline std::vector<std::string> OutputLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) out.push_back(l);
  return out;
}

// The JSON documents among a tool's output lines (what `info` prints).
inline std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> docs;
  for (const std::string& line : OutputLines(text))
    if (line[0] == '{') docs.push_back(nlohmann::json::parse(line));
  return docs;
}

using Rgb = std::array<int, 3>;
// The colour of pixel (x, y) of a 32-bit picture.
inline Rgb RgbAt(const BITMAPINFOHEADER* dib, int x, int y) {
  const BYTE* p = DibRow(dib, y) + 4 * x;
  return {p[2], p[1], p[0]};
}

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lw-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "config" / "loopwright");
  }
  void TearDown() override {
    ExpectProjectsOpen();
    std::filesystem::remove_all(dir_);
  }

  // No command may write a project our own reader refuses: every project
  // the tool left in the folder (whatever its name) must open.
  void ExpectProjectsOpen() const {
    RegisterDibFactories();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
      if (!entry.is_regular_file() || written_.count(entry.path().string())) continue;
      char magic[4] = {};
      std::ifstream f(entry.path(), std::ios::binary);
      if (!f.read(magic, 4) || std::memcmp(magic, "LWP ", 4) != 0) continue;
      CGifImage model;
      CProjectReadInfo info;
      EXPECT_TRUE(ReadProjectFile(model, entry.path().string(), nullptr, &info))
          << "the tool wrote a project it cannot open: " << entry.path() << " (" << info.reason << ")";
    }
  }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  // Files the test writes itself (damaged ones included) are not checked.
  void Write(const std::string& name, const std::string& bytes) const {
    written_.insert(File(name));
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  // A one-colour opaque picture written as PNG.
  void WritePicture(const std::string& name, int width, int height, COLORREF colour) const {
    DibPtr pic(CDIB32::CreateSimple32BitsDIB(width, height, colour, 255));
    written_.insert(File(name));
    ASSERT_TRUE(WritePngPicture(pic.get(), File(name)));
  }
  void SetIni(const std::string& body) const { Write("config/loopwright/loopwright.ini", "[Default]\n" + body); }

  // Runs the tool with args (shell words); stdin from input when given,
  // otherwise empty.
  RunResult Run(const std::string& args, const std::string& input = {}) const {
    // Sanitizer builds: fontconfig keeps its parsed configuration until exit.
    std::string cmd = "cd '" + dir_.string() + "' && XDG_CONFIG_HOME='" + File("config") +
                      "' LSAN_OPTIONS='suppressions=" LW_SOURCE_DIR "/tests/lsan.supp' '" LW_TOOL "' " + args;
    if (!input.empty()) {
      Write("stdin.txt", input);
      cmd += " < '" + File("stdin.txt") + "'";
    } else {
      cmd += " < /dev/null";
    }
    cmd += " 2> '" + File("stderr.txt") + "'";
    RunResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signalled = !WIFEXITED(status) || r.code > 128;
    r.err = Slurp(File("stderr.txt"));
    return r;
  }
  // Runs the tool with stdout and stderr on a pseudo-terminal (status
  // captions are drawn only on a terminal); out gets everything it wrote.
  // watch, when given, sees the output so far after each read and may
  // signal the tool's process (the shell execs the tool in its place).
  RunResult RunOnTerminal(const std::string& args,
                          const std::function<void(const std::string&, pid_t)>& watch = {}) const {
    const std::string cmd = "exec '" LW_TOOL "' " + args + " < /dev/null";
    const std::string config = File("config");
    RunResult r;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return r;
    if (pid == 0) {
      if (::chdir(dir_.c_str()) != 0) ::_exit(127);
      ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      ::setenv("LSAN_OPTIONS", "suppressions=" LW_SOURCE_DIR "/tests/lsan.supp", 1);
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::array<char, 4096> buf;
    for (;;) {
      pollfd fd{master, POLLIN, 0};
      if (::poll(&fd, 1, 60000) <= 0) break;
      const ssize_t n = ::read(master, buf.data(), buf.size());
      if (n <= 0) break;
      r.out.append(buf.data(), std::size_t(n));
      if (watch) watch(r.out, pid);
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signalled = !WIFEXITED(status) || r.code > 128;
    return r;
  }
  // The model of a file as `info --json` prints it; null on failure.
  nlohmann::json Info(const std::string& file) const {
    const RunResult r = Run("info --json '" + file + "'");
    EXPECT_EQ(r.code, 0) << file << ": " << r.err;
    return r.code == 0 ? nlohmann::json::parse(r.out) : nlohmann::json();
  }
  // Runs a script through `loopwright run -`.
  RunResult Script(const std::string& script) const { return Run("run -", script); }

  // A picture the tool wrote, as 32 bits; null when it cannot be read.
  DibPtr LoadPng(const std::string& name) const {
    TevImageIO::CTevImageInfoPack pack;
    pack.path = File(name);
    if (TevImageIO::LoadImageW(pack, nullptr, nullptr) != 0 || !pack.picture) return nullptr;
    return DibPtr(CDIB32::ConvertTo32BitsDIB(pack.picture.get()));
  }

  std::filesystem::path dir_;
  mutable std::set<std::string> written_;
};
