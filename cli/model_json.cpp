#include "cli/model_json.h"

#include <sstream>

#include "cli/colours.h"

nlohmann::ordered_json ModelToJson(const CGifImage& m) {
  using json = nlohmann::ordered_json;
  json j;
  j["canvas"] = {{"width", m.m_nWidth}, {"height", m.m_nHeight}};
  j["background"] = m.m_clrBackground;
  j["backgroundHex"] = ColourToHex(m.m_clrBackground);
  j["imageColorIndex"] = m.m_nImageColorIndex;
  j["transparencyState"] = m.m_nTransparencyState;
  j["loopForever"] = m.m_bLoopForever != 0;
  j["loopCount"] = m.m_nLoopCount;
  json objects = json::array();
  for (const auto& o : m.m_objects) {
    json shadow = {{"kind", o->m_nShadowKind},
                   {"transparency", o->m_byShadowTransparency},
                   {"ratio", o->m_byShadowRatio},
                   {"softness", o->m_byShadowSoftness},
                   {"dx", o->m_nShadowDistX},
                   {"dy", o->m_nShadowDistY},
                   {"colour", o->m_clrShadow},
                   {"colourHex", ColourToHex(o->m_clrShadow)},
                   {"angle", o->m_nPerspectiveAngle},
                   {"length", o->m_nPerspectiveLength},
                   {"hasImage", o->HasShadow()}};
    objects.push_back({{"name", o->m_strName},
                       {"kind", o->m_nKind},
                       {"width", o->m_nWidth},
                       {"height", o->m_nHeight},
                       {"shadow", shadow}});
  }
  j["objects"] = objects;
  json frames = json::array();
  for (const auto& f : m.m_frames) {
    json refs = json::array();
    for (const auto& r : f->m_refs)
      refs.push_back({{"x", r->m_nX},
                      {"y", r->m_nY},
                      {"visible", r->m_bVisible},
                      {"locked", r->m_bLocked},
                      {"transparency", r->m_nTransparency}});
    frames.push_back({{"delay", f->m_nDelay},
                      {"gce", f->m_byGraphicControl},
                      {"descriptor", f->m_byDescriptor},
                      {"transparentIndex", f->m_byTransparentIndex},
                      {"flags", f->m_nFlags},
                      {"refs", refs}});
  }
  j["frames"] = frames;
  return j;
}

std::string ModelSummary(const CGifImage& m) {
  std::ostringstream out;
  out << "canvas " << m.m_nWidth << " x " << m.m_nHeight << ", " << m.m_frames.size() << " frame(s), "
      << m.m_objects.size() << " object(s), loop " << (m.m_bLoopForever ? std::string("forever") : std::to_string(m.m_nLoopCount))
      << "\n";
  for (std::size_t i = 0; i < m.m_objects.size(); ++i) {
    const auto& o = *m.m_objects[i];
    out << "  object " << i << ": \"" << o.m_strName << "\" kind " << o.m_nKind << ", " << o.m_nWidth << " x "
        << o.m_nHeight << "\n";
  }
  for (std::size_t i = 0; i < m.m_frames.size(); ++i) {
    const auto& f = *m.m_frames[i];
    int shown = 0;
    f.m_refs.ForEachShown([&](std::size_t, const CRefImageObject&) { ++shown; });
    out << "  frame " << i << ": delay " << f.m_nDelay << ", disposal " << f.GetDisposal() << ", " << shown
        << " visible object(s)\n";
  }
  return out.str();
}
