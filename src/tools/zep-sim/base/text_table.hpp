// Rows of text printed in aligned columns.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zep::sim {

class TextTable {
public:
    enum class Align { Left, Right };
    struct Column {
        std::string title;
        Align align = Align::Left;
    };

    explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}
    void addRow(std::vector<std::string> cells);
    // A line of free text under the last row, indented by its first column's
    // width; it takes no part in the columns' widths.
    void addNote(std::string text);
    bool empty() const { return rows_.empty(); }
    void print(std::ostream &out, std::string_view indent = "") const;

private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<std::vector<std::string>> notes_;  // notes_[i]: the notes under rows_[i]
};

}  // namespace zep::sim
