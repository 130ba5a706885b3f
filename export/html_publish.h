// Web pages that show the animation: the GIF or the Flash movie written next
// to a small UTF-8 page that embeds it. Movie pages load the Ruffle player
// script, which plays the movie in browsers without a Flash plug-in.
//
// Publish writes OUT.htm and OUT.gif (or OUT.swf) side by side and refers
// to the picture by its relative name. The previews write fixed names into
// a private temporary folder and hand the page to the browser.
#pragma once

#include <string>

#include "companions/base/progress.h"

class CLoopwrightDoc;
class CPageLauncher;

// The public address of the Ruffle player script.
extern const char* const kDefaultRuffleUrl;

// Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~ (and / when keepSlash).
std::string UrlEscape(const std::string& text, bool keepSlash);
// & < > " as character references.
std::string HtmlEscape(const std::string& text);
// Standard base64 with padding.
std::string Base64(const std::string& bytes);
// A file:// URL for an absolute path.
std::string FileUrl(const std::string& absolutePath);

// The picture next to a published page: the page path without the last
// extension of its file name, plus ".gif" or ".swf"; nameInPage is that
// file's name without folder.
struct CPublishedNames {
  std::string output;
  std::string nameInPage;
};
CPublishedNames PublishedNames(const std::string& pagePath, bool flash);

// Page texts. url is already a URL (relative name or file:// address).
std::string PreviewImagePage(const std::string& url, int width, int height);
std::string PreviewMoviePage(const std::string& url, int width, int height, const std::string& ruffleUrl);
std::string PublishedImagePage(const std::string& url, int width, int height);
std::string PublishedMoviePage(const std::string& url, int width, int height, const std::string& ruffleUrl);

// Publish as HTML: writes the GIF or movie, then the page. On failure
// message holds the user message ("保存到 %s 文件失败!" for the picture,
// "无法打开指定的 %s 文件!" for the page) with the reason; a picture written
// before a failed page stays.
bool PublishAsHtml(CLoopwrightDoc& doc, const std::string& pagePath, bool flash, const std::string& ruffleUrl,
                   CTevCommonProgress* progress, std::string* message);

// The private temporary folder of the previews ($TMPDIR or /tmp, then
// loopwright-UID, mode 0700, refused when another user owns it). Empty on failure.
std::string PreviewFolder(std::string* reason = nullptr);

// Preview in the browser: Giftemp.gif + Giftemp.htm, or FlashTemp.swf +
// Flashtemp.htm, in folder (default PreviewFolder()), then the page goes to
// launcher. The GIF page refers to the GIF by a file:// address; the movie
// page carries the movie as a data: address (players cannot fetch file://). pagePath (may be null) receives the page written.
bool PreviewInBrowser(CLoopwrightDoc& doc, bool flash, const std::string& ruffleUrl, CPageLauncher& launcher,
                      CTevCommonProgress* progress, std::string* message, std::string* pagePath = nullptr,
                      const std::string& folder = {});
