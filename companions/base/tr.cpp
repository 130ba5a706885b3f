#include "companions/base/tr.h"
#include "companions/base/tr_switch.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef LW_INSTALL_LOCALEDIR
#define LW_INSTALL_LOCALEDIR "/usr/local/share/locale"
#endif

namespace {

constexpr const char* kDomain = "loopwright";

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

// The catalogues lie next to the program: <prefix>/share/locale when
// installed (<prefix>/bin/loopwright), <build>/locale in the build tree
// (<build>/bin/loopwright, <build>/tests/*_tests). LOOPWRIGHT_LOCALEDIR
// overrides both.
std::string FindCatalogueDir() {
  if (const char* env = std::getenv("LOOPWRIGHT_LOCALEDIR"); env && *env) return env;
  const auto dir = ExecutableDir();
  if (!dir.empty()) {
    for (const char* rel : {"../share/locale", "../locale"}) {
      std::error_code ec;
      const auto candidate = (dir / rel).lexically_normal();
      if (std::filesystem::is_directory(candidate, ec)) return candidate.string();
    }
  }
  return LW_INSTALL_LOCALEDIR;
}

struct Catalogue {
  std::string dir;
  Catalogue() {
    InitMessageLanguage();
    dir = FindCatalogueDir();
    bindtextdomain(kDomain, dir.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
  }
};

const Catalogue& TheCatalogue() {
  static const Catalogue catalogue;  // bound once, thread-safe
  return catalogue;
}

bool IsCLocale(const char* name) { return !name || !std::strcmp(name, "C") || !std::strcmp(name, "POSIX"); }

}  // namespace

void InitMessageLanguage() {
  // gettext ignores LANGUAGE under the plain C locale, so a process that has
  // not chosen a locale yet takes the environment's. When the environment
  // names a locale that is not installed, C.UTF-8 still lets LANGUAGE work.
  // The catalogue is bound to UTF-8 output, so LC_CTYPE can stay as it is.
  if (!IsCLocale(std::setlocale(LC_MESSAGES, nullptr))) return;
  if (!std::setlocale(LC_MESSAGES, "")) std::setlocale(LC_MESSAGES, "C.UTF-8");
}

void MessageLanguageChanged() {
  // Setting the default domain (even to itself) makes gettext forget the
  // texts it found; only messages looked up afterwards see the switch.
  const std::string domain = textdomain(nullptr);
  textdomain(domain.c_str());
}

const std::string& MessageCatalogueDir() { return TheCatalogue().dir; }

const char* Tr(const char* msgid) {
  if (!msgid || !*msgid) return msgid;  // "" would return the catalogue header
  TheCatalogue();
  return dgettext(kDomain, msgid);
}

std::string TrFormat(const char* msgid, std::initializer_list<std::string> args) {
  const std::string format = Tr(msgid);
  std::string out;
  auto arg = args.begin();
  std::size_t from = 0;
  for (std::size_t at; (at = format.find("%s", from)) != std::string::npos && arg != args.end(); from = at + 2, ++arg)
    out += format.substr(from, at - from) + *arg;
  return out + format.substr(from);
}

std::string PlainText(const std::string& text) {
  std::string s = text;
  // "prompt\nmenu text": the half after a lone line feed is the command's text.
  if (const auto lf = s.find('\n'); lf != std::string::npos && s.find('\n', lf + 1) == std::string::npos &&
                                     (lf == 0 || s[lf - 1] != '\r'))
    s = s.substr(lf + 1);
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;  // CR LF -> LF
    if (c != '&') {
      out += c;
      continue;
    }
    if (i + 1 < s.size() && s[i + 1] == '&') {  // "&&" is a literal ampersand
      out += '&';
      ++i;
      continue;
    }
    // "(&U)" after a text disappears whole; a bare "&" just goes.
    if (!out.empty() && out.back() == '(' && i + 2 < s.size() && s[i + 2] == ')') {
      out.pop_back();
      i += 2;
      continue;
    }
  }
  return out;
}
