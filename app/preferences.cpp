#include "app/preferences.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

struct PrefKey {
  const char* name;
  std::int64_t def;
  // Valid range; a value outside it is replaced by `otherwise`.
  bool checked;
  std::int64_t lo, hi, otherwise;
};

constexpr std::int64_t kMin = INT32_MIN, kMax = INT32_MAX;

// Load order, default, and the replacement rule of each key.
const PrefKey kPrefs[] = {
    {"PreviewPic", 1, false, 0, 0, 0},
    {"BlendMethod", 0, true, 0, 1, 0},
    {"LoopShorterAnimation", 1, false, 0, 0, 0},
    {"AutoPlay", 1, false, 0, 0, 0},
    {"JPGQuality", 85, true, 0, 100, 85},
    {"ShowPSDOpenFashionTip", 1, false, 0, 0, 0},
    {"PSDOpenFashion", 0, true, 0, 1, 0},
    {"UndoMaxTimes", 26, true, 1, kMax, 26},
    {"AspectWidth", 1, true, 1, kMax, 1},
    {"AspectHeight", 1, true, 1, kMax, 1},
    {"DefaultDelay", 20, true, 1, 300, 20},
    {"GenerateFramesCount", 4, true, 2, 40, 4},
    {"SourceFillColor", 0xFFFFFF, false, 0, 0, 0},
    {"DestinationFillColor", 0xFFFFFF, false, 0, 0, 0},
    {"Reversal", 0, false, 0, 0, 0},
    {"淡入淡出", 0, false, 0, 0, 0},
    {"DefaultBackgroundColor", 0xFFFFFF, false, 0, 0, 0},
    {"ConstructGlobalPalette", 1, false, 0, 0, 0},
    {"FlashEncode", 1, false, 0, 0, 0},
    {"FlashJPGQuality", 90, false, 0, 0, 0},
    {"CurrentFilter", 0, true, 1, 11, 1},
    {"HandlingDragedFile", 0, true, 0, 1, 0},
    {"ShowDragedFileTip", 1, false, 0, 0, 0},
    {"EnterScene", 1, false, 0, 0, 0},
    {"ExitScene", 1, false, 0, 0, 0},
    {"EnterEffect", 0, true, 0, 13, 0},
    {"ExitEffect", 0, true, 0, 13, 0},
    {"EnterFrames", 10, true, 1, 300, 10},
    {"ExitFrames", 10, true, 1, 300, 10},
    {"KeyFrameDelay", 50, true, 1, 32767, 50},
    {"FrameDelayTime", 10, true, 1, 32767, 10},
    {"PaintBackgndColor", 0xDAEAFD, false, 0, 0, 0},
    {"PaintForeColor", 0x0099FF, false, 0, 0, 0},
    {"ReserveOrigin", 0, false, 0, 0, 0},
    {"Similarity", 32, true, 0, 255, 32},
    {"EraseLineWidth", 8, true, 1, 50, 8},
    {"EraseRoundCap", 1, false, 0, 0, 0},
    {"EraseBeeline", 0, false, 0, 0, 0},
    {"EraseTransparence", 255, true, 0, 255, 255},
    {"PaintLineWidth", 8, true, 1, 50, 8},
    {"PaintRoundCap", 1, false, 0, 0, 0},
    {"PaintBeeline", 0, false, 0, 0, 0},
    {"LineOpacity", 0, false, 0, 0, 0},
    {"AllowPaintTransparence", 1, false, 0, 0, 0},
    {"PaintLineColor", 0x800000, false, 0, 0, 0},
    {"PaintShapeWidth", 2, true, 0, 100, 2},
    {"FillInsideShape", 1, false, 0, 0, 0},
    {"RoundRadius", 0, true, 0, 50, 0},
    {"FillShapeMode", 0, true, 0, 5, 0},
    {"ShapeOpacity", 0, true, 0, 22, 0},
    {"ShapeDashStyle", 0, true, 0, 255, 0},
    {"FloodOpacity", 0, true, 0, 255, 0},
    {"FloodAdjacentArea", 1, false, 0, 0, 0},
    {"FloodSimilarity", 32, true, 0, 100, 32},
    {"FloodTransparence", 1, false, 0, 0, 0},
    {"FloodSolidColor", 0x3BD17F, false, 0, 0, 0},
    {"NewAnimationWidth", 120, true, 1, 2000, 120},
    {"NewAnimationHeight", 120, true, 1, 2000, 120},
    {"InitTransparent", 0, false, 0, 0, 0},
    {"InitColor", 0xFFFFFF, false, 0, 0, 0},
    {"ThumbnailSizeOption", 1, true, 0, 5, 1},
    {"ShowDetails", 1, false, 0, 0, 0},
    {"ShowAllItems", 1, false, 0, 0, 0},
    {"ConnectedPixelsMagicWand", 1, false, 0, 0, 0},
    {"SelectionRoundCorner", 0, true, 0, 50, 0},
    {"EqualWidthAndHeight", 0, false, 0, 0, 0},
    {"EllipseSelectionEqualWidthAndHeight", 0, false, 0, 0, 0},
    {"PreserveRatio", 1, false, 0, 0, 0},
    {"ResizeFilter", 3, true, 0, 9, 3},
    {"ResizingReference", 0, true, 0, 1, 0},
    {"ReferencePos", 0, true, 0, 8, 0},
    {"HorzOffset", 0, true, -1000, 1000, 0},
    {"VertOffset", 0, true, -1000, 1000, 0},
    {"EffectEnterScene", 1, false, 0, 0, 0},
    {"RepeatCurrentFrame", 1, false, 0, 0, 0},
    {"HorizontalOffset", 1, true, 1, 100, 1},
    {"VerticalOffset", 1, true, 1, 100, 1},
    {"GeneratedFramesCount", 10, true, 1, 300, 10},
    // "Up to 32767": negative delays are meaningless, so they are replaced too.
    {"GeneratedFramesDelay", 20, true, 0, 32767, 20},
    {"GeneratedKeyFrameDelay", 50, true, 0, 32767, 50},
    {"EncodeJPGSubfile", 0, true, 0, 2, 0},
    {"EncodeJPGProgress", 1, false, 0, 0, 0},
};

