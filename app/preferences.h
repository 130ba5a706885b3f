// The user preferences: one 32-bit integer per key, section "Default" of the
// INI file $XDG_CONFIG_HOME/loopwright/loopwright.ini (~/.config/... when
// the variable is unset). Read once at start, written back at exit.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class CPreferences {
 public:
  // Every key at its default (the value before any file is read).
  CPreferences();

  // Reads the file; missing keys take their defaults and values out of
  // their valid range are replaced (not clamped). A missing or unreadable
  // file leaves every key at its checked default. Returns whether the file
  // was read.
  bool Load(const std::string& path);
  // Writes every key, in load order, through a temporary file renamed over
  // the target, so an interrupted write never leaves a half file.
  bool Save(const std::string& path) const;

  std::int32_t Get(std::string_view key) const;  // 0 for an unknown key
  // Stores the value after the same range check as on load; false for an
  // unknown key.
  bool Set(std::string_view key, std::int32_t value);

  // Key names in load order.
  static const std::vector<std::string>& Keys();
  // The default INI path from the environment.
  static std::string DefaultPath();
  // The value a key holds after the range check of value.
  static std::int32_t Checked(std::string_view key, std::int64_t value);
  // The valid range of a key (the whole 32-bit range for keys without a
  // rule) and its default; false for an unknown key.
  static bool Range(std::string_view key, std::int64_t& lo, std::int64_t& hi, std::int32_t* def = nullptr);
  // The value a missing key yields.
  static std::int32_t Default(std::string_view key);

 private:
  std::map<std::string, std::int32_t, std::less<>> m_values;
};
