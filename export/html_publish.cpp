#include "export/html_publish.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "companions/imageio/codec_io.h"
#include "export/export_dispatch.h"
#include "export/launcher.h"
#include "export/swf_frame_prep.h"
#include "companions/base/tr.h"

const char* const kDefaultRuffleUrl = "https://unpkg.com/@ruffle-rs/ruffle";

namespace {

// Loads the player with its splash screen, unmute overlay and context menu
// off, playing at once, drawing through the 2D canvas.
std::string RuffleScripts(const std::string& ruffleUrl) {
  return "<script>window.RufflePlayer = window.RufflePlayer || {};\r\n"
         "window.RufflePlayer.config = {splashScreen: false, unmuteOverlay: \"hidden\", autoplay: \"on\", "
         "preferredRenderer: \"canvas\", contextMenu: \"off\"};</script>\r\n"
         "<script src=\"" +
         HtmlEscape(ruffleUrl) + "\"></script>\r\n";
}

std::string Size(int width, int height) {
  return "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
}

std::string MovieElement(const std::string& url, int width, int height) {
  const std::string src = HtmlEscape(url);
  return "<object type=\"application/x-shockwave-flash\" data=\"" + src + "\" " + Size(width, height) +
         ">\r\n<param name=\"movie\" value=\"" + src +
         "\">\r\n<param name=\"quality\" value=\"high\">\r\n<param name=\"wmode\" value=\"opaque\">\r\n"
         "<embed src=\"" +
         src + "\" type=\"application/x-shockwave-flash\" " + Size(width, height) +
         " quality=\"high\" wmode=\"opaque\">\r\n</object>\r\n";
}

std::string Head(const std::string& title, const std::string& scripts) {
  return "<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>" + title + "</title>\r\n" + scripts +
         "</head>\r\n<body bgcolor=\"#FFFFFF\">\r\n";
}

const char* const kTail = "</body>\r\n</html>\r\n";

bool WritePage(const std::string& path, const std::string& text, std::string& reason) {
  TevImageIO::CAtomicFileWriter writer(path);
  FILE* f = writer.Open(reason);
  if (!f) return false;
  if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
    reason = "cannot write " + path;
    return false;
  }
  return writer.Commit(reason);
}

std::string WithReason(const std::string& text, const std::string& reason) {
  return reason.empty() ? text : text + " (" + reason + ")";
}

bool WritePicture(CLoopwrightDoc& doc, const std::string& path, bool flash, CTevCommonProgress* progress,
                  std::string& reason) {
  if (!flash) return ExportAnimationFile(doc, path, progress, CExportSettings{}, &reason);
  CFlashSettings settings;
  settings.fps = FlashFrameRate(doc);
  return ExportFlashMovie(doc, path, settings, progress, &reason);
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    if (n > 1) v |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    if (n > 2) v |= std::uint8_t(bytes[i + 2]);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += n > 1 ? kDigits[(v >> 6) & 63] : '=';
    out += n > 2 ? kDigits[v & 63] : '=';
  }
  return out;
}

std::string UrlEscape(const std::string& text, bool keepSlash) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || (keepSlash && c == '/')) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FileUrl(const std::string& absolutePath) { return "file://" + UrlEscape(absolutePath, true); }

CPublishedNames PublishedNames(const std::string& pagePath, bool flash) {
  const std::size_t slash = pagePath.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = pagePath.rfind('.');
  std::string stem = pagePath;
  // Only a dot inside the file name starts an extension (not one in a folder name).
  if (dot != std::string::npos && dot >= nameStart) stem = pagePath.substr(0, dot);
  CPublishedNames names;
  names.output = stem + (flash ? ".swf" : ".gif");
  names.nameInPage = names.output.substr(nameStart);
  return names;
}

std::string PreviewImagePage(const std::string& url, int width, int height) {
  return Head("Tevalon Loopwright Preview Image", "") + "<img src=\"" + HtmlEscape(url) + "\" " +
         Size(width, height) + ">\r\n" + kTail;
}

std::string PreviewMoviePage(const std::string& url, int width, int height, const std::string& ruffleUrl) {
  return Head("Tevalon Loopwright Preview Flash Animation", RuffleScripts(ruffleUrl)) +
         MovieElement(url, width, height) + kTail;
}

std::string PublishedImagePage(const std::string& url, int width, int height) {
  return Head("Tevalon Loopwright", "") + "<img src=\"" + HtmlEscape(url) + "\" " + Size(width, height) + ">\r\n" +
         kTail;
}

