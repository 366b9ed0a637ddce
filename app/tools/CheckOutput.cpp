#include "CheckOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kSarifSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr const char* kSarifVersion = "2.1.0";
constexpr const char* kToolName = "Quillmo";
// SARIF's name for the root the locations are relative to: here the game data.
constexpr const char* kSourceRoot = "%SRCROOT%";

const char* severityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

// Names read from files may hold bytes that are no UTF-8: they are written
// as the replacement character rather than failing the report.
std::string dump(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

Json summaryOf(const CheckReport& report)
{
    return {{"characters", report.characters},
            {"skins", report.skins},
            {"errors", report.Errors()},
            {"warnings", report.Warnings()}};
}

// A path of the game data as a relative URI: every byte but unreserved
// characters and "/" percent-encoded.
std::string uriOf(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

Json sarifResult(const CheckFinding& finding)
{
    const std::vector<FindingKind>& kinds = AllFindingKinds();
    Json result = {{"ruleId", FindingKindId(finding.kind)},
                   {"ruleIndex", std::find(kinds.begin(), kinds.end(), finding.kind) - kinds.begin()},
                   {"level", severityName(finding.severity)},
                   {"message", {{"text", finding.text}}}};
    if (!finding.file.empty()) {
        Json location = {{"artifactLocation", {{"uri", uriOf(finding.file)}, {"uriBaseId", kSourceRoot}}}};
        if (finding.line > 0)
            location["region"] = {{"startLine", finding.line}};
        result["locations"] = Json::array({{{"physicalLocation", location}}});
    }
    result["properties"] = {{"character", finding.character}, {"skin", finding.skin}, {"gameDoes", finding.gameDoes}};
    return result;
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

std::string TextReport(const CheckReport& report)
{
    std::string text;
    for (const CheckFinding& finding : report.findings)
        text += FindingLine(finding) + "\n";
    return text + SummaryLine(report) + "\n";
}

std::string JsonReport(const CheckReport& report)
{
    Json findings = Json::array();
    for (const CheckFinding& f : report.findings)
        findings.push_back({{"character", f.character},
                            {"skin", f.skin},
                            {"severity", severityName(f.severity)},
                            {"file", f.file},
                            {"line", f.line > 0 ? Json(f.line) : Json(nullptr)},
                            {"kind", FindingKindId(f.kind)},
                            {"message", f.text},
                            {"gameDoes", f.gameDoes}});
    return dump({{"findings", findings}, {"summary", summaryOf(report)}});
}

std::string SarifReport(const CheckReport& report)
{
    Json rules = Json::array();
    for (const FindingKind kind : AllFindingKinds())
        rules.push_back({{"id", FindingKindId(kind)}, {"shortDescription", {{"text", FindingKindRule(kind)}}}});
    Json results = Json::array();
    for (const CheckFinding& finding : report.findings)
        results.push_back(sarifResult(finding));
    const Json run = {{"tool", {{"driver", {{"name", kToolName}, {"rules", rules}}}}},
                      {"results", results},
                      {"properties", summaryOf(report)}};
    return dump({{"$schema", kSarifSchema}, {"version", kSarifVersion}, {"runs", Json::array({run})}});
}
