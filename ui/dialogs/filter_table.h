// The filter and adjustment commands the window offers: for each kind of
// the filter action, its menu name, its parameters with their ranges and
// how its pixel process is made from them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "imaging/pixel_process.h"

struct CFilterParam {
  const char* label;  // English; shown through Tr
  int lo, hi, def;
};

struct CFilterEntry {
  int kind;           // CUpdateDibsAction kind
  const char* name;   // English menu name; shown through Tr
  std::vector<CFilterParam> params;
  // The process for parameter values in params order (each within its range).
  std::function<std::unique_ptr<TevImageTransform::CTevInterfacePixelProcess>(const std::vector<int>&)> make;
};

// The thirteen filter kinds in kind order.
const std::vector<CFilterEntry>& FilterEntries();
// The entry of kind; null for a kind outside the table.
const CFilterEntry* FindFilterEntry(int kind);
