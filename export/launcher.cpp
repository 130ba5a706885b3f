#include "export/launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

bool CXdgOpenLauncher::OpenPage(const std::string& path, std::string* reason) {
  std::string program = "xdg-open";
  std::string target = path;
  char* argv[] = {program.data(), target.data(), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  if (rc != 0) {
    if (reason) *reason = "cannot run xdg-open: " + std::string(std::strerror(rc));
    return false;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) {
      if (reason) *reason = "xdg-open did not finish";
      return false;
    }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    if (reason) *reason = "xdg-open could not open the page";
    return false;
  }
  return true;
}
