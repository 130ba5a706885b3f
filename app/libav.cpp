#include "app/libav.h"

#include <dlfcn.h>

namespace {

struct CLoaded {
  CLibAv table;
  std::string error;  // empty when every function was found
};

const CLoaded& Loaded() {
  static const CLoaded loaded = [] {
    CLoaded out;
    // The major versions the program was built against: a library of another
    // major version has another interface.
    const char* const names[] = {
        "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
        "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
        "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
        "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
        "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    };
    for (const char* name : names) {
      // Global, so that one lookup finds a function in whichever library has it.
      if (!::dlopen(name, RTLD_NOW | RTLD_GLOBAL)) {
        const char* why = ::dlerror();
        out.error = std::string("the video libraries cannot be loaded (") + (why ? why : name) + ")";
        return out;
      }
    }
#define LW_LIBAV_LOOKUP(name)                                                            \
  out.table.name = reinterpret_cast<decltype(out.table.name)>(::dlsym(RTLD_DEFAULT, #name)); \
  if (!out.table.name && out.error.empty()) out.error = "the video libraries lack " #name;
    LW_LIBAV_FUNCTIONS(LW_LIBAV_LOOKUP)
#undef LW_LIBAV_LOOKUP
    // Their messages would only repeat the failures the callers report.
    if (out.error.empty()) out.table.av_log_set_level(AV_LOG_QUIET);
    return out;
  }();
  return loaded;
}

}  // namespace

bool LoadLibAv(std::string* reason) {
  const CLoaded& loaded = Loaded();
  if (!loaded.error.empty() && reason) *reason = loaded.error;
  return loaded.error.empty();
}

const CLibAv& Av() { return Loaded().table; }
