// The command table: every command line command and its options described
// once (name, type, range, default, help), for the parser, the script's
// export words, --help, the man page and the shell completion. Plain data,
// free of any toolkit, so the window's dialogs can read it too.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

enum class OptionType {
  Flag,        // no value
  Integer,     // range "LO-HI"
  Number,      // a decimal number, range "LO-HI"
  OptionalInt, // a flag that may carry an integer: --name or --name=N (range "LO-HI")
  Text,        // free text
  Path,        // a file ("-" for standard input or output)
  Folder,      // a folder
  Choice,      // one of range "a|b|c"
  Colour,      // #RRGGBB, #RGB, rgb(r,g,b), a CSS name or 0xBBGGRR
  FrameList,   // 0-9,20,30-
  Geometry,    // command-specific text such as WxH or X,Y,W,H (range shows the form)
};

struct CommandRow {
  const char* name;
  const char* summary;
  const char* examples;  // one example per line, "" when none
};

// Options are "--long" (with ",-s" for a short form); names without dashes
// are positional arguments, in the order they are listed.
struct OptionRow {
  const char* command;  // "" for the options every command takes
  const char* name;
  OptionType type;
  const char* range;    // "" when any value goes
  const char* def;      // "" when there is no default
  const char* help;
  bool repeatable = false;  // given several times (a positional: several words)
  bool required = false;    // positionals only
};

std::span<const CommandRow> Commands();
std::span<const OptionRow> Options();
const CommandRow* FindCommand(const std::string& name);
// The table's options of one command ("" for the global ones).
std::vector<const OptionRow*> OptionsOf(const std::string& command);
// The row of command's option by long name ("colors") or full name ("--colors").
const OptionRow* FindOption(const std::string& command, const std::string& name);
// The long name of an option without the leading dashes and the short form.
std::string OptionLongName(const OptionRow& option);
bool IsPositional(const OptionRow& option);
// A type's name as help texts show it (INT, FILE, COLOUR, ...).
const char* OptionTypeName(OptionType type);
// Whether value suits the option's type and range; "" when it does,
// otherwise the message ("--quality takes an integer from 1 to 100").
std::string CheckOptionValue(const OptionRow& option, const std::string& value);

// Option values by long name, as text, as the parser and the script's
// words hand them over.
struct CTableValues {
  std::map<std::string, std::string> text;
  std::map<std::string, std::vector<std::string>> lists;
  std::map<std::string, bool> flags;

  std::string Text(const std::string& name) const;
  bool Flag(const std::string& name) const;
  std::vector<std::string> List(const std::string& name) const;
  // The integer (or fallback when the option was not given or is empty).
  long long Int(const std::string& name, long long fallback) const;
  double Number(const std::string& name, double fallback) const;
};

// Sets every option with a default to it.
void SetTableDefaults(const std::string& command, CTableValues& values);
// Reads "--name value", "--name=value" and flags of command's options from
// words[from..]; words that are no option of the table are left in rest.
// False with message on a bad value, a missing value or an option in
// `refused` (options that do not apply where the words come from).
bool ParseTableWords(const std::string& command, const std::vector<std::string>& words, std::size_t from,
                     CTableValues& values, std::vector<std::string>& rest, std::string& message,
                     const std::vector<std::string>& refused = {});
