// The script command `filter NAME [key=value ...]`: runs a pixel process of
// the filter family on the pictures of the current frame's selected objects
// (inside the document's pixel selection when there is one), recorded as
// one undoable action. The editor's thirteen filter commands keep their
// own undo texts; the other filters read "Undo <name>". Analyses (colour
// count, key colour, visible bounds) print one line per picture.
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <vector>

#include "cli/console_prompt.h"
#include "cli/script_runner.h"
#include "cli/colours.h"
#include "cli/suggest.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/filter_actions.h"
#include "tools/edit_view.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

using ProcessPtr = std::unique_ptr<CTevInterfacePixelProcess>;

// Typed access to the key=value words; remembers the first error and which
// keys were read, so unknown keys can be refused.
class CFilterParams {
 public:
  CFilterParams(std::map<std::string, std::string> values, CLoopwrightDoc& doc)
      : m_values(std::move(values)), m_doc(doc) {}

  int Int(const std::string& key, int def, int lo, int hi) {
    const std::string* v = Take(key);
    if (!v) return def;
    long long n;
    if (!ParseInt(*v, n) || n < lo || n > hi) Error(key + " must be " + std::to_string(lo) + " to " + std::to_string(hi));
    return int(std::clamp<long long>(n, lo, hi));
  }
  double Real(const std::string& key, double def) {
    const std::string* v = Take(key);
    if (!v) return def;
    char* end = nullptr;
    const double d = std::strtod(v->c_str(), &end);
    if (v->empty() || *end || !std::isfinite(d)) Error(key + " must be a number");
    return std::isfinite(d) ? d : def;
  }
  bool Bool(const std::string& key, bool def) {
    const std::string* v = Take(key);
    if (!v) return def;
    if (*v == "1" || *v == "true" || *v == "yes") return true;
    if (*v == "0" || *v == "false" || *v == "no") return false;
    Error(key + " must be 0 or 1");
    return def;
  }
  // 0xBBGGRR (or decimal) into B, G, R; alpha from the key's companion.
  RGBQUAD Colour(const std::string& key, COLORREF def, int alpha = 0) {
    COLORREF c = def;
    if (const std::string* v = Take(key)) {
      if (!ParseColour(*v, c)) Error(key + " must be a colour: " + kColourForms);
    }
    return RGBQUAD{BYTE((c >> 16) & 0xFF), BYTE((c >> 8) & 0xFF), BYTE(c & 0xFF), BYTE(alpha)};
  }
  std::vector<int> Ints(const std::string& key, std::size_t count, std::vector<int> def) {
    const std::string* v = Take(key);
    if (!v) return def;
    std::vector<int> out;
    std::stringstream s(*v);
    std::string item;
    while (std::getline(s, item, ',')) {
      long long n;
      if (!ParseInt(item, n) || n < -kMaxDibDimension || n > kMaxDibDimension) break;
      out.push_back(int(n));
    }
    if ((count && out.size() != count) || out.empty()) {
      Error(key + (count ? " needs " + std::to_string(count) + " comma-separated integers"
                         : " needs comma-separated integers"));
      return def;
    }
    return out;
  }
  POINT Point(const std::string& key, POINT def) {
    auto v = Ints(key, 2, {int(def.x), int(def.y)});
    return POINT{v[0], v[1]};
  }
  RECT Rect(const std::string& key, RECT def) {
    auto v = Ints(key, 4, {int(def.left), int(def.top), int(def.right), int(def.bottom)});
    return RECT{v[0], v[1], v[2], v[3]};
  }
  IMAGE_CHANNEL Channels(const std::string& key = "channels") {
    const std::string* v = Take(key);
    if (!v) return CHANNEL_RGB;
    int bits = 0;
    for (char c : *v) {
      if (c == 'r') bits |= CHANNEL_RED;
      else if (c == 'g') bits |= CHANNEL_GREEN;
      else if (c == 'b') bits |= CHANNEL_BLUE;
      else Error(key + " takes the letters r, g and b");
    }
    return IMAGE_CHANNEL(bits);
  }
  // Another object's picture (by object index), kept alive by this object.
  const CTevObjImage* ObjectPicture(const std::string& key, bool gray8) {
    const int i = Int(key, -1, -1, kMaxDibDimension);
    if (i < 0 || i >= m_doc.GetObjectCount()) {
      Error(key + " must name an object");
      return nullptr;
    }
    auto img = std::make_unique<CTevObjImage>();
    if (!img->Create(m_doc.m_objects[std::size_t(i)]->GetImage())) return nullptr;
    if (gray8) {
      CTevPixelConvertTo8BitGray gray;
      img->SinglePixelProcessProc(gray, nullptr);
    }
    m_images.push_back(std::move(img));
    return m_images.back().get();
  }
  std::string TakeString(const std::string& key) {
    const std::string* v = Take(key);
    return v ? *v : std::string();
  }