const PrefKey* Find(std::string_view key) {
  for (const auto& p : kPrefs)
    if (key == p.name) return &p;
  return nullptr;
}

std::int32_t ApplyRule(const PrefKey& p, std::int64_t v) {
  if (p.checked && (v < p.lo || v > p.hi)) return std::int32_t(p.otherwise);
  if (v < kMin || v > kMax) return std::int32_t(p.def);
  return std::int32_t(v);
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Decimal (optionally signed) or 0x-prefixed hexadecimal; a registry DWORD
// written as hex above 0x7FFFFFFF wraps to the signed value it stores.
std::optional<std::int64_t> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  std::int64_t v;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    unsigned long long u = std::strtoull(text.c_str() + 2, &end, 16);
    if (u > 0xFFFFFFFFull) return std::nullopt;
    v = std::int32_t(std::uint32_t(u));
  } else {
    v = std::strtoll(text.c_str(), &end, 10);
  }
  if (errno || !end || *end) return std::nullopt;
  return v;
}

}  // namespace

CPreferences::CPreferences() {
  for (const auto& p : kPrefs) m_values[p.name] = ApplyRule(p, p.def);
}

const std::vector<std::string>& CPreferences::Keys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (const auto& p : kPrefs) k.emplace_back(p.name);
    return k;
  }();
  return keys;
}

std::int32_t CPreferences::Checked(std::string_view key, std::int64_t value) {
  const PrefKey* p = Find(key);
  return p ? ApplyRule(*p, value) : 0;
}

bool CPreferences::Range(std::string_view key, std::int64_t& lo, std::int64_t& hi, std::int32_t* def) {
  const PrefKey* p = Find(key);
  if (!p) return false;
  lo = p->checked ? p->lo : kMin;
  hi = p->checked ? p->hi : kMax;
  if (def) *def = ApplyRule(*p, p->def);
  return true;
}

std::int32_t CPreferences::Default(std::string_view key) {
  const PrefKey* p = Find(key);
  return p ? ApplyRule(*p, p->def) : 0;
}

std::string CPreferences::DefaultPath() {
  std::filesystem::path base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::filesystem::path(h) / ".config";
  } else {
    base = ".";
  }
  return (base / "loopwright" / "loopwright.ini").string();
}

bool CPreferences::Load(const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  std::map<std::string, std::string, std::less<>> found;
  std::string line, section;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trim(line.substr(1, line.size() - 2));
      continue;
    }
    if (section != "Default") continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    found[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  for (const auto& p : kPrefs) {
    std::int64_t v = p.def;
    if (auto it = found.find(p.name); it != found.end())
      if (auto n = ParseNumber(it->second)) v = *n;
    m_values[p.name] = ApplyRule(p, v);
  }
  return true;
}

bool CPreferences::Save(const std::string& path) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  const std::string tmp = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    if (!out) return false;
    out << "[Default]\n";
    for (const auto& p : kPrefs) out << p.name << '=' << m_values.at(p.name) << '\n';
    out.flush();
    if (!out) {
      fs::remove(tmp, ec);
      return false;
    }
  }
  fs::rename(tmp, target, ec);
  if (ec) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

std::int32_t CPreferences::Get(std::string_view key) const {
  auto it = m_values.find(key);
  return it == m_values.end() ? 0 : it->second;
}

bool CPreferences::Set(std::string_view key, std::int32_t value) {
  const PrefKey* p = Find(key);
  if (!p) return false;
  m_values[p->name] = ApplyRule(*p, value);
  return true;
}
