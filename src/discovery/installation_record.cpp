#include "discovery/installation_record.h"

#include <cstdio>

namespace {

// A cell beginning with one of these is a formula to a spreadsheet (tab and CR start one too).
constexpr const char* kFormulaStarts = "=+-@\t\r";
constexpr const char* kNeedsQuotes = ",\"\r\n";

std::string csvField(std::string value)
{
    if (!value.empty() && std::string(kFormulaStarts).find(value.front()) != std::string::npos)
        value.insert(0, "'");
    if (value.find_first_of(kNeedsQuotes) == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csvLine(const std::vector<std::string>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += ',';
        line += csvField(cells[i]);
    }
    return line + "\r\n";
}

bool safeInFileName(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

std::string formatted(const char* format, const std::tm& local)
{
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

}  // namespace

std::vector<std::string> recordCells(const RecordCamera& camera)
{
    return {camera.number,  camera.port,    camera.model, camera.status, camera.mode, camera.address,
            camera.netmask, camera.gateway, camera.dns,   camera.mac,    camera.firmware};
}

std::string recordTime(const std::tm& local)
{
    return formatted("%Y-%m-%d %H:%M", local);
}

RecordFileNames recordFileNames(const std::string& hostName, const std::tm& local)
{
    std::string host;
    for (const char c : hostName)
        host += safeInFileName(c) ? c : '-';
    // A leading dot would hide the files; an empty name would leave "cameras--".
    if (host.empty() || host.front() == '.')
        host.insert(0, "nvr");
    const std::string stem = "cameras-" + host + "-" + formatted("%Y-%m-%d-%H%M", local);
    return {stem + ".csv", stem + ".pdf"};
}

std::string recordCsv(const std::vector<RecordCamera>& cameras)
{
    std::string text = csvLine(kRecordColumns);
    for (const RecordCamera& camera : cameras)
        text += csvLine(recordCells(camera));
    return text;
}
