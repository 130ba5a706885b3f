// Vector paths of the renderer: a vertex list in blocks, each vertex a command
// byte and a point of two doubles, on Anti-Grain Geometry's path model.
//
// Commands (AGG codes): 0 stop, 1 move to, 2 line to, 3 quadratic control,
// 4 cubic control, 0x0F end of polygon, plus flag 0x40 close (0x4F closes).
// Coordinates: x grows to the right from the left edge of the picture, y grows
// downward from its top edge.
//
// Usage:
//   1. move_to(x, y) / line_to(x, y) / curve3(...) / curve4(...)
//   2. close_polygon() (appends 0x4F only after a vertex command)
//   3. concat_path(src) appends every vertex of src with its own command;
//      join_path(src) turns src's first move to into a line to and drops it when
//      it lies within 1e-14 of the path's last vertex.
//   4. free_all() releases every block.
#pragma once

#include <agg_basics.h>
#include <agg_path_storage.h>

namespace TevVecLib {

// Vertices in blocks of 2^BlockShift (block index = vertex index >> shift,
// position = low bits); the table of block pointers grows by BlockPool.
template <class T, unsigned BlockShift = 8, unsigned BlockPool = 256>
class CTevVertexBlockStorage : public agg::vertex_block_storage<T, BlockShift, BlockPool> {
 public:
  using agg::vertex_block_storage<T, BlockShift, BlockPool>::vertex_block_storage;
};

template <class VertexStorage>
class CTevPathBase : public agg::path_base<VertexStorage> {
 public:
  using agg::path_base<VertexStorage>::path_base;

  // Appends one vertex with an explicit command.
  void AddVertex(double x, double y, unsigned cmd) { this->vertices().add_vertex(x, y, cmd); }
  // Command of the last vertex, 0 (stop) when the path is empty.
  unsigned LastCommand() const { return this->vertices().last_command(); }
  // Appends 0x4F when the path ends with a vertex command (1 to 14).
  void ClosePolygon() { this->close_polygon(agg::path_flags_close); }
  template <class VertexSource>
  void Concatenate(VertexSource& src, unsigned pathId = 0) { this->concat_path(src, pathId); }
  template <class VertexSource>
  void Join(VertexSource& src, unsigned pathId = 0) { this->join_path(src, pathId); }
  void FreeAll() { this->free_all(); }
  unsigned VertexCount() const { return this->total_vertices(); }
};

// The path type every caller passes around.
using CTevPath = CTevPathBase<CTevVertexBlockStorage<double, 8, 256>>;

// Axis-aligned clip rectangle (x1, y1, x2, y2), AGG's rectangle type.
template <class T>
using rect_base = agg::rect_base<T>;

}  // namespace TevVecLib
