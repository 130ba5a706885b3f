#include "cli/effect_command.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "app/frame_render.h"
#include "cli/effect_names.h"
#include "cli/suggest.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"
#include "effects/TevImgEffect.h"
#include "companions/base/tr.h"

using namespace TevImgEffectLib;

namespace {

// What dst must hold before the effect draws.
enum class Start { Transparent, CopyOfSource };

struct Params {
  std::map<std::string, double> values;
  double Get(const std::string& name, double fallback) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
  }
  int Int(const std::string& name, int fallback) const { return int(Get(name, fallback)); }
  bool Bool(const std::string& name, bool fallback) const { return Get(name, fallback ? 1 : 0) != 0; }
};

struct EffectEntry {
  const char* name;
  const char* params;  // "name=default ..." for the help text
  Start start;
  std::function<std::unique_ptr<CGeneralEffect>(const Params&)> make;
};

const std::vector<EffectEntry>& Effects() {
  static const std::vector<EffectEntry> table = {
      {"clock-wipe", "turn=1 columns=1 rows=1", Start::Transparent,
       [](const Params& p) {
         return std::make_unique<CClockWipeEffect>(p.Bool("turn", true), p.Int("columns", 1), p.Int("rows", 1));
       }},
      {"star-wipe", "", Start::Transparent, [](const Params&) { return std::make_unique<CStarWipeEffect>(); }},
      {"iris-wipe", "", Start::Transparent, [](const Params&) { return std::make_unique<CIrisWipeEffect>(); }},
      {"lines-wipe", "angle=45 strips=1", Start::Transparent,
       [](const Params& p) { return std::make_unique<CLinesWipeEffect>(p.Int("angle", 45), p.Int("strips", 1)); }},
      {"arcs-wipe", "sectors=4", Start::Transparent,
       [](const Params& p) { return std::make_unique<CArcsWipeEffect>(p.Int("sectors", 4)); }},
      {"circles-wipe", "rings=4", Start::Transparent,
       [](const Params& p) { return std::make_unique<CCirclesWipeEffect>(p.Int("rings", 4)); }},
      {"diamond-wipe", "rings=4", Start::Transparent,
       [](const Params& p) { return std::make_unique<CDiamondWipeEffect>(p.Int("rings", 4)); }},
      {"rotate-rectangle", "reverse=1", Start::Transparent,
       [](const Params& p) { return std::make_unique<CRotateRectangleEffect>(p.Bool("reverse", true)); }},
      {"eye-open", "", Start::Transparent, [](const Params&) { return std::make_unique<CEyeOpenEffect>(); }},
      {"sweep-wipe", "angle=270", Start::Transparent,
       [](const Params& p) { return std::make_unique<CSweepWipeEffect>(p.Int("angle", 270)); }},
      {"random-wipe", "", Start::Transparent, [](const Params&) { return std::make_unique<CRandomWipeEffect>(); }},
      {"turn-page", "", Start::Transparent, [](const Params&) { return std::make_unique<CTurnPageEffect>(); }},
      {"gate-3d", "side=0", Start::Transparent,
       [](const Params& p) { return std::make_unique<CGate3DEffect>(p.Int("side", 0)); }},
      {"flip-3d", "vertical=1 reverse=0", Start::Transparent,
       [](const Params& p) {
         return std::make_unique<CFlip3DEffect>(p.Bool("vertical", true), p.Bool("reverse", false));
       }},
      {"rotate-3d", "variant=0", Start::Transparent,
       [](const Params& p) { return std::make_unique<CRotate3DEffect>(p.Int("variant", 0)); }},
      {"side-roll", "side=0 radius=0.1", Start::Transparent,
       [](const Params& p) { return std::make_unique<CSideRollEffect>(p.Int("side", 0), p.Get("radius", 0.1)); }},
      {"bars", "horizontal=1 width=0.05", Start::Transparent,
       [](const Params& p) { return std::make_unique<CBarsEffect>(p.Bool("horizontal", true), p.Get("width", 0.05)); }},
      {"narrow-bars", "variant=0", Start::Transparent,
       [](const Params& p) { return std::make_unique<CNarrowBarsEffect>(p.Int("variant", 0)); }},
      {"jalousie", "vertical=1 width=0.1", Start::Transparent,
       [](const Params& p) {
         return std::make_unique<CJalousieEffect>(p.Bool("vertical", true), p.Get("width", 0.1));
       }},
      {"row-spread", "variant=0 width=0.05", Start::Transparent,
       [](const Params& p) { return std::make_unique<CRowSpreadEffect>(p.Int("variant", 0), p.Get("width", 0.05)); }},
      {"quaters-slider", "", Start::Transparent,
       [](const Params&) { return std::make_unique<CQuatersSliderEffect>(); }},
      {"rotate", "variant=3", Start::Transparent,
       [](const Params& p) { return std::make_unique<CRotateEffect>(p.Int("variant", 3)); }},
      {"zoom", "mode=0 (0 in, 1 out) index=0 count=10 appear=1", Start::Transparent,
       [](const Params&) { return std::make_unique<CZoomEffect>(); }},
      {"mosaic", "block=10", Start::Transparent,
       [](const Params& p) { return std::make_unique<CMosaicEffect>(p.Int("block", 10)); }},
      {"direction-sense-mosaic", "block=10 direction=0", Start::Transparent,
       [](const Params& p) {
         return std::make_unique<CDirectionSenseMosaicEffect>(p.Int("block", 10), p.Int("direction", 0));
       }},
      {"thawing", "block=40", Start::Transparent,
       [](const Params& p) { return std::make_unique<CThawingEffect>(p.Int("block", 40)); }},
      {"wave", "amplitude=30", Start::Transparent,
       [](const Params& p) { return std::make_unique<CWaveEffect>(p.Int("amplitude", 30)); }},
      {"light", "angle=135 width=3 glow=10", Start::CopyOfSource,
       [](const Params& p) {
         return std::make_unique<CLightEffect>(p.Int("angle", 135), p.Int("width", 3), p.Int("glow", 10));
       }},
      {"motion-blur", "length=10", Start::Transparent,
       [](const Params&) { return std::make_unique<CMotionBlurEffect>(); }},
      {"gray", "", Start::Transparent, [](const Params&) { return std::make_unique<CGrayEffect>(); }},
      {"emboss", "(blends from transparent)", Start::Transparent,
       [](const Params&) { return std::make_unique<CEmbossEffect>(); }},
      {"brightness-contrast", "brightness=100 contrast=0", Start::CopyOfSource,
       [](const Params& p) {
         return std::make_unique<CBrightnessContrastEffect>(p.Int("brightness", 100), p.Int("contrast", 0));
       }},
      {"noise", "level=100", Start::CopyOfSource,
       [](const Params& p) { return std::make_unique<CNoiseEffect>(p.Int("level", 100)); }},
  };
  return table;
}

