#include "cli/suggest.h"

#include <algorithm>
#include <cctype>

#include "companions/base/tr.h"

namespace {

std::string Lower(const std::string& s) {
  std::string out;
  for (char c : s) out += char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Levenshtein distance with adjacent transpositions counted as one edit.
std::size_t Distance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i)
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[n][m];
}

}  // namespace

std::string ClosestName(const std::string& word, const std::vector<std::string>& candidates) {
  if (word.empty()) return {};
  const std::string w = Lower(word);
  std::string best;
  std::size_t bestDistance = std::string::npos;
  std::vector<std::string> prefixed;
  for (const std::string& c : candidates) {
    const std::string lc = Lower(c);
    if (lc.compare(0, w.size(), w) == 0 && w.size() >= 2) prefixed.push_back(c);
    const std::size_t d = Distance(w, lc);
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  // One edit for short names, about a third of the letters for longer ones.
  const std::size_t allowed = std::max<std::size_t>(1, (w.size() + 1) / 3);
  if (bestDistance > 0 && bestDistance <= allowed) return best;
  if (prefixed.size() == 1) return prefixed.front();
  return {};
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string name = ClosestName(word, candidates);
  if (name.empty()) return {};
  std::string text = Tr("did you mean '%s'?");
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return " (" + text + ")";
}
