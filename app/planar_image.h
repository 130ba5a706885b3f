// The project file's planar image block: i32 width, i32 height, then the red,
// green, blue and alpha planes, each H rows (top first) of W bytes coded with
// PackBits, one row at a time.
//
// PackBits groups: header h 0-127 = h+1 literal bytes follow; 129-255 = the
// next byte repeated 257-h times; 128 = nothing. The coder takes a run of 2
// or more equal bytes (at most 128) as a repeat group; otherwise it opens a
// literal group and extends it until the next byte equals the one before it
// or the group holds 128 bytes (A B C C C -> literal A B C, repeat C x 2).
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "companions/base/dib.h"

// Appends the coded row to out.
void PackBitsEncodeRow(const BYTE* row, std::size_t count, std::vector<BYTE>& out);
// Decodes one row of count bytes from data[pos..size), advancing pos; surplus
// bytes of the last group are skipped. False when the data ends first.
bool PackBitsDecodeRow(const BYTE* data, std::size_t size, std::size_t& pos, BYTE* row, std::size_t count);

// Fewest coded bytes `planes` planes of a width x height picture can take
// (every row a chain of 128-byte repeat groups). Lets readers reject sizes the
// data cannot hold before they allocate.
std::size_t PlanarMinimumBytes(LONG width, LONG height, int planes = 4);

// Codes the planes of a 32-bit picture (no width and height words).
bool EncodePlanes(const BITMAPINFOHEADER* image, std::vector<BYTE>& out);
// A new 32-bit picture of width x height from four coded planes at
// data[pos..size); pos advances. Null when the sizes are out of range, the
// data cannot hold them or ends early.
DibPtr DecodePlanes(const BYTE* data, std::size_t size, std::size_t& pos, LONG width, LONG height);

// Whole blocks on a stream, for the generators that store a source picture.
// Write returns the bytes written (0 on failure). Read takes at most the bytes
// between the current position and the end of the stream.
long WritePlanarImage(std::FILE* file, const BITMAPINFOHEADER* image);
DibPtr ReadPlanarImage(std::FILE* file);