// The first picture of the file as a bottom-up 32-bit DIB, its 1-bit mask
// (if any) applied to the alpha.
DibPtr LoadPicture(const std::string& path, std::string* reason) {
  TevImageIO::CTevImageInfoPack pack;
  pack.path = path;
  if (TevImageIO::LoadImageW(pack, nullptr, nullptr) != 0 || !pack.picture) {
    *reason = pack.errorText.empty() ? "the file could not be decoded" : pack.errorText;
    return nullptr;
  }
  DibPtr picture(CDIB32::ConvertTo32BitsDIB(pack.picture.get()));
  if (!picture) {
    *reason = "the picture could not be converted";
    return nullptr;
  }
  const BITMAPINFOHEADER* mask = pack.mask.get();
  if (mask && mask->biBitCount == 1 && mask->biWidth == picture->biWidth &&
      DibHeight(mask) == DibHeight(picture.get())) {
    for (LONG y = 0; y < DibHeight(mask); ++y) {
      const BYTE* bits = DibRow(mask, y);
      BYTE* row = DibRow(picture.get(), y);
      for (LONG x = 0; x < mask->biWidth; ++x)
        if (!(bits[x / 8] & (0x80 >> (x % 8)))) row[x * 4 + 3] = 0;
    }
  }
  return picture;
}

// The parameter names of a help text "name=default ... (note)".
std::vector<std::string> ParameterNames(const char* params) {
  std::vector<std::string> names;
  std::istringstream words(params);
  for (std::string w; words >> w;) {
    const auto eq = w.find('=');
    if (eq != std::string::npos && eq > 0 && w[0] != '(') names.push_back(w.substr(0, eq));
  }
  return names;
}

}  // namespace

