#include "cli/command_table_cli.h"

#include <CLI/CLI.hpp>

#include <sstream>

#include "cli/command_table.h"

namespace {

// The table's check of a value without the option's name, which the
// parser puts in front of it.
std::string ValueProblem(const OptionRow& o, const std::string& value) {
  std::string why = CheckOptionValue(o, value);
  const std::string name = IsPositional(o) ? std::string(o.name) : "--" + OptionLongName(o);
  if (why.compare(0, name.size() + 1, name + " ") == 0) why.erase(0, name.size() + 1);
  return why;
}

std::string Indented(const std::string& examples) {
  std::string out;
  std::stringstream in(examples);
  for (std::string line; std::getline(in, line);) out += "  " + line + "\n";
  return out;
}

}  // namespace

void AddTableOptions(CLI::App& app, const std::string& command, CTableValues& values) {
  SetTableDefaults(command, values);
  for (const OptionRow* o : OptionsOf(command)) {
    if (std::string(o->name) == "--version") continue;  // the parser's own version flag
    const std::string key = OptionLongName(*o);
    std::string help = o->help;
    if (o->type == OptionType::Colour) help += std::string(" (") + "#RRGGBB, #RGB, rgb(r,g,b), a CSS name or 0xBBGGRR" + ")";
    if (*o->def) help += " (default " + std::string(o->def) + ")";
    if (o->type == OptionType::Flag) {
      app.add_flag(o->name, values.flags[key], help);
      continue;
    }
    if (o->type == OptionType::OptionalInt) {
      app.add_flag(std::string(o->name) + "{-1}", values.text[key], help)
          ->check(CLI::Validator([o](std::string& v) { return v == "-1" ? std::string() : ValueProblem(*o, v); }, ""))
          ->type_name("[=" + std::string(o->range) + "]");
      continue;
    }
    CLI::Option* opt = o->repeatable ? app.add_option(o->name, values.lists[key], help)
                                     : app.add_option(o->name, values.text[key], help);
    if (o->type == OptionType::Integer || o->type == OptionType::Number || o->type == OptionType::Choice)
      opt->check(CLI::Validator([o](std::string& v) { return ValueProblem(*o, v); },
                                o->type == OptionType::Choice ? "{" + std::string(o->range) + "}" : o->range));
    opt->type_name(o->type == OptionType::Geometry && *o->range ? o->range : OptionTypeName(o->type));
    if (o->required) opt->required();
  }
  AddExamples(app);
}

std::string TableListing() {
  std::string out;
  for (const OptionRow& o : Options())
    out += std::string(*o.command ? o.command : "-") + "\t" + o.name + "\t" + OptionTypeName(o.type) + "\t" + o.range +
           "\t" + o.def + "\t" + o.help + "\n";
  return out;
}

void AddExamples(CLI::App& app) {
  const CommandRow* c = FindCommand(app.get_name());
  if (!c || !*c->examples || app.get_footer().find("Examples:") != std::string::npos) return;
  const std::string footer = app.get_footer();
  app.footer("Examples:\n" + Indented(c->examples) + (footer.empty() ? "" : "\n" + footer));
}

CLI::App* AddTableCommand(CLI::App& cli, const std::string& command, CTableValues& values) {
  const CommandRow* c = FindCommand(command);
  CLI::App* sub = cli.add_subcommand(command, c ? c->summary : "");
  AddTableOptions(*sub, command, values);
  return sub;
}

namespace {

std::string Escape(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::vector<std::string> OptionNames(const CLI::Option& o) {
  std::vector<std::string> names;
  for (const auto& s : o.get_snames()) names.push_back("-" + s);
  for (const auto& l : o.get_lnames()) names.push_back("--" + l);
  return names;
}

// Text inside a single-quoted zsh word given to _describe: a quote closes,
// escapes and reopens; a colon would end the name.
std::string ZshQuoted(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else if (c == ':') out += "\\:";
    else out += c;
  }
  return out;
}

std::string Join(const std::vector<std::string>& v, const std::string& sep) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : sep) + s;
  return out;
}

