// The module's log lines as an access point's syslog shows them: each behind
// a date and a host name, a line of text per line of the log call (the hourly
// statistics call writes four). What `zep-sim logs` reads back.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "base/events.hpp"

namespace zep::sim {

class SyslogWriter : public EventSink {
public:
    explicit SyslogWriter(std::ostream &out, std::string host = "ap") : out_(out), host_(std::move(host)) {}
    void onEvent(const Event &ev) override;

private:
    std::ostream &out_;
    std::string host_;
};

// "Jan  1 00:00:02": the syslog date of a virtual time, counted from 1 January.
std::string syslogDate(u64 ms);
// The virtual time a line's leading syslog date stands for, to the second;
// nullopt when the line does not start with one.
std::optional<u64> syslogDateMs(std::string_view line);

}  // namespace zep::sim