  // The first key nobody read, or empty.
  std::string Unused() const {
    for (const auto& kv : m_values)
      if (!m_used.count(kv.first)) return kv.first;
    return {};
  }
  const std::string& ErrorText() const { return m_error; }

 private:
  const std::string* Take(const std::string& key) {
    m_used.insert(key);
    auto it = m_values.find(key);
    return it == m_values.end() ? nullptr : &it->second;
  }
  void Error(const std::string& text) {
    if (m_error.empty()) m_error = text;
  }
  std::map<std::string, std::string> m_values;
  std::set<std::string> m_used;
  std::string m_error;
  CLoopwrightDoc& m_doc;
  std::vector<std::unique_ptr<CTevObjImage>> m_images;
};

// Replaces the picture by one of its channels as a grey picture.
class CChannelPicture : public CTevPixelWholeImageBase {
 public:
  explicit CChannelPicture(int channel) : m_channel(channel) {}
  bool ValidateColorBits(const CTevObjImage* image) override {
    return image && image->IsValidImage() && image->ColorBits() == 32;
  }
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override {
    CTevObjImage planes[3];
    CTevPixelSpliteChannelRGB split(&planes[0], &planes[1], &planes[2]);
    if (!m_backup.SinglePixelProcessProc(split, progress)) return 0;
    const CTevObjImage& plane = planes[m_channel];
    for (int y = 0; y < image->Height(); ++y)
      std::memcpy(image->GetBits(y), plane.GetBits(y), std::size_t(image->Width()) * 4);
    return 1;
  }

 private:
  int m_channel;
};

struct FilterDef {
  int kind;  // -1: not one of the editor's thirteen commands
  std::string usage;
  std::function<ProcessPtr(CFilterParams&)> make;
};

template <class T, class... A>
ProcessPtr Make(A&&... args) {
  return std::make_unique<T>(std::forward<A>(args)...);
}