std::string PublishedMoviePage(const std::string& url, int width, int height, const std::string& ruffleUrl) {
  return Head("Tevalon Loopwright", RuffleScripts(ruffleUrl)) + MovieElement(url, width, height) + kTail;
}

bool PublishAsHtml(CLoopwrightDoc& doc, const std::string& pagePath, bool flash, const std::string& ruffleUrl,
                   CTevCommonProgress* progress, std::string* message) {
  const CPublishedNames names = PublishedNames(pagePath, flash);
  const std::size_t slash = pagePath.rfind('/');
  // The page must have a name of its own, not the picture's.
  if (pagePath.empty() || slash + 1 == pagePath.size() || names.output == pagePath) {
    if (message)
      *message = WithReason(FormatMessage1(Tr("Cannot open the specified file %s!"), pagePath),
                            names.output == pagePath ? "the page would replace its own picture" : "no file name");
    return false;
  }
  std::string reason;
  if (!doc.CanExport()) reason = "the animation has no frames";
  if (!doc.CanExport() || !WritePicture(doc, names.output, flash, progress, reason)) {
    if (message) *message = WithReason(FormatMessage1(Tr("Failed to save to the file %s!"), names.output), reason);
    return false;
  }
  const std::string url = UrlEscape(names.nameInPage, false);
  const int w = doc.m_nWidth, h = doc.m_nHeight;
  const std::string page = flash ? PublishedMoviePage(url, w, h, ruffleUrl.empty() ? kDefaultRuffleUrl : ruffleUrl)
                                 : PublishedImagePage(url, w, h);
  if (!WritePage(pagePath, page, reason)) {
    if (message) *message = WithReason(FormatMessage1(Tr("Cannot open the specified file %s!"), pagePath), reason);
    return false;
  }
  return true;
}

std::string PreviewFolder(std::string* reason) {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string dir = base + "/loopwright-" + std::to_string(::getuid());
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    if (reason) *reason = "cannot create " + dir + ": " + std::strerror(errno);
    return {};
  }
  struct stat st {};
  // Refuse a folder (or link) someone else prepared there.
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
    if (reason) *reason = dir + " is not a private folder of this user";
    return {};
  }
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) {
    if (reason) *reason = "cannot make " + dir + " private";
    return {};
  }
  return dir;
}

bool PreviewInBrowser(CLoopwrightDoc& doc, bool flash, const std::string& ruffleUrl, CPageLauncher& launcher,
                      CTevCommonProgress* progress, std::string* message, std::string* pagePath,
                      const std::string& folder) {
  std::string reason;
  const std::string dir = folder.empty() ? PreviewFolder(&reason) : folder;
  const std::string picture = dir + (flash ? "/FlashTemp.swf" : "/Giftemp.gif");
  const std::string page = dir + (flash ? "/Flashtemp.htm" : "/Giftemp.htm");
  if (dir.empty() || !doc.CanExport() || !WritePicture(doc, picture, flash, progress, reason)) {
    if (reason.empty() && !doc.CanExport()) reason = "the animation has no frames";
    if (message) *message = WithReason(FormatMessage1(Tr("Failed to save to the file %s!"), picture), reason);
    return false;
  }
  // Browsers let no script fetch a file:// movie, so the player gets the
  // movie's bytes inside the page.
  std::string url = FileUrl(picture);
  if (flash) {
    const std::string movie = ReadWholeFile(picture);
    if (movie.empty()) {
      if (message) *message = FormatMessage1(Tr("Failed to save to the file %s!"), picture);
      return false;
    }
    url = "data:application/x-shockwave-flash;base64," + Base64(movie);
  }
  const int w = doc.m_nWidth, h = doc.m_nHeight;
  const std::string text = flash ? PreviewMoviePage(url, w, h, ruffleUrl.empty() ? kDefaultRuffleUrl : ruffleUrl)
                                 : PreviewImagePage(url, w, h);
  if (!WritePage(page, text, reason)) {
    if (message) *message = WithReason(FormatMessage1(Tr("Cannot open the specified file %s!"), page), reason);
    return false;
  }
  if (pagePath) *pagePath = page;
  if (!launcher.OpenPage(page, &reason)) {
    if (message) *message = WithReason("cannot open " + page + " in the browser", reason);
    return false;
  }
  return true;
}
