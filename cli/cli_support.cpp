#include "cli/cli_support.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "cli/command_table_cli.h"
#include "cli/suggest.h"
#include "cli/text_format.h"
#include "companions/base/tr.h"

namespace {

std::vector<std::string> LongOptionNames(const CLI::App& app) {
  std::vector<std::string> out;
  for (const CLI::Option* o : app.get_options())
    for (const auto& l : o->get_lnames()) out.push_back("--" + l);
  return out;
}

// Whether the global option takes a value (so the next word is not a command).
bool TakesValue(const CLI::App& cli, const std::string& word) {
  const CLI::Option* o = cli.get_option_no_throw(word);
  return o && o->get_expected_max() != 0;  // flags expect no value
}

}  // namespace

int ReportParseError(CLI::App& cli, const CLI::ParseError& error, int argc, char** argv) {
  if (error.get_exit_code() == 0) return cli.exit(error);
  std::vector<std::string> commands;
  for (const CLI::App* sub : cli.get_subcommands({})) commands.push_back(sub->get_name());
  const CLI::App* chosen = nullptr;
  std::string unknownCommand;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("-", 0) == 0) {
      if (word.find('=') == std::string::npos && TakesValue(cli, word)) ++i;
      continue;
    }
    for (const CLI::App* sub : cli.get_subcommands({}))
      if (sub->get_name() == word) chosen = sub;
    if (!chosen) unknownCommand = word;
    break;
  }
  if (!chosen && !unknownCommand.empty()) {
    std::fprintf(stderr, "loopwright: %s%s\n", Format(Tr("unknown command '%s'"), unknownCommand.c_str()).c_str(),
                 DidYouMean(unknownCommand, commands).c_str());
    std::fprintf(stderr, "%s\n", Tr("Run with --help for more information."));
    return 2;
  }
  std::vector<std::string> known = LongOptionNames(cli);
  if (chosen)
    for (const std::string& n : LongOptionNames(*chosen)) known.push_back(n);
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--") break;
    if (word.rfind("--", 0) != 0) continue;
    word = word.substr(0, word.find('='));
    if (std::find(known.begin(), known.end(), word) != known.end()) continue;
    std::fprintf(stderr, "loopwright: %s%s\n", Format(Tr("unknown option '%s'"), word.c_str()).c_str(),
                 DidYouMean(word, known).c_str());
    return 2;
  }
  cli.exit(error);
  return 2;
}

int PrintCompletion(const CLI::App& cli, const std::string& shell) {
  std::cout << CompletionScript(cli, shell.empty() ? "bash" : shell);
  return 0;
}

int MissingOutput(const char* command) {
  std::fprintf(stderr, "loopwright: %s\n", Format(Tr("%s needs an output: OUT or -o OUT"), command).c_str());
  return 2;
}
