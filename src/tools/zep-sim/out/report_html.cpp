#include "out/report_html.hpp"

#include <chrono>
#include <filesystem>
#include <stdexcept>

namespace zep::sim {

namespace {

constexpr std::string_view kChartJsMarker = "/*@CHARTJS@*/";
constexpr std::string_view kDataMarker = "/*@DATA@*/";

// A script element ends at the first "</", whatever the quotes around it.
std::string scriptSafe(std::string text)
{
    for (std::size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at + 3)) {
        text.replace(at, 2, "<\\/");
    }
    return text;
}

}  // namespace

Json columnList(std::initializer_list<std::pair<const char *, const char *>> columns)
{
    Json list = Json::array();
    for (const auto &[key, title] : columns) {
        list.push_back({key, title});
    }
    return list;
}

Json pageData(const ReportPage &page)
{
    return {{"title", page.title}, {"sections", page.sections}};
}

std::string embeddedData(const ReportPage &page)
{
    // A field log may hold any bytes; those that are not UTF-8 become U+FFFD.
    const std::string json =
        pageData(page).dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(json.size() + json.size() / 64);
    for (const char c : json) {
        // Outside strings JSON has no '<', so the escape is always inside one.
        if (c == '<') {
            out += "\\u003c";
        } else {
            out += c;
        }
    }
    return out;
}

void writeReport(std::ostream &out, const ReportPage &page)
{
    const std::string_view html = reportTemplateText();
    const std::size_t lib = html.find(kChartJsMarker);
    const std::size_t data = html.find(kDataMarker);
    if (lib == std::string_view::npos || data == std::string_view::npos || data < lib) {
        throw std::logic_error("the report template lost its markers");
    }
    out << html.substr(0, lib) << scriptSafe(std::string(chartJsText()))
        << html.substr(lib + kChartJsMarker.size(), data - lib - kChartJsMarker.size())
        << embeddedData(page) << html.substr(data + kDataMarker.size());
}

bool reportAvailable()
{
    return !chartJsText().empty();
}

bool saveReport(std::ostream &file, const std::string &path, const ReportPage &page,
                std::ostream &human)
{
    const auto begin = std::chrono::steady_clock::now();
    writeReport(file, page);
    if (!file.flush()) {
        return false;
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    human << "Report: " << path << " (" << (bytes + 1023) / 1024 << " KiB, written in "
          << static_cast<u64>(took.count() + 0.5) << " ms)\n";
    return true;
}

}  // namespace zep::sim
