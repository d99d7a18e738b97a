// The report list's sort: rows by one cell, byte-wise on the cell's GB18030 text with a to z
// folded to A to Z (so Chinese text falls in GBK order), rows that compare equal in the order
// they had, whichever the direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "contact_names.h"
#include "result_store.h"

namespace pc {

// `rows` (indexes of `code` in the store) sorted by their cell `cell`, which every row has.
std::vector<std::uint32_t> sortedByCell(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, std::size_t cell,
                                        bool ascending);

// `rows` sorted by the name the contacts give their number cell `numberCell` (rows without one,
// or all without `names`, as an empty name), as sortedByCell orders texts.
std::vector<std::uint32_t> sortedByName(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, std::size_t numberCell,
                                        const ContactNames* names, bool ascending);

}  // namespace pc
