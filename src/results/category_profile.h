// What tells the three categories apart, as data: the table a scan carves and its rules, the
// columns it wants, the texts the faces show, the export file, the cells of a row and what the
// search and the window's commands read from them. A category's scanner adds only its checks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "column_signature.h"
#include "record_carver.h"
#include "result_columns.h"
#include "result_types.h"

namespace pc {

struct CategoryProfile {
    CategoryCode code;
    const char* key;   // in JSON lines and on the command line
    const char* noun;  // in the totals: "扫描完成,共找到 3 条短信, ..."
    // The tree: the branch, its normal and its deleted node.
    const char* branch;
    const char* normalNode;
    const char* deletedNode;
    const char* missingTable;     // the scan's end when the table is not there
    const char* emptyDefinition;  // ... when its definition says nothing
    const char* exportFile;
    SignatureParams signature;  // the table and its header rules; its wanted columns
    SerialTypeSet refused;      // serial types a required integer column never has
    // A row's cells: each one's field name and heading, and which stored text it shows (-1: the
    // state word).
    std::vector<const char*> fields;
    std::vector<ResultColumn> columns;
    std::vector<int> cellText;
    // What the search looks in: two text cells, the date cell and the number cell whose contact
    // name also counts (-1: none).
    std::array<int, 2> searchCells;
    int searchDateCell;
    int searchNumberCell;
    // What the window's "复制号码" and "复制信息" take.
    int numberCell;
    int textCell;
    // The stored text that may run long (a message's body), kept compressed by a window's store;
    // -1: none.
    int longText;
    // The report list shows the contact's name of the number (searchNumberCell) after this
    // column; -1: no such column (the row has its own name, or none to look up).
    int listNameAfter;
};

const CategoryProfile& profileOf(CategoryCode code);

}  // namespace pc