std::map<std::string, FilterDef> FilterTable() {
  using P = CFilterParams;
  const int kAny = kMaxDibDimension;
  std::map<std::string, FilterDef> t;
  // The editor's filter commands, kinds 0 to 12.
  t["negative"] = {0, "[channels=rgb]", [](P& p) { return Make<CTevPixelInvert>(p.Channels()); }};
  t["gray"] = {1, "", [](P&) { return Make<CTevPixelGrayscale>(); }};
  t["mirror-h"] = {2, "", [](P&) { return Make<CTevPixelMirror>(); }};
  t["mirror-v"] = {3, "", [](P&) { return Make<CTevPixelFlip>(); }};
  t["brightness"] = {4, "[percent=100] [channels=rgb]", [=](P& p) {
                       const int v = p.Int("percent", 100, 0, 1000);
                       return Make<CTevPixelBrightness>(v, p.Channels());
                     }};
  t["contrast"] = {5, "[percent=100] [channels=rgb]", [=](P& p) {
                     const int v = p.Int("percent", 100, 0, 1000);
                     return Make<CTevPixelContrast>(v, p.Channels());
                   }};
  t["rgb"] = {6, "[red=0] [green=0] [blue=0]", [](P& p) {
                const int r = p.Int("red", 0, -255, 255), g = p.Int("green", 0, -255, 255);
                return Make<CTevPixelAdjustRGB>(r, g, p.Int("blue", 0, -255, 255));
              }};
  t["hue-saturation"] = {7, "[hue=100] [saturation=100]", [](P& p) {
                           const int h = p.Int("hue", 100, 0, 1000);
                           return Make<CTevPixelHueSaturation>(h, p.Int("saturation", 100, 0, 1000));
                         }};
  t["blur"] = {8, "[size=3] [replicate=1]", [](P& p) {
                 const int s = p.Int("size", 3, 2, 32);
                 return Make<CTevPixelBlurBox>(s, p.Bool("replicate", true));
               }};
  t["gaussian-blur"] = {9, "[radius=2] [h=R] [v=R]", [](P& p) {
                          const int r = p.Int("radius", 2, 0, 1000);
                          const int h = p.Int("h", r, 0, 1000);
                          return Make<CTevPixelBlurGaussIIR>(h, p.Int("v", r, 0, 1000));
                        }};
  t["sharpness"] = {10, "[level=10] (2..20)",
                    [](P& p) { return Make<CTevPixelSharp>(22 - p.Int("level", 10, 2, 20)); }};
  t["emboss"] = {11, "[depth=3] (1..10)", [](P& p) { return Make<CTevPixelEmboss>(p.Int("depth", 3, 1, 10)); }};
  t["sunspot"] = {12, "[intensity=255] [x=20] [y=80]", [](P& p) {
                    const int i = p.Int("intensity", 255, 0, 255), x = p.Int("x", 20, 0, 100);
                    return Make<CTevPixelSunspot>(i, x, p.Int("y", 80, 0, 100));
                  }};
  // Colour and tone.
  t["threshold"] = {-1, "[level=128]", [](P& p) { return Make<CTevPixelThreshold>(p.Int("level", 128, 0, 255)); }};
  t["color-tone"] = {-1, "[color=0x2060A0]", [](P& p) { return Make<CTevPixelColorTone>(p.Colour("color", 0x2060A0)); }};
  t["color-balance"] = {-1, "[tone=1 (0 shadows, 1 midtones, 2 highlights)] [cyan-red=0] [magenta-green=0] "
                            "[yellow-blue=0] [preserve=1]",
                        [](P& p) {
                          const int tone = p.Int("tone", 1, 0, 2), cr = p.Int("cyan-red", 0, -100, 100);
                          const int mg = p.Int("magenta-green", 0, -100, 100), yb = p.Int("yellow-blue", 0, -100, 100);
                          return Make<CTevPixelColorBalance>(p.Bool("preserve", true), TONE_REGION(tone), cr, mg, yb);
                        }};
  t["auto-contrast"] = {-1, "", [](P&) { return Make<CTevPixelAutoContrast>(); }};
  t["auto-color"] = {-1, "", [](P&) { return Make<CTevPixelAutoColorEnhance>(); }};
  t["levels"] = {-1, "[auto=0] [low=0] [high=255] [channels=rgb]", [](P& p) {
                   const bool a = p.Bool("auto", false);
                   const int lo = p.Int("low", 0, 0, 255), hi = p.Int("high", 255, 0, 255);
                   return Make<CTevPixelColorLevel>(a, lo, hi, p.Channels());
                 }};
  t["gamma"] = {-1, "[gamma=1.0] [channels=rgb]", [](P& p) {
                  const double g = p.Real("gamma", 1.0);
                  return Make<CTevPixelGamma>(g, p.Channels());
                }};
  t["solarize"] = {-1, "[threshold=128] [channels=rgb]", [](P& p) {
                     const int v = p.Int("threshold", 128, 0, 256);
                     return Make<CTevPixelSolarize>(v, p.Channels());
                   }};
  t["posterize"] = {-1, "[levels=4] [channels=rgb]", [](P& p) {
                      const int v = p.Int("levels", 4, 2, 256);
                      return Make<CTevPixelPosterize>(v, p.Channels());
                    }};
  t["halftone"] = {-1, "", [](P&) { return Make<CTevPixelHalftoneM3>(); }};
  t["split-channel"] = {-1, "[channel=r|g|b]", [](P& p) {
                          const std::string c = p.TakeString("channel");
                          return Make<CChannelPicture>(c == "g" ? 1 : (c == "b" ? 2 : 0));
                        }};
  t["combine-channels"] = {-1, "red=OBJECT green=OBJECT blue=OBJECT (pictures of the same size)", [](P& p) {
                             const CTevObjImage* r = p.ObjectPicture("red", true);
                             const CTevObjImage* g = p.ObjectPicture("green", true);
                             return Make<CTevPixelCombineChannelRGB>(r, g, p.ObjectPicture("blue", true));
                           }};
  t["convert-16"] = {-1, "(5-5-5 colours; the picture stays 32-bit)", [](P&) { return Make<CTevPixelConvertTo16Bit>(); }};
  t["convert-8-gray"] = {-1, "(grey levels; the picture stays 32-bit)",
                         [](P&) { return Make<CTevPixelConvertTo8BitGray>(); }};
  // Fills and alpha.
  t["fill-color"] = {-1, "[color=0x000000] [alpha=-1]", [](P& p) {
                       const RGBQUAD c = p.Colour("color", 0);
                       return Make<CTevPixelFillColor>(c, p.Int("alpha", -1, -1, 255));
                     }};
  t["fill-grid"] = {-1, "[color1=0xFFFFFF] [color2=0xC0C0C0] [cell=8]", [=](P& p) {
                      const RGBQUAD a = p.Colour("color1", 0xFFFFFF), b = p.Colour("color2", 0xC0C0C0);
                      return Make<CTevPixelFillGrid>(a, b, p.Int("cell", 8, 1, kAny));
                    }};
  t["fill-pattern"] = {-1, "pattern=OBJECT [level=128] [relief=0]", [](P& p) {
                         const CTevObjImage* pat = p.ObjectPicture("pattern", false);
                         const int level = p.Int("level", 128, 0, 255);
                         return Make<CTevPixelFillPattern>(pat, level, p.Bool("relief", false));
                       }};
  t["combine-color"] = {-1, "[color=0x000000] [alpha=128]", [](P& p) {
                          const int a = p.Int("alpha", 128, 0, 255);
                          return Make<CTevPixelCombineColor>(p.Colour("color", 0, a));
                        }};
  t["transparency"] = {-1, "[amount=64]", [](P& p) { return Make<CTevPixelTransparency>(p.Int("amount", 64, -255, 255)); }};
  t["find-edge"] = {-1, "[soften=1]", [](P& p) { return Make<CTevPixelFindEdge>(p.Bool("soften", true)); }};
  t["alpha-range"] = {-1, "[percent=50] (1..99)",
                      [](P& p) { return Make<CTevPixelAdjustRange>(p.Int("percent", 50, 1, 99)); }};
  t["knockout"] = {-1, "mask=OBJECT (a picture of the same size)",
                   [](P& p) -> ProcessPtr {
                     const CTevObjImage* m = p.ObjectPicture("mask", false);
                     if (!m) return nullptr;
                     return Make<CTevPixelKnockout>(*m);
                   }};
  t["add-shadow"] = {-1, "[dx=4] [dy=4] [softness=3] [transparency=50] [color=0x000000]", [](P& p) {
                       SHADOWDATA s;
                       s.dx = p.Int("dx", 4, -1000, 1000);
                       s.dy = p.Int("dy", 4, -1000, 1000);
                       s.softness = p.Int("softness", 3, 0, 64);
                       s.transparency = p.Int("transparency", 50, 0, 100);
                       const RGBQUAD c = p.Colour("color", 0);
                       s.colour = COLORREF(c.rgbRed) | COLORREF(c.rgbGreen) << 8 | COLORREF(c.rgbBlue) << 16;
                       return Make<CTevPixelAddShadow>(s);
                     }};
  t["smooth-edge"] = {-1, "[radius=2]", [](P& p) { return Make<CTevPixelSmoothEdge>(p.Int("radius", 2, 1, 16)); }};
  t["inner-bevel"] = {-1, "[width=4] [depth=64]", [](P& p) {
                        const int w = p.Int("width", 4, 1, 64);
                        return Make<CTevPixelInnerBevel>(w, p.Int("depth", 64, 0, 255));
                      }};
  // Geometry.
  t["rotate-90"] = {-1, "", [](P&) { return Make<CTevPixelRotate90>(); }};
  t["rotate-180"] = {-1, "", [](P&) { return Make<CTevPixelRotate180>(); }};
  t["rotate-270"] = {-1, "", [](P&) { return Make<CTevPixelRotate270>(); }};
  t["deinterlace"] = {-1, "[field=0] (0 even rows, 1 odd rows)", [](P& p) {
                        return Make<CPixelDeinterlace>(CPixelDeinterlace::SCAN_FIELDS(p.Int("field", 0, 0, 1)));
                      }};
  // Kernels and neighbourhoods.
  t["convolute"] = {-1, "kernel=W1,W2,... (1, 9, 25, ... weights) [divisor=1] [offset=0]", [](P& p) -> ProcessPtr {
                      std::vector<int> k = p.Ints("kernel", 0, {});
                      int n = 1;
                      while (n * n < int(k.size())) n += 2;
                      auto c = std::make_unique<CTevPixelConvolute>();
                      const int d = p.Int("divisor", 1, -10000, 10000), o = p.Int("offset", 0, -255, 255);
                      if (k.empty() || n * n != int(k.size()) || !c->SetKernel(k.data(), n, d, o)) return nullptr;
                      return c;
                    }};
  t["gaussian-3x3"] = {-1, "", [](P&) { return Make<CTevPixelGaussianBlur3x3>(); }};
  t["gaussian-5x5"] = {-1, "", [](P&) { return Make<CTevPixelGaussianBlur5x5>(); }};
  t["detect-edges"] = {-1, "[radius=1]", [](P& p) { return Make<CTevPixelDetectEdges>(p.Int("radius", 1, 1, 7)); }};
  t["sharp"] = {-1, "[amount=8]", [](P& p) { return Make<CTevPixelSharp>(p.Int("amount", 8, 1, 100)); }};
  t["sharpen"] = {-1, "", [](P&) { return ProcessPtr(new CTevPixelSharp(CTevPixelSharp::Sharpen())); }};
  t["sharpen-more"] = {-1, "", [](P&) { return ProcessPtr(new CTevPixelSharp(CTevPixelSharp::SharpenMore())); }};
  t["median"] = {-1, "[size=3]", [](P& p) { return Make<CTevPixelMedianFilter>(p.Int("size", 3, 1, 31)); }};
  // Blurs.
  t["motion-blur"] = {-1, "[distance=10] [direction=0] (0 horizontal, 1 vertical, 2 down-right, 3 up-right)",
                      [](P& p) {
                        const int d = p.Int("distance", 10, 1, 256);
                        return Make<CPixelBlurMotion>(d, DIRECT_SYS(p.Int("direction", 0, 0, 3)));
                      }};
  t["zoom-blur"] = {-1, "[amount=20]", [](P& p) { return Make<CTevPixelBlurZoom>(p.Int("amount", 20, 0, 100)); }};
  t["radial-blur"] = {-1, "[amount=10]", [](P& p) { return Make<CTevPixelBlurRadial>(p.Int("amount", 10, 0, 360)); }};
  // Noise and artistic effects.
  t["noise"] = {-1, "[amount=32] [seed=N]", [](P& p) -> ProcessPtr {
                  const int a = p.Int("amount", 32, 0, 510), seed = p.Int("seed", -1, -1, 0x7FFFFFFF);
                  return seed < 0 ? Make<CTevPixelAddRandomNoise>(a) : Make<CTevPixelAddRandomNoise>(a, seed);
                }};
  t["noisify"] = {-1, "[percent=20] [seed=N]", [](P& p) -> ProcessPtr {
                    auto n = std::make_unique<CTevPixelNoisify>(p.Int("percent", 20, 0, 100));
                    if (int seed = p.Int("seed", -1, -1, 0x7FFFFFFF); seed >= 0) n->SetSeed(seed);
                    return n;
                  }};
  t["shift"] = {-1, "[amount=4] [seed=N]", [](P& p) -> ProcessPtr {
                  auto s = std::make_unique<CTevPixelShift>(p.Int("amount", 4, 0, kAny));
                  if (int seed = p.Int("seed", -1, -1, 0x7FFFFFFF); seed >= 0) s->SetSeed(seed);
                  return s;
                }};
  t["splash"] = {-1, "[size=6] [seed=N]", [](P& p) -> ProcessPtr {
                   auto s = std::make_unique<CTevPixelSplash>(p.Int("size", 6, 3, 64));
                   if (int seed = p.Int("seed", -1, -1, 0x7FFFFFFF); seed >= 0) s->SetSeed(seed);
                   return s;
                 }};
  t["3d-grid"] = {-1, "[cell=8] [depth=32]", [=](P& p) {
                    const int c = p.Int("cell", 8, 1, kAny);
                    return Make<CTevPixel3DGrid>(c, p.Int("depth", 32, -255, 255));
                  }};
  t["video"] = {-1, "[type=0] (0 stripes, 1 staggered, 2 wide stripes, 3 scan lines, 4 shadow mask)", [](P& p) {
                  return Make<CTevPixelVideo>(CTevPixelVideo::VIDEO_TYPE(p.Int("type", 0, 0, 4)));
                }};
  t["illusion"] = {-1, "[divisions=8]", [](P& p) { return Make<CTevPixelIllusion>(p.Int("divisions", 8, 1, 64)); }};
  t["mosaic"] = {-1, "[block=8]", [=](P& p) { return Make<CTevPixelMosaic>(p.Int("block", 8, 2, kAny)); }};
  t["solid-frame"] = {-1, "[width=8]", [=](P& p) { return Make<CTevPixelFill3DSolidFrame>(p.Int("width", 8, 3, kAny)); }};
  t["oil-paint"] = {-1, "[radius=2]", [](P& p) { return Make<CTevPixelOilPaint>(p.Int("radius", 2, 1, 16)); }};
  t["glass-tile"] = {-1, "[width=10] [height=10]", [](P& p) {
                       const int w = p.Int("width", 10, 2, 256);
                       return Make<CTevPixelGlasstile>(w, p.Int("height", 10, 2, 256));
                     }};
  // Gradients: colours c1 at the start, c2 at the end; repeat 0 none,
  // 1 sawtooth, 2 triangle.
  auto twoPoints = [](auto tag) {
    using G = typename decltype(tag)::type;
    return [](P& p) -> ProcessPtr {
      const POINT a = p.Point("start", POINT{0, 0}), b = p.Point("end", POINT{100, 0});
      const RGBQUAD c1 = p.Colour("color1", 0x000000), c2 = p.Colour("color2", 0xFFFFFF);
      return Make<G>(a, b, c1, c2, REPEAT_MODE(p.Int("repeat", 0, 0, 2)));
    };
  };
  auto box = [](auto tag) {
    using G = typename decltype(tag)::type;
    return [](P& p) -> ProcessPtr {
      const RECT r = p.Rect("rect", RECT{0, 0, 100, 100});
      const RGBQUAD c1 = p.Colour("color1", 0x000000), c2 = p.Colour("color2", 0xFFFFFF);
      return Make<G>(r, c1, c2, REPEAT_MODE(p.Int("repeat", 0, 0, 2)));
    };
  };
  const std::string pointsUsage = "[start=X,Y] [end=X,Y] [color1=0x000000] [color2=0xFFFFFF] [repeat=0]";
  const std::string rectUsage = "[rect=L,T,R,B] [color1=0x000000] [color2=0xFFFFFF] [repeat=0]";
  t["gradient-line"] = {-1, pointsUsage, twoPoints(std::type_identity<CTevPixelGradientLine>{})};
  t["gradient-biline"] = {-1, pointsUsage, twoPoints(std::type_identity<CTevPixelGradientBiLine>{})};
  t["gradient-conical"] = {-1, pointsUsage, twoPoints(std::type_identity<CTevPixelGradientConicalSym>{})};
  t["gradient-conical-asym"] = {-1, pointsUsage, twoPoints(std::type_identity<CTevPixelGradientConicalASym>{})};
  t["gradient-rect"] = {-1, rectUsage, box(std::type_identity<CTevPixelGradientRect>{})};
  t["gradient-radial"] = {-1, rectUsage, box(std::type_identity<CTevPixelGradientRadial>{})};
  // Distortions.
  t["cylinder"] = {-1, "", [](P&) { return Make<CTevPixelCylinder>(); }};
  t["wave"] = {-1, "[wavelength=10] [amplitude=5] [phase=0]", [](P& p) {
                 const int w = p.Int("wavelength", 10, 1, 65535), a = p.Int("amplitude", 5, 1, 65535);
                 return Make<CTevPixelWave>(w, a, p.Real("phase", 0.0));
               }};
  t["whirl-pinch"] = {-1, "[whirl=1.0 (radians)] [pinch=0.0 (-1..1)]", [](P& p) {
                        const double w = p.Real("whirl", 1.0);
                        return Make<CTevPixelWhirlPinch>(w, p.Real("pinch", 0.0));
                      }};
  t["fractal-trace"] = {-1, "[depth=3]", [](P& p) { return Make<CTevPixelFractalTrace>(p.Int("depth", 3, 1, 64)); }};
  t["lens"] = {-1, "[refraction=1.5] [keep=1]", [](P& p) {
                 const double r = p.Real("refraction", 1.5);
                 return Make<CTevPixelLens>(r, p.Bool("keep", true));
               }};
  auto corners = [](auto tag) {
    using G = typename decltype(tag)::type;
    return [](P& p) -> ProcessPtr {
      const std::vector<int> v = p.Ints("corners", 8, {0, 0, 99, 0, 99, 99, 0, 99});
      const POINT c[4] = {{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}, {v[6], v[7]}};
      return Make<G>(c);
    };
  };
  const std::string cornerUsage = "corners=X1,Y1,X2,Y2,X3,Y3,X4,Y4 (top-left, top-right, bottom-right, bottom-left)";
  t["skew"] = {-1, cornerUsage, corners(std::type_identity<CTevPixelSkew>{})};
  t["perspective"] = {-1, cornerUsage, corners(std::type_identity<CTevPixelPerspective>{})};
  t["rotate"] = {-1, "[degrees=45]", [](P& p) { return Make<CTevPixelRotate>(p.Int("degrees", 45, -36000, 36000)); }};
  t["ribbon"] = {-1, "[amount=50] [period=20]", [](P& p) {
                   const int a = p.Int("amount", 50, 0, 100);
                   return Make<CTevPixelRibbon>(a, p.Int("period", 20, 2, 65535));
                 }};
  t["small-tile"] = {-1, "[columns=2] [rows=2]", [](P& p) {
                       const int c = p.Int("columns", 2, 1, 64);
                       return Make<CTevPixelSmallTile>(c, p.Int("rows", 2, 1, 64));
                     }};
  t["export-ascii"] = {-1, "path=FILE (the picture is not changed)", [](P& p) -> ProcessPtr {
                         const std::string path = p.TakeString("path");
                         if (path.empty()) return nullptr;
                         return Make<CTevPixelExportAscII>(path.c_str());
                       }};
  return t;
}

