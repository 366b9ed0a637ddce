#include "CheckFindings.h"

#include <algorithm>

namespace {

int countOf(const CheckReport& report, Severity severity)
{
    return static_cast<int>(std::count_if(report.findings.begin(), report.findings.end(),
                                          [&](const CheckFinding& f) { return f.severity == severity; }));
}

} // namespace

int CheckReport::Errors() const { return countOf(*this, Severity::Error); }

int CheckReport::Warnings() const { return countOf(*this, Severity::Warning); }

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