std::string EffectCommandHelp() {
  std::ostringstream s;
  for (const auto& e : Effects()) s << "  " << e.name << (*e.params ? "  " : "") << e.params << "\n";
  return s.str();
}

int RunEffectCommand(const std::string& effect, const std::string& in, const std::string& out, double progress,
                     const std::vector<std::string>& params) {
  const EffectEntry* entry = nullptr;
  const std::string known = EffectCommandName(effect);
  for (const auto& e : Effects())
    if (effect == e.name || known == e.name) entry = &e;
  if (!entry) {
    std::fprintf(stderr, "loopwright: unknown effect %s%s; the effects are:\n%s", effect.c_str(),
                 DidYouMean(effect, AllEffectNames()).c_str(), EffectCommandHelp().c_str());
    return 2;
  }
  Params p;
  for (const auto& kv : params) {
    const auto eq = kv.find('=');
    double value = 0;
    std::istringstream num(eq == std::string::npos ? "" : kv.substr(eq + 1));
    if (eq == std::string::npos || !(num >> value) || !num.eof()) {
      std::fprintf(stderr, "loopwright: parameter %s is not name=number\n", kv.c_str());
      return 2;
    }
    p.values[kv.substr(0, eq)] = value;
  }
  // Only the names the effect takes: a misspelt one would silently keep its default.
  const std::vector<std::string> accepted = ParameterNames(entry->params);
  for (const auto& [name, value] : p.values)
    if (std::find(accepted.begin(), accepted.end(), name) == accepted.end()) {
      std::string list;
      for (const std::string& a : accepted) list += (list.empty() ? "" : ", ") + a;
      std::fprintf(stderr, "loopwright: %s has no parameter %s; %s\n", effect.c_str(), name.c_str(),
                   list.empty() ? "it takes none" : ("its parameters are " + list).c_str());
      return 2;
    }
  std::string reason;
  DibPtr src = LoadPicture(in, &reason);
  if (!src) {
    std::fprintf(stderr, "loopwright: error: %s %s\n", TrFormat("Failed to load the file %s!", {in}).c_str(), reason.c_str());
    return 1;
  }
  auto object = entry->make(p);
  LONG w = src->biWidth, h = DibHeight(src.get());
  if (auto* roll = dynamic_cast<CSideRollEffect*>(object.get())) {
    const SIZE size = roll->CalcuDIBDimension(src.get(), progress);
    w = size.cx, h = size.cy;
  }
  const bool zoomOut = effect == "zoom" && p.Int("mode", 0) == 1;
  if (zoomOut) {
    const int i = p.Int("index", 0), n = p.Int("count", 10);
    const double s = p.Bool("appear", true) ? double(i + 1) / (n + 1) : (n ? 1 - double(i + 1) / n : 0);
    w = LONG(w * s + 0.5), h = LONG(h * s + 0.5);
  }
  if (w < 1 || h < 1) {
    std::fprintf(stderr, "loopwright: error: nothing to draw at progress %g\n", progress);
    return 1;
  }
  DibPtr dst(entry->start == Start::CopyOfSource ? DibCopy(src.get()) : DibAlloc(w, h, 32));
  if (!dst) {
    std::fprintf(stderr, "loopwright: error: out of memory\n");
    return 1;
  }
  if (auto* zoom = dynamic_cast<CZoomEffect*>(object.get())) {
    const int i = p.Int("index", 0), n = p.Int("count", 10);
    const bool appear = p.Bool("appear", true);
    if (zoomOut) zoom->CreateZoomOutBitmap(dst.get(), src.get(), i, n, appear);
    else zoom->CreateZoomInBitmap(dst.get(), src.get(), i, n, appear);
  } else if (auto* blur = dynamic_cast<CMotionBlurEffect*>(object.get())) {
    blur->BuildBlurImage(dst.get(), src.get(), p.Int("length", 10));
  } else {
    object->DoRender(dst.get(), src.get(), progress);
  }
  if (!WritePngPicture(dst.get(), out, &reason)) {
    std::fprintf(stderr, "loopwright: error: %s %s\n", TrFormat("Failed to save to the file %s!", {out}).c_str(), reason.c_str());
    return 1;
  }
  return 0;
}
