// An R*Tree node as SQLite's rtree module stores it in table %_node, column data: two bytes of the
// tree's depth (meaningful in the root), two of the cell count, then each cell: an 8-byte id (a
// row's id in a leaf, a child node's number above) and two 4-byte coordinates per dimension
// (floats, or integers for rtree_i32), all big-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pc {

struct RtreeCell {
    std::int64_t id = 0;
    std::vector<double> coordinates;  // min, max of each dimension, in order
};

struct RtreeNode {
    std::uint16_t depth = 0;
    std::vector<RtreeCell> cells;
};

// The node in `blob` of a tree with `coordinates` coordinates a cell; nothing where the count
// does not fit the blob.
std::optional<RtreeNode> readRtreeNode(std::span<const std::uint8_t> blob, std::size_t coordinates,
                                       bool integers);

}  // namespace pc
