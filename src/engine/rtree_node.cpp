#include "rtree_node.h"

#include <bit>
#include <cstring>

#include "byte_order.h"

namespace pc {

std::optional<RtreeNode> readRtreeNode(std::span<const std::uint8_t> blob, std::size_t coordinates,
                                       bool integers) {
    const auto depth = readBigEndian(blob, 0, 2);
    const auto count = readBigEndian(blob, 2, 2);
    if (!depth || !count || coordinates == 0 || coordinates > 10) return std::nullopt;
    const std::size_t cellSize = 8 + 4 * coordinates;
    if (4 + *count * cellSize > blob.size()) return std::nullopt;
    RtreeNode node;
    node.depth = static_cast<std::uint16_t>(*depth);
    for (std::size_t c = 0; c < *count; ++c) {
        const std::size_t at = 4 + c * cellSize;
        RtreeCell cell;
        cell.id = static_cast<std::int64_t>(*readBigEndian(blob, at, 8));
        for (std::size_t k = 0; k < coordinates; ++k) {
            const auto word = static_cast<std::uint32_t>(*readBigEndian(blob, at + 8 + 4 * k, 4));
            cell.coordinates.push_back(integers
                                           ? static_cast<double>(static_cast<std::int32_t>(word))
                                           : static_cast<double>(std::bit_cast<float>(word)));
        }
        node.cells.push_back(std::move(cell));
    }
    return node;
}

}  // namespace pc
