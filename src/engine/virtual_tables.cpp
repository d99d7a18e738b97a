#include "virtual_tables.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>

#include "ascii_case.h"
#include "rtree_node.h"

namespace pc {

namespace {

// The module and the arguments of "CREATE VIRTUAL TABLE name USING module(arguments)".
std::optional<std::pair<std::string, std::vector<std::string>>> moduleOf(const std::string& sql) {
    static const std::regex kUsing(R"(\bUSING\s+(\w+)\s*(?:\(([\s\S]*)\))?\s*;?\s*$)",
                                   std::regex::icase);
    std::smatch m;
    if (!std::regex_search(sql, m, kUsing)) return std::nullopt;
    std::vector<std::string> arguments;
    const std::string all = m[2].str();
    std::size_t from = 0;
    while (from <= all.size() && !all.empty()) {
        const std::size_t comma = std::min(all.find(',', from), all.size());
        std::string a = all.substr(from, comma - from);
        a.erase(0, a.find_first_not_of(" \t\r\n\"'`["));
        a.erase(a.find_last_not_of(" \t\r\n\"'`]") + 1);
        arguments.push_back(a);
        from = comma + 1;
    }
    return std::pair(asciiLower(m[1].str()), arguments);
}

bool endsWith(std::string_view s, std::string_view suffix, std::string_view& stem) {
    if (!s.ends_with(suffix)) return false;
    stem = s.substr(0, s.size() - suffix.size());
    return true;
}

}  // namespace

void VirtualTableRows::virtualTableFound(const std::string& name, const std::string& sql) {
    const auto module = moduleOf(sql);
    if (!module) return;
    const auto& [kind, arguments] = *module;
    if (kind == "rtree" || kind == "rtree_i32") {
        Rtree tree;
        tree.name = name;
        tree.integers = kind == "rtree_i32";
        for (const std::string& a : arguments)
            if (!a.empty() && a[0] != '+') tree.columns.push_back(a.substr(0, a.find(' ')));
        // An id and one to five pairs of coordinates.
        if (tree.columns.size() >= 3 && tree.columns.size() % 2 == 1) rtrees_.push_back(tree);
    } else if (kind.rfind("fts", 0) == 0) {
        fullText_.insert(asciiLower(name));
        if (kind == "fts5") {
            std::vector<std::string> columns;
            for (const std::string& a : arguments)
                if (a.find('=') == std::string::npos && !a.empty())
                    columns.push_back(a.substr(0, a.find(' ')));
            fts5_.emplace_back(asciiLower(name), std::move(columns));
        }
    }
}

std::size_t VirtualTableRows::announce(const TableShape& table) {
    const std::size_t index = next_++;
    announced_.push_back(table);
    out_.tableFound(index, announced_.back());
    return index;
}

void VirtualTableRows::tableFound(std::size_t index, const TableShape& table) {
    if (shown_.size() <= index) {
        shown_.resize(index + 1);
        role_.resize(index + 1, Role::Plain);
        rtreeOf_.resize(index + 1, 0);
    }
    const std::string name = asciiLower(table.name);
    std::string_view stem;
    Role role = Role::Plain;
    TableShape renamed = table;
    for (std::size_t t = 0; t < rtrees_.size(); ++t) {
        const std::string tree = asciiLower(rtrees_[t].name);
        if (name == tree + "_node") role = Role::RtreeNode;
        if (name == tree + "_rowid") role = Role::RtreeRowid;
        if (name == tree + "_parent") role = Role::Hidden;
        if (role != Role::Plain) {
            rtreeOf_[index] = t;
            break;
        }
    }
    for (const char* suffix :
         {"_segments", "_segdir", "_docsize", "_stat", "_data", "_idx", "_config", "_content"})
        if (role == Role::Plain && endsWith(name, suffix, stem) &&
            fullText_.count(std::string(stem)))
            role = Role::Hidden;
    // An FTS3/4 content table the carve did not name for its table (one found among the schema's
    // deleted records): its rows are the table's all the same.
    if (role == Role::Hidden && endsWith(name, "_content", stem) &&
        std::none_of(fts5_.begin(), fts5_.end(), [&](const auto& f) { return f.first == stem; })) {
        role = Role::Plain;
        renamed.name = table.name.substr(0, stem.size());
        for (ColumnShape& c : renamed.columns)
            c.name = fullTextColumnName(c.name);
    }
    // An FTS5 table's rows: its content table's, columns c0, c1 ... by their declared names.
    for (const auto& [fts, columns] : fts5_)
        if (name == fts + "_content") {
            role = Role::Plain;
            renamed.name = table.name.substr(0, fts.size());
            for (ColumnShape& c : renamed.columns)
                if (c.name.size() > 1 && c.name[0] == 'c') {
                    const std::size_t i = std::strtoul(c.name.c_str() + 1, nullptr, 10);
                    if (i < columns.size()) c.name = columns[i];
                }
        }
    role_[index] = role;
    if (role == Role::RtreeNode) {
        // The tree itself is announced where its nodes are.
        Rtree& tree = rtrees_[rtreeOf_[index]];
        TableShape shape;
        shape.name = tree.name;
        for (std::size_t c = 0; c < tree.columns.size(); ++c)
            shape.columns.push_back({tree.columns[c], c == 0 || tree.integers ? "INTEGER" : "REAL",
                                     c == 0 || tree.integers ? Affinity::Integer : Affinity::Real,
                                     false});
        tree.shown = announce(shape);
    }
    if (role == Role::Plain || showShadows_) shown_[index] = announce(renamed);
}

void VirtualTableRows::rowFound(const RecoveredRowView& row) {
    const Role role = row.table < role_.size() ? role_[row.table] : Role::Plain;
    if ((role == Role::RtreeNode || role == Role::RtreeRowid) && row.values.size() >= 2) {
        Rtree& tree = rtrees_[rtreeOf_[row.table]];
        if (role == Role::RtreeNode) {
            const ValueView& number = row.values[0];
            const ValueView& data = row.values[1];
            const std::optional<std::int64_t> n =
                number.kind == ValueView::Kind::Integer ? std::optional(number.integer) : row.rowid;
            if (n && data.kind == ValueView::Kind::Blob)
                tree.nodes.push_back(
                    {row.state, row.source, row.offset, *n,
                     std::vector<std::uint8_t>(data.bytes.begin(), data.bytes.end())});
        } else if (row.values[1].kind == ValueView::Kind::Integer) {
            tree.leaves.insert(row.values[1].integer);
        }
    }
    if (row.table >= shown_.size() || !shown_[row.table]) return;
    RecoveredRowView passed = row;
    passed.table = *shown_[row.table];
    out_.rowFound(passed);
}

void VirtualTableRows::finish() {
    for (const Rtree& tree : rtrees_)
        emitRtree(tree);
}

void VirtualTableRows::emitRtree(const Rtree& tree) {
    const std::size_t coordinates = tree.columns.size() - 1;
    std::optional<std::uint16_t> rootDepth;
    for (const Node& n : tree.nodes)
        if (n.number == 1 && n.state == RecordState::Normal)
            if (const auto node = readRtreeNode(n.blob, coordinates, tree.integers))
                rootDepth = node->depth;
    // A leaf holds rows: a node %_rowid names, or a root that is the whole tree.
    auto leaf = [&](std::int64_t number) {
        if (!tree.leaves.empty()) return tree.leaves.count(number) > 0;
        return number == 1 && rootDepth == 0;
    };
    std::set<std::int64_t> live;
    std::set<std::pair<std::int64_t, std::vector<double>>> deleted;
    std::vector<ValueView> values(tree.columns.size());
    auto emit = [&](const Node& n, const RtreeCell& cell, RecordState state) {
        values[0] = {ValueView::Kind::Integer, cell.id, 0, {}};
        for (std::size_t k = 0; k < coordinates; ++k)
            values[k + 1] = tree.integers
                                ? ValueView{ValueView::Kind::Integer,
                                            static_cast<std::int64_t>(cell.coordinates[k]),
                                            0,
                                            {}}
                                : ValueView{ValueView::Kind::Real, 0, cell.coordinates[k], {}};
        out_.rowFound({tree.shown, state, n.source, n.offset, cell.id, values});
    };
    for (const RecordState pass : {RecordState::Normal, RecordState::Deleted})
        for (const Node& n : tree.nodes) {
            if (n.state != pass || !leaf(n.number)) continue;
            const auto node = readRtreeNode(n.blob, coordinates, tree.integers);
            if (!node) continue;
            for (const RtreeCell& cell : node->cells) {
                if (pass == RecordState::Normal) {
                    live.insert(cell.id);
                    emit(n, cell, pass);
                } else if (!live.count(cell.id) &&
                           deleted.insert({cell.id, cell.coordinates}).second) {
                    emit(n, cell, pass);
                }
            }
        }
}

}  // namespace pc