// Pictures of the current frame's selected objects, each once, with the
// object index.
std::vector<std::pair<int, CDib*>> SelectedPictures(CLoopwrightDoc& doc) {
  std::vector<std::pair<int, CDib*>> out;
  CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return out;
  for (const auto& ref : frame->m_refs) {
    CDib* o = ref->m_pObject.get();
    if (!o || !o->GetImage()) continue;
    const bool selected = std::any_of(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(),
                                      [&](const RefPtr<CDib>& s) { return s.get() == o; });
    if (selected && std::none_of(out.begin(), out.end(), [&](const auto& e) { return e.second == o; }))
      out.emplace_back(doc.IndexOfObject(o), o);
  }
  return out;
}

// Analyses: run on a copy of each picture and print one line each.
ScriptResult RunAnalysis(CLoopwrightDoc& doc, std::ostream& out, const std::string& name) {
  for (const auto& [index, object] : SelectedPictures(doc)) {
    CTevObjImage image;
    if (!image.Create(object->GetImage())) return ScriptResult::Fail("filter " + name + ": out of memory");
    out << "object " << index << ": ";
    if (name == "count-colors") {
      CTevPixelColorsCount count;
      if (!image.SinglePixelProcessProc(count, nullptr)) return ScriptResult::Fail("filter " + name + " failed");
      out << count.GetColorsCount() << " colours\n";
    } else if (name == "key-color") {
      CTevPixelGetKeyColor key;
      if (!image.SinglePixelProcessProc(key, nullptr)) return ScriptResult::Fail("filter " + name + " failed");
      const RGBQUAD k = key.GetKeyColor();
      char text[16];
      std::snprintf(text, sizeof text, "0x%02X%02X%02X", k.rgbBlue, k.rgbGreen, k.rgbRed);
      out << (key.IsFind() ? std::string("key colour ") + text : std::string("every colour occurs")) << "\n";
    } else {
      CTevPixelGetOptimizedRect rect;
      if (!image.SinglePixelProcessProc(rect, nullptr)) return ScriptResult::Fail("filter " + name + " failed");
      const RECT r = rect.GetOptimizedRect();
      out << "visible " << r.left << "," << r.top << "," << r.right << "," << r.bottom << "\n";
    }
  }
  return ScriptResult::Ok();
}

}  // namespace

void AddFilterCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  std::ostream& out = r.Out();
  auto table = std::make_shared<std::map<std::string, FilterDef>>(FilterTable());
  r.Register("filter", "filter NAME [key=value ...] (see the README for the names and parameters)",
             [&doc, &out, &r, table](const CScriptRunner::Args& a) {
               if (a.empty()) return ScriptResult::Usage({});
               const std::string& name = a[0];
               std::map<std::string, std::string> kv;
               if (!ParseKeyValues(a, 1, kv)) return ScriptResult::Usage("filter " + name + ": parameters are key=value");
               if (!doc.GetCurrentFrame()) return ScriptResult::Fail("filter: no current frame");
               if (SelectedPictures(doc).empty())
                 return ScriptResult::Fail("filter: no selected object in the current frame");
               if (name == "count-colors" || name == "key-color" || name == "optimized-rect") {
                 if (!kv.empty()) return ScriptResult::Usage("filter " + name + " takes no parameters");
                 return RunAnalysis(doc, out, name);
               }
               auto it = table->find(name);
               if (it == table->end()) {
                 std::vector<std::string> names{"count-colors", "key-color", "optimized-rect"};
                 for (const auto& entry : *table) names.push_back(entry.first);
                 return ScriptResult::Usage("filter: unknown filter " + name + DidYouMean(name, names));
               }
               CFilterParams params(std::move(kv), doc);
               ProcessPtr process = it->second.make(params);
               if (!params.ErrorText().empty()) return ScriptResult::Usage("filter " + name + ": " + params.ErrorText());
               if (const std::string k = params.Unused(); !k.empty())
                 return ScriptResult::Usage("filter " + name + ": unknown parameter " + k + " (" + it->second.usage + ")");
               if (!process) return ScriptResult::Usage("filter " + name + " " + it->second.usage);
               ApplyFilterToSelectedObjects(doc, it->second.kind, *process, &ConsoleProgress(), name,
                                            &r.View().Selection());
               if (ConsoleProgress().IsCancelled()) return ScriptResult::Fail("filter " + name + ": cancelled");
               return ScriptResult::Ok();
             });
}
