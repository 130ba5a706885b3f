// Paths, matrices and arcs of the vector renderer.
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
  EXPECT_EQ(p.LastCommand(), 0u);
  p.move_to(0, 0);
  p.line_to(10, 0);
  p.line_to(10, 10);
  p.ClosePolygon();
  p.ClosePolygon();
  ASSERT_EQ(p.VertexCount(), 4u);
  EXPECT_EQ(p.LastCommand(), 0x4Fu);
  EXPECT_EQ(CommandAt(p, 0), 1u);
  EXPECT_EQ(CommandAt(p, 1), 2u);
  p.FreeAll();
  EXPECT_EQ(p.VertexCount(), 0u);
}

TEST(VectorPath, GrowsAcrossBlocks) {
  CTevPath p;
  for (int i = 0; i < 1000; ++i) p.AddVertex(i, -i, i == 0 ? 1 : 2);
  ASSERT_EQ(p.VertexCount(), 1000u);
  double x, y;
  EXPECT_EQ(p.vertex(777, &x, &y), 2u);
  EXPECT_EQ(x, 777);
  EXPECT_EQ(y, -777);
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

TEST(VectorMatrix, MultiplyAppliesThisFirst) {
  CTevTransMatrix tr = CTevTransMatrixTranslation(10, 0);
  tr.Multiply(CTevTransMatrixRotation(kPi / 2));
  double x = 0, y = 0;
  tr.Transform(&x, &y);
  EXPECT_NEAR(x, 0, 1e-9);  // moved to (10, 0), then turned to (0, 10)
  EXPECT_NEAR(y, 10, 1e-9);

  CTevTransMatrix rt = CTevTransMatrixRotation(kPi / 2);
  rt.Multiply(CTevTransMatrixTranslation(10, 0));
  x = 0, y = 0;
  rt.Transform(&x, &y);
  EXPECT_NEAR(x, 10, 1e-9);
  EXPECT_NEAR(y, 0, 1e-9);

  // Six doubles in (sx, shy, shx, sy, tx, ty) order.
  CTevTransMatrix m(2, 0.5, 0.25, 3, 7, 11);
  x = 1, y = 2;
  m.Transform(&x, &y);
  EXPECT_DOUBLE_EQ(x, 2 * 1 + 0.25 * 2 + 7);
  EXPECT_DOUBLE_EQ(y, 0.5 * 1 + 3 * 2 + 11);
}

TEST(VectorMatrix, InvertRoundTripsAndRejectsSingular) {
  CTevTransMatrix m(2, 0.5, 0.25, 3, 7, 11);
  CTevTransMatrix inv(m);
  ASSERT_TRUE(inv.Invert());
  double x = 4, y = -9;
  m.Transform(&x, &y);
  inv.Transform(&x, &y);
  EXPECT_NEAR(x, 4, 1e-12);
  EXPECT_NEAR(y, -9, 1e-12);

  CTevTransMatrix singular(1, 2, 2, 4, 0, 0);
  EXPECT_FALSE(singular.Invert());
  EXPECT_TRUE(singular.IsIdentity());
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

TEST(VectorArc, RunsInTheRequestedDirectionOnTheEllipse) {
  CTevArc ccw(100, 50, 40, 20, 0, 2 * kPi, true);
  double x, y;
  ccw.rewind(0);
  ASSERT_EQ(ccw.vertex(&x, &y), 1u);
  EXPECT_NEAR(x, 140, 1e-9);
  EXPECT_NEAR(y, 50, 1e-9);
  ASSERT_EQ(ccw.vertex(&x, &y), 2u);
  EXPECT_GT(y, 50);  // growing angle goes toward +y
  unsigned n = 2, cmd;
  double lx = x, ly = y;
  while ((cmd = ccw.vertex(&x, &y)) != 0) {
    EXPECT_EQ(cmd, 2u);
    double e = (x - 100) * (x - 100) / 1600 + (y - 50) * (y - 50) / 400;
    EXPECT_NEAR(e, 1.0, 1e-9);
    lx = x, ly = y, ++n;
  }
  EXPECT_GT(n, 16u);
  EXPECT_NEAR(lx, 140, 1e-9);  // a full turn ends where it started
  EXPECT_NEAR(ly, 50, 1e-9);

  CTevArc cw(100, 50, 40, 20, 2 * kPi, 0, false);
  cw.rewind(0);
  cw.vertex(&x, &y);
  cw.vertex(&x, &y);
  EXPECT_LT(y, 50);
  // rewind restarts
  cw.rewind(0);
  EXPECT_EQ(cw.vertex(&x, &y), 1u);
}
