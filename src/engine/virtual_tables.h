// The virtual tables of a database as SQLite shows them, between the carve of every table and its
// listener. An R*Tree's rows are decoded from its nodes: the live nodes give its live rows, older
// copies of a node (deleted records of %_node) the rows deleted since. An FTS5 table's rows are its
// %_content table's under its own name and columns (FTS3/4's are named so by the carve). The
// shadow tables that hold a virtual table's data are passed on only when asked, their rows raw.
// Tables pass on renumbered, in the order announced.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "table_recovery.h"

namespace pc {

class VirtualTableRows : public CarveEvents {
  public:
    VirtualTableRows(CarveEvents& out, bool showShadows) : out_(out), showShadows_(showShadows) {}

    void virtualTableFound(const std::string& name, const std::string& sql) override;
    void tableFound(std::size_t index, const TableShape& table) override;
    void rowFound(const RecoveredRowView& row) override;
    // The R*Trees' rows, once every node has been met.
    void finish();

    void noted(const SourceNote& note) override { out_.noted(note); }
    void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) override {
        out_.progressRange(maximum, stepBytes);
    }
    void pageReached(std::uint32_t index) override { out_.pageReached(index); }
    void idle() override { out_.idle(); }

  private:
    struct Node {
        RecordState state;
        SourceFile source;
        std::uint64_t offset;
        std::int64_t number;
        std::vector<std::uint8_t> blob;
    };
    struct Rtree {
        std::string name;
        std::vector<std::string> columns;  // id, then the coordinates
        bool integers = false;
        std::size_t shown = 0;
        std::vector<Node> nodes;
        std::set<std::int64_t> leaves;  // nodes %_rowid names as a row's
    };
    enum class Role : std::uint8_t { Plain, Hidden, RtreeNode, RtreeRowid };

    std::size_t announce(const TableShape& table);
    void emitRtree(const Rtree& tree);

    CarveEvents& out_;
    bool showShadows_;
    std::vector<Rtree> rtrees_;
    std::set<std::string> fullText_;                                      // FTS tables, lower-case
    std::vector<std::pair<std::string, std::vector<std::string>>> fts5_;  // name, columns
    std::vector<std::optional<std::size_t>> shown_;  // the carve's index -> the one passed on
    std::vector<Role> role_;
    std::vector<std::size_t> rtreeOf_;
    std::size_t next_ = 0;
    // The shapes announced: listeners keep them by reference for the whole carve.
    std::deque<TableShape> announced_;
};

}  // namespace pc
