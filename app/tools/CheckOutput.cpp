#include "CheckOutput.h"

#include <cstdio>

namespace {

void print(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

std::string FindingLine(const CheckFinding& finding)
{
    return finding.Subject() + (finding.severity == Severity::Error ? ": error: " : ": warning: ") + finding.text;
}

std::string SummaryLine(const CheckReport& report)
{
    return Plural(report.characters, "character", "characters") + ", " + Plural(report.skins, "skin", "skins") +
           ": " + Plural(report.Errors(), "error", "errors") + ", " + Plural(report.Warnings(), "warning", "warnings");
}

void WriteTextReport(const CheckReport& report)
{
    for (const CheckFinding& finding : report.findings)
        print(FindingLine(finding));
    print(SummaryLine(report));
    std::fflush(stdout);
}
