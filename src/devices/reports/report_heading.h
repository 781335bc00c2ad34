#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devices/base/log_sinks.h"

namespace vellumar {

// A report line that looks empty: the memos show a single space.
inline constexpr std::string_view kReportBlankLine = " ";

// The five lines that open both reports: a blank line, the date and time, the product line,
// `subjectLabel` followed by what the report is about, a blank line.
std::vector<std::string> ReportHeading(std::string_view timestamp, std::string_view subjectLabel,
                                       std::string_view subject);

// The same, stamped with the current local date and time of the log sinks' clock.
std::vector<std::string> ReportHeadingNow(LogSinks& logs, std::string_view subjectLabel, std::string_view subject);

}  // namespace vellumar
