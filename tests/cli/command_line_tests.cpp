// The command line through the built tool: the command table behind the
// parser, --help, the man page and the completions; Ctrl-C in the middle of
// an export.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <algorithm>
#include <csignal>
#include <map>


namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) out.push_back(part);
  return out;
}

// The option names a --help text lists: "-o,--output FILE" gives -o and
// --output, "--yes,--no{false}" gives --yes and --no, a positional its name.
std::set<std::string> HelpNames(const std::string& help) {
  std::set<std::string> names;
  bool inList = false;
  for (const std::string& line : Split(help, '\n')) {
    if (line == "Options:" || line == "Positionals:") {
      inList = true;
      continue;
    }
    if (line.empty() || line[0] != ' ') {
      inList = false;
      continue;
    }
    if (!inList || line.size() < 3 || line[2] == ' ') continue;  // a wrapped description
    const std::string first = line.substr(2, line.find(' ', 2) - 2);
    for (std::string name : Split(first, ',')) {
      name = name.substr(0, name.find('{'));
      if (name != "-h" && name != "--help") names.insert(name);
    }
  }
  return names;
}

using CommandLineTest = CliFixture;

// Every option the parser takes is a row of the table, every row reaches
// the parser, and the man page and both completions list every command and
// every option of it.
TEST_F(CommandLineTest, TheTableDescribesEveryCommandAndOptionOnce) {
  const RunResult table = Run("man --table");
  ASSERT_EQ(table.code, 0) << table.err;
  std::map<std::string, std::set<std::string>> rows;  // command -> names
  for (const std::string& line : OutputLines(table.out)) {
    const std::vector<std::string> fields = Split(line, '\t');
    ASSERT_GE(fields.size(), 6u) << line;
    EXPECT_FALSE(fields[5].empty()) << "no help text: " << line;
    for (std::string name : Split(fields[1], ',')) rows[fields[0]].insert(name[0] == '!' ? name.substr(1) : name);
  }
  ASSERT_GT(rows.size(), 10u);
  const RunResult man = Run("man");
  const RunResult bash = Run("completion bash");
  const RunResult zsh = Run("completion zsh");
  ASSERT_EQ(man.code + bash.code + zsh.code, 0);
  // The bash script completes in a real shell: commands, then a command's options.
  Write("complete.bash", bash.out +
                             "COMP_WORDS=(loopwright conv); COMP_CWORD=1; _loopwright; echo \"${COMPREPLY[*]}\"\n"
                             "COMP_WORDS=(loopwright convert --rev); COMP_CWORD=2; _loopwright; echo \"${COMPREPLY[*]}\"\n");
  FILE* shell = ::popen(("bash '" + File("complete.bash") + "' 2>&1").c_str(), "r");
  ASSERT_TRUE(shell);
  std::string completed;
  for (int ch; (ch = std::fgetc(shell)) != EOF;) completed += char(ch);
  EXPECT_EQ(::pclose(shell), 0) << completed;
  EXPECT_EQ(completed, "convert\n--reverse\n");
  // zsh: the command descriptions are quoted words even with quotes inside.
  const std::size_t cmds = zsh.out.find("cmds=(");
  ASSERT_NE(cmds, std::string::npos);
  std::string describe = zsh.out.substr(cmds, zsh.out.find('\n', cmds) - cmds);
  for (std::size_t at; (at = describe.find("\\'")) != std::string::npos;) describe.erase(at, 2);
  EXPECT_EQ(std::count(describe.begin(), describe.end(), '\'') % 2, 0) << describe;
  for (const auto& [command, names] : rows) {
    const RunResult help = Run(command == "-" ? "--help" : command + " --help");
    ASSERT_EQ(help.code, 0) << command;
    const std::set<std::string> parsed = HelpNames(help.out);
    EXPECT_EQ(parsed, names) << "command " << command << ":\n" << help.out;
    if (command == "-") continue;
    EXPECT_NE(man.out.find(".SS " + command + "\n"), std::string::npos) << command;
    // The completion line of the command: "    convert) opts=..." (bash) and the zsh one.
    const auto line = [&](const std::string& script) {
      const std::size_t at = script.find("    " + command + ") opts=");
      std::string words = at == std::string::npos ? std::string() : script.substr(at, script.find('\n', at) - at);
      for (char& c : words)
        if (c == '"' || c == '(' || c == ')' || c == ';' || c == '=') c = ' ';
      return words;
    };
    for (const std::string& name : names) {
      if (name[0] != '-') continue;  // positionals are not completed
      std::string escaped;
      for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(man.out.find(escaped), std::string::npos) << command << " " << name;
      EXPECT_NE((line(bash.out) + " ").find(" " + name + " "), std::string::npos) << command << " " << name;
      EXPECT_NE((line(zsh.out) + " ").find(" " + name + " "), std::string::npos) << command << " " << name;
    }
  }
}

// Ctrl-C during an export: the tool stops, says so, exits 130 and leaves
// the target as it was.
TEST_F(CommandLineTest, InterruptDuringExportLeavesTheTargetAsItWas) {
  DibPtr noise(CDIB32::CreateSimple32BitsDIB(500, 500, 0, 255));
  unsigned seed = 12345;
  for (int y = 0; y < 500; ++y) {
    BYTE* p = DibRow(noise.get(), y);
    for (int x = 0; x < 500 * 4; ++x) {
      seed = seed * 1103515245u + 12345u;
      if (x % 4 != 3) p[x] = BYTE(seed >> 16);
    }
  }
  ASSERT_TRUE(WritePngPicture(noise.get(), File("noise.png")));
  written_.insert(File("noise.png"));
  Write("out.gif", "the old target");

  std::string args = "--no-config convert";
  for (int i = 0; i < 24; ++i) args += " noise.png";
  // The caption the export shows first on a terminal: the export has begun.
  bool sent = false;
  const RunResult r = RunOnTerminal(args + " --colors 256 -o out.gif", [&sent](const std::string& seen, pid_t pid) {
    if (!sent && seen.find("Writing file") != std::string::npos) {
      ::kill(pid, SIGINT);
      sent = true;
    }
  });
  ASSERT_TRUE(sent) << r.out;
  EXPECT_EQ(r.code, 130) << "killed instead of stopping cleanly: " << r.out;
  EXPECT_NE(r.out.find("interrupted"), std::string::npos) << r.out;
  EXPECT_EQ(Slurp(File("out.gif")), "the old target");
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_TRUE(e.path().filename() == "out.gif" || e.path().filename() == "noise.png" ||
                e.path().filename() == "config")
        << "left behind: " << e.path();
}

}  // namespace
