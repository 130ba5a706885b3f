// Path building rules and degenerate arcs of the vector renderer (matrices
// and arc directions are checked through the painting tests).
#include <gtest/gtest.h>

#include <cmath>

#include "companions/vector/TevVectorRender.h"

using namespace TevVecLib;

namespace {
constexpr double kPi = 3.14159265358979323846;

unsigned CommandAt(CTevPath& p, unsigned i) {
  double x, y;
  return p.vertex(i, &x, &y);
}
}  // namespace

TEST(VectorPath, CloseAppendsOnlyAfterAVertex) {
  CTevPath p;
  p.ClosePolygon();
  EXPECT_EQ(p.VertexCount(), 0u);
  p.move_to(0, 0);
  p.line_to(10, 0);
  p.line_to(10, 10);
  p.ClosePolygon();
  p.ClosePolygon();
  ASSERT_EQ(p.VertexCount(), 4u);
  EXPECT_EQ(p.LastCommand(), 0x4Fu);
  EXPECT_EQ(CommandAt(p, 0), 1u);
  EXPECT_EQ(CommandAt(p, 1), 2u);
}

TEST(VectorPath, ConcatenateKeepsCommandsJoinTurnsMoveIntoLine) {
  CTevPath a, b;
  b.move_to(5, 5);
  b.line_to(6, 6);

  a.Concatenate(b);
  EXPECT_EQ(CommandAt(a, 0), 1u);  // empty path: move stays a move

  CTevPath c;
  c.move_to(0, 0);
  c.line_to(1, 1);
  c.Join(b);
  ASSERT_EQ(c.VertexCount(), 4u);
  EXPECT_EQ(CommandAt(c, 2), 2u);  // the move became a line

  // A first vertex within 1e-14 of the last one is dropped.
  CTevPath d, e;
  d.move_to(0, 0);
  d.line_to(5, 5);
  e.move_to(5 + 1e-15, 5);
  e.line_to(9, 9);
  d.Join(e);
  ASSERT_EQ(d.VertexCount(), 3u);
  double x, y;
  d.vertex(2, &x, &y);
  EXPECT_EQ(x, 9);
}

TEST(VectorArc, ZeroRadiusAddsNothing) {
  CTevArc arc(50, 50, 0, 0, 2 * kPi, 0, false);
  double x, y;
  arc.rewind(0);
  EXPECT_EQ(arc.vertex(&x, &y), 0u);

  CTevPath p;
  p.move_to(0, 0);
  p.line_to(10, 0);
  p.Join(arc);
  EXPECT_EQ(p.VertexCount(), 2u);

  CTevArc bad(0, 0, 5, 5, 0, std::nan(""), true);
  bad.rewind(0);
  EXPECT_EQ(bad.vertex(&x, &y), 0u);
}
