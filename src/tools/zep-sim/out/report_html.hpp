// The HTML report: one self-contained page (the charting library and the data
// inlined) that opens offline in any browser. One page template and this one
// writer serve a run's report and the report of access points' logs; each
// brings its data as sections of the same shape, one per run or access point.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/sim_json.hpp"
#include "zep_types.h"

namespace zep::sim {

// Embedded at build time: the page template and Chart.js from Debian's libjs-chart.js.
std::string_view reportTemplateText();
std::string_view chartJsText();
// Whether this build carries the charting library the report needs.
bool reportAvailable();

// A section is a JSON object; the page draws what it holds and leaves out what
// it lacks, so a source that cannot give a figure omits it instead of zeroing it:
//   name, title, facts [[label, text]]
//   unavailable [figure], unavailableWhy       figures the source cannot give
//   radioColumns [[key, title]], radios [{radio, total {key: n}, series {key: [n]}}]
//   totals {key: n}, totalsLine [[label, key]], notes [text]
//   interval {name, unit, unitMs, widthMs, starts [ms]}   the x axis of the series
//   listed, neighbours                          co-measurement lists, blocks to neighbours
//   stations {columns [[key, title]], rows [[cell]], shown} or {unavailable}
//   tables [{title, columns [title], rows [[cell]]}]
//   handlers {unit, columns, bars, count, logScale, rows [{name, key: n}]}
//   marks {kinds [name], axis, atTitle, failedKind, rows [{x, at, kind, text}], leftOut}
struct ReportPage {
    std::string title;
    std::vector<Json> sections;
};

// The page's data as one JSON object.
Json pageData(const ReportPage &page);
// pageData as it stands in the page: every '<' escaped, so that no text of a
// run or a log can end the script element or open a comment in it.
std::string embeddedData(const ReportPage &page);
void writeReport(std::ostream &out, const ReportPage &page);
// Writes the report into file, opened at path, and says on human where, how
// large and how long it took; false when the file could not be written.
bool saveReport(std::ostream &file, const std::string &path, const ReportPage &page,
                std::ostream &human);

// Pairs of [key, title], the columns a section's tables name.
Json columnList(std::initializer_list<std::pair<const char *, const char *>> columns);

}  // namespace zep::sim
