// Gradient colour definitions: ordered colour stops, turned into a 256-entry
// lookup table for painting.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "companions/base/win_types.h"

namespace TevVecLib {

struct TevColorStop {
  double position;  // 0 to 1
  COLORREF colour;  // 0x00BBGGRR
  BYTE alpha;       // 255 opaque
  friend bool operator==(const TevColorStop&, const TevColorStop&) = default;
};

class CTevGradientColors {
 public:
  static constexpr std::size_t kMaxStops = 64;

  // Adds a stop; the position is limited to 0..1 and the stops stay ordered
  // (a stop at an existing position goes after it). Returns false when the
  // table is full or the position is not a number.
  bool AddColorStop(double position, COLORREF colour, BYTE alpha = 255);
  void RemoveAll() { m_stops.clear(); }
  const std::vector<TevColorStop>& Stops() const { return m_stops; }
  bool Empty() const { return m_stops.empty(); }

  // 256 BGRA entries from position 0 to 1, colours interpolated between stops
  // and held constant beyond the first and last stop. No stops gives black
  // fully transparent entries.
  std::array<std::uint32_t, 256> BuildLut() const;

  friend bool operator==(const CTevGradientColors&, const CTevGradientColors&) = default;

 private:
  std::vector<TevColorStop> m_stops;
};

}  // namespace TevVecLib
