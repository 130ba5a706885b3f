// One name table for the effects, shared by `effect` (one picture) and the
// script's `transition` (generated frames): every effect has one name, and
// the names each command used before stay accepted as aliases.
#pragma once

#include <string>
#include <vector>

// The name `effect` knows for name (or an alias), "" when it has none.
std::string EffectCommandName(const std::string& name);
// The name `transition` knows for name (or an alias), "" when it has none.
std::string TransitionName(const std::string& name);
// Every name and alias, for suggestions.
std::vector<std::string> AllEffectNames();
