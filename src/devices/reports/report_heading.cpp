#include "devices/reports/report_heading.h"

#include "devices/base/product.h"
#include "devices/base/text_format.h"

namespace vellumar {

std::vector<std::string> ReportHeading(std::string_view timestamp, std::string_view subjectLabel,
                                       std::string_view subject) {
  return {std::string(kReportBlankLine), "Current date and time: " + std::string(timestamp),
          std::string(kProductName) + "; " + std::string(kProductWebAddress),
          std::string(subjectLabel) + std::string(subject), std::string(kReportBlankLine)};
}

std::vector<std::string> ReportHeadingNow(LogSinks& logs, std::string_view subjectLabel, std::string_view subject) {
  return ReportHeading(FormatTimestamp(logs.WallClock().LocalTime(), logs.Locale()), subjectLabel, subject);
}

}  // namespace vellumar
