#include "base/text_table.hpp"

#include <algorithm>

namespace zep::sim {

void TextTable::addRow(std::vector<std::string> cells)
{
    cells.resize(columns_.size());
    rows_.push_back(std::move(cells));
    notes_.emplace_back();
}

void TextTable::addNote(std::string text)
{
    if (!notes_.empty()) {
        notes_.back().push_back(std::move(text));
    }
}

void TextTable::print(std::ostream &out, std::string_view indent) const
{
    std::vector<std::size_t> width(columns_.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        width[c] = columns_[c].title.size();
        for (const auto &row : rows_) {
            width[c] = std::max(width[c], row[c].size());
        }
    }
    const auto line = [&](const auto &cell) {
        std::string text(indent);
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            const std::string &s = cell(c);
            const std::string pad(width[c] - s.size(), ' ');
            const bool last = c + 1 == columns_.size();
            if (columns_[c].align == Align::Right) {
                text += pad + s;
            } else {
                text += last ? s : s + pad;
            }
            if (!last) {
                text += "  ";
            }
        }
        out << text << '\n';
    };
    line([&](std::size_t c) -> const std::string & { return columns_[c].title; });
    const std::string noteIndent =
        std::string(indent) + std::string(width.empty() ? 0 : width[0] + 2, ' ');
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        line([&](std::size_t c) -> const std::string & { return rows_[r][c]; });
        for (const std::string &note : notes_[r]) {
            out << noteIndent << note << '\n';
        }
    }
}

}  // namespace zep::sim
