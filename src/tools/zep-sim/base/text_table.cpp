#include "base/text_table.hpp"

#include <algorithm>

namespace zep::sim {

void TextTable::addRow(std::vector<std::string> cells)
{
    cells.resize(columns_.size());
    rows_.push_back(std::move(cells));
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
    for (const auto &row : rows_) {
        line([&](std::size_t c) -> const std::string & { return row[c]; });
    }
}

}  // namespace zep::sim
