#include "cli/junit.hpp"

#include <algorithm>

#include "base/time_text.hpp"

namespace zep::sim::cli {

namespace {

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters other than tab and newline are not allowed in XML 1.0.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                out += '?';
            } else {
                out += c;
            }
        }
    }
    return out;
}

}  // namespace

void JunitReport::onEvent(const Event &ev)
{
    if (ev.kind != EventKind::Expect) {
        return;
    }
    Case c;
    c.line = ev.json->value("line", 0);
    c.t = ev.t;
    for (const Json &what : ev.json->value("failures", Json::array())) {
        c.failures.push_back(what.get<std::string>());
    }
    cases_.push_back(std::move(c));
}

void JunitReport::write(std::ostream &out, const std::string &suite, const std::string &file) const
{
    const auto failed = std::count_if(cases_.begin(), cases_.end(),
                                      [](const Case &c) { return !c.failures.empty(); });
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites tests=\"" << cases_.size() << "\" failures=\"" << failed << "\">\n"
        << "  <testsuite name=\"" << xmlEscaped(suite) << "\" tests=\"" << cases_.size()
        << "\" failures=\"" << failed << "\" errors=\"0\">\n";
    for (const Case &c : cases_) {
        // An expect inside a repeat plays once per pass: the virtual time tells them apart.
        out << "    <testcase classname=\"" << xmlEscaped(suite) << "\" name=\"expect at line "
            << c.line << ", t=" << formatSeconds(c.t) << " s\" file=\"" << xmlEscaped(file)
            << "\" line=\"" << c.line << "\"";
        if (c.failures.empty()) {
            out << "/>\n";
            continue;
        }
        out << ">\n";
        for (const std::string &what : c.failures) {
            out << "      <failure message=\"" << xmlEscaped(what) << "\"/>\n";
        }
        out << "    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
}

}  // namespace zep::sim::cli