void ManOptions(std::ostringstream& out, const CLI::App& app) {
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_name() == "--help" || o->get_name() == "-h,--help") continue;
    const std::vector<std::string> names = OptionNames(*o);
    out << ".TP\n.B " << Escape(names.empty() ? o->get_name() : Join(names, ", "));
    if (!o->get_type_name().empty() && o->get_type_size() != 0 && !names.empty()) out << " " << Escape(o->get_type_name());
    out << "\n" << Escape(o->get_description()) << "\n";
  }
}

}  // namespace

std::string ManPage(const CLI::App& cli) {
  std::ostringstream out;
  out << ".TH LOOPWRIGHT 1\n.SH NAME\nloopwright \\- animated GIF editor, command-line tool\n"
      << ".SH SYNOPSIS\n.B loopwright\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR]\n"
      << ".SH DESCRIPTION\n" << Escape(cli.get_description())
      << ". Exit codes: 0 success, 1 a failure reported on standard error, 2 bad usage. "
      << "\\- stands for standard input or output wherever a file is named.\n"
      << ".SH OPTIONS\n";
  ManOptions(out, cli);
  out << ".SH COMMANDS\n";
  for (const CLI::App* sub : cli.get_subcommands({})) {
    out << ".SS " << Escape(sub->get_name()) << "\n" << Escape(sub->get_description()) << "\n";
    ManOptions(out, *sub);
    if (const CommandRow* c = FindCommand(sub->get_name()); c && *c->examples) {
      out << ".PP\nExamples:\n.nf\n";
      std::stringstream ex(c->examples);
      for (std::string line; std::getline(ex, line);) out << "  " << Escape(line) << "\n";
      out << ".fi\n";
    }
  }
  out << ".SH FILES\n$XDG_CONFIG_HOME/loopwright/loopwright.ini (~/.config/loopwright/loopwright.ini): the preferences, "
         "read by every run and changed only by \\fBloopwright prefs\\fR and the desktop window.\n";
  return out.str();
}

std::string CompletionScript(const CLI::App& cli, const std::string& shell) {
  std::vector<std::string> commands, global;
  for (const CLI::App* sub : cli.get_subcommands({})) commands.push_back(sub->get_name());
  for (const CLI::Option* o : cli.get_options())
    for (const auto& n : OptionNames(*o)) global.push_back(n);
  std::ostringstream out;
  if (shell == "zsh") {
    out << "#compdef loopwright\n_loopwright() {\n  local -a cmds opts\n  cmds=(";
    for (const CLI::App* sub : cli.get_subcommands({}))
      out << "'" << sub->get_name() << ":" << ZshQuoted(sub->get_description().substr(0, 60)) << "' ";
    out << ")\n  if (( CURRENT == 2 )); then _describe 'command' cmds; return; fi\n  case ${words[2]} in\n";
    for (const CLI::App* sub : cli.get_subcommands({})) {
      std::vector<std::string> names;
      for (const CLI::Option* o : sub->get_options())
        for (const auto& n : OptionNames(*o)) names.push_back(n);
      out << "    " << sub->get_name() << ") opts=(" << Join(names, " ") << ");;\n";
    }
    out << "  esac\n  if [[ $PREFIX == -* ]]; then compadd -a opts; else _files; fi\n}\n_loopwright \"$@\"\n";
    return out.str();
  }
  out << "# bash completion for loopwright\n_loopwright() {\n  local cur=${COMP_WORDS[COMP_CWORD]} cmd= i\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do case ${COMP_WORDS[i]} in -*) ;; *) cmd=${COMP_WORDS[i]}; break;; "
         "esac; done\n"
      << "  local opts\n  case $cmd in\n";
  for (const CLI::App* sub : cli.get_subcommands({})) {
    std::vector<std::string> names;
    for (const CLI::Option* o : sub->get_options())
      for (const auto& n : OptionNames(*o)) names.push_back(n);
    out << "    " << sub->get_name() << ") opts=\"" << Join(names, " ") << "\";;\n";
  }
  out << "    '') opts=\"" << Join(global, " ") << "\"\n"
      << "        if [[ $cur != -* ]]; then COMPREPLY=($(compgen -W \"" << Join(commands, " ")
      << "\" -- \"$cur\")); return; fi;;\n  esac\n"
      << "  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\")); "
         "else COMPREPLY=($(compgen -f -- \"$cur\")); fi\n}\ncomplete -o filenames -F _loopwright loopwright\n";
  return out.str();
}
