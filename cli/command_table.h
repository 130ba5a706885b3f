// The command table: every command line command and the options described
// once (name, type, range, default, help), for the parser, --help, the man
// page and the shell completion. Plain data, free of any toolkit, so the
// window's dialogs can read it too.
#pragma once

#include <span>
#include <string>
#include <vector>

enum class OptionType {
  Flag,       // no value
  Integer,    // range "LO-HI"
  Text,       // free text
  Path,       // a file ("-" for standard input or output)
  Folder,     // a folder
  Choice,     // one of range "a|b|c"
  Colour,     // #RRGGBB, #RGB, rgb(r,g,b), a CSS name or 0xBBGGRR
  FrameList,  // 0-9,20,30-
  Geometry,   // command-specific text such as WxH or X,Y,W,H
};

struct CommandSpec {
  const char* name;
  const char* summary;
  const char* examples;  // one example per line, "" when none
};

struct OptionSpec {
  const char* command;  // "" for the options every command takes
  const char* name;     // "--long" (with ",-s" for a short form)
  OptionType type;
  const char* range;    // "" when any value goes
  const char* def;      // "" when there is no default
  const char* help;
  bool repeatable = false;
};

std::span<const CommandSpec> Commands();
std::span<const OptionSpec> Options();
const CommandSpec* FindCommand(const std::string& name);
// The table's options of one command ("" for the global ones).
std::vector<const OptionSpec*> OptionsOf(const std::string& command);
// The long name of an option without the leading dashes and the short form.
std::string OptionLongName(const OptionSpec& option);
// A type's name as help texts show it (INT, FILE, COLOUR, ...).
const char* OptionTypeName(OptionType type);
