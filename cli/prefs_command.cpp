#include "cli/prefs_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "app/preferences.h"
#include "cli/colours.h"
#include "cli/command_table_cli.h"
#include "cli/script_runner.h"
#include "cli/suggest.h"
#include "cli/text_format.h"
#include "companions/base/tr.h"

namespace {

std::string ShowValue(const std::string& key, std::int32_t v) {
  return IsColourPreference(key) ? ColourToHex(COLORREF(v)) : std::to_string(v);
}

int UnknownKey(const std::string& key) {
  std::fprintf(stderr, "loopwright: %s%s\n", Format(Tr("unknown preference '%s'"), key.c_str()).c_str(),
               DidYouMean(key, CPreferences::Keys()).c_str());
  return 2;
}

bool KnownKey(const std::string& key) {
  std::int64_t lo, hi;
  return CPreferences::Range(key, lo, hi);
}

// Parses and range-checks a value; prints the refusal with the range.
bool ParseValue(const std::string& key, const std::string& text, std::int32_t& value) {
  std::int64_t lo, hi;
  CPreferences::Range(key, lo, hi);
  if (IsColourPreference(key)) {
    COLORREF c;
    if (!ParseColour(text, c)) {
      std::fprintf(stderr, "loopwright: %s\n", Format(Tr("%s takes a colour: %s"), key.c_str(), kColourForms).c_str());
      return false;
    }
    value = std::int32_t(c);
    return true;
  }
  long long v;
  if (!ParseInt(text, v) || v < lo || v > hi) {
    std::fprintf(stderr, "loopwright: %s\n",
                 Format(Tr("%s takes %lld to %lld (got %s)"), key.c_str(), (long long)lo, (long long)hi, text.c_str())
                     .c_str());
    return false;
  }
  value = std::int32_t(v);
  return true;
}

int SaveOrFail(const CPreferences& prefs, const std::string& iniPath) {
  if (prefs.Save(iniPath)) return 0;
  std::fprintf(stderr, "loopwright: %s\n", Format(Tr("cannot write the preferences file %s"), iniPath.c_str()).c_str());
  return 1;
}

}  // namespace

bool IsColourPreference(const std::string& key) { return key.find("Color") != std::string::npos; }

CLI::App* AddPrefsCommand(CLI::App& cli, CPrefsCliOptions& o) { return AddTableCommand(cli, "prefs", o.table); }

int RunPrefsCommand(const CPrefsCliOptions& o, const std::string& iniPath, bool noConfig) {
  const std::vector<std::string> w = o.table.List("ACTION");
  const std::string action = w.empty() ? std::string() : w[0];
  CPreferences prefs;
  if (!noConfig) prefs.Load(iniPath);
  const bool writes = action == "set" || action == "reset";
  if (writes && noConfig) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("prefs set and reset need a preferences file (drop --no-config)"));
    return 2;
  }
  if (action == "list" && w.size() == 1) {
    for (const std::string& key : CPreferences::Keys()) std::cout << key << '=' << ShowValue(key, prefs.Get(key)) << '\n';
    return 0;
  }
  if (action == "get" && w.size() == 2) {
    if (!KnownKey(w[1])) return UnknownKey(w[1]);
    std::cout << ShowValue(w[1], prefs.Get(w[1])) << '\n';
    return 0;
  }
  if (action == "set" && w.size() == 3) {
    if (!KnownKey(w[1])) return UnknownKey(w[1]);
    std::int32_t value;
    if (!ParseValue(w[1], w[2], value)) return 2;
    prefs.Set(w[1], value);
    return SaveOrFail(prefs, iniPath);
  }
  if (action == "reset" && w.size() <= 2) {
    if (w.size() == 1) return SaveOrFail(CPreferences(), iniPath);
    std::int64_t lo, hi;
    std::int32_t def = 0;
    if (!CPreferences::Range(w[1], lo, hi, &def)) return UnknownKey(w[1]);
    prefs.Set(w[1], def);
    return SaveOrFail(prefs, iniPath);
  }
  std::fprintf(stderr, "loopwright: %s%s\n", Tr("usage: prefs list | get KEY | set KEY VALUE | reset [KEY]"),
               DidYouMean(action, {"list", "get", "set", "reset"}).c_str());
  return 2;
}
