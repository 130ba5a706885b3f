// Hands a page to the desktop's default browser. The previews take the
// interface so tests can record the request instead of opening anything.
#pragma once

#include <string>

class CPageLauncher {
 public:
  virtual ~CPageLauncher() = default;
  // Opens the page at path; false with reason when it could not be handed on.
  virtual bool OpenPage(const std::string& path, std::string* reason) = 0;
};

// Runs `xdg-open PATH` and waits for it to return (it starts the browser
// and exits).
class CXdgOpenLauncher : public CPageLauncher {
 public:
  bool OpenPage(const std::string& path, std::string* reason) override;
};
