#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/installation_record.h"
#include "discovery/record_pdf.h"

namespace {

std::tm at(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
}

RecordCamera camera(int number, const std::string& model = "LAB-IPC-2100")
{
    const std::string n = std::to_string(number);
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:00:00:00:00:%02x", number & 0xff);
    return {n, model, "Connected", "DHCP", "192.168.1." + n, "255.255.255.0", "192.168.1.1",
            "192.168.1.53", mac, "2.15.0", std::to_string(number % 16 + 1)};
}

// Python's own csv module is the reader a site's tools would use; it parses the text back,
// every cell handed over in hexadecimal so that no byte is lost on the way.
std::vector<std::vector<std::string>> parsedByPython(const std::string& csv)
{
    char path[] = "/tmp/record-csv-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, csv.data(), csv.size()), static_cast<ssize_t>(csv.size()));
    close(fd);
    const std::string command =
        std::string("/usr/bin/python3 -c 'import csv,sys\n"
                    "for r in csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")):\n"
                    " print(\" \".join(\"x\" + c.encode().hex() for c in r))' ") + path;
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::vector<std::vector<std::string>> rows;
    char line[8192];
    while (pipe && fgets(line, sizeof line, pipe.get())) {
        std::vector<std::string> cells;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            std::string cell;
            for (std::size_t i = 1; i + 1 < word.size(); i += 2)
                cell += static_cast<char>(std::stoi(word.substr(i, 2), nullptr, 16));
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    pipe.reset();
    unlink(path);
    return rows;
}

std::string pdfText(const std::string& pdf)
{
    char path[] = "/tmp/record-pdf-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_EQ(write(fd, pdf.data(), pdf.size()), static_cast<ssize_t>(pdf.size()));
    close(fd);
    std::unique_ptr<FILE, decltype(&pclose)> pipe(
        popen(("pdftotext -layout " + std::string(path) + " -").c_str(), "r"), &pclose);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        text.append(buffer, n);
    pipe.reset();
    unlink(path);
    return text;
}

InstallationRecord recordOf(int cameras)
{
    InstallationRecord record;
    record.hostName = "nvr";
    record.when = "2026-12-10 14:32";
    record.interfaces = {{"Camera network", "eth1", "192.168.1.1", "255.255.255.0", "02:00:00:00:01:01"},
                         {"Site network", "eth0", "10.20.30.2", "255.255.255.0", ""}};
    record.dhcp = {true, "192.168.1.100", "192.168.1.200", 40, 12, {"192.168.1.53", "8.8.8.8"}};
    for (int i = 1; i <= cameras; ++i)
        record.cameras.push_back(camera(i));
    return record;
}

}  // namespace

TEST(RecordFileNames, HostNameAndMinuteNameBothFiles)
{
    struct Case {
        std::string host;
        std::string stem;
    };
    const Case cases[] = {
        {"nvr", "cameras-nvr-2026-12-10-1432"},
        {"nvr-lobby.site.example", "cameras-nvr-lobby.site.example-2026-12-10-1432"},
        {"a/b:c*d?e\"f<g>h|i\\j k", "cameras-a-b-c-d-e-f-g-h-i-j-k-2026-12-10-1432"},  // FAT refuses these
        {"", "cameras-nvr-2026-12-10-1432"},
        {".hidden", "cameras-nvr.hidden-2026-12-10-1432"},
        {"caméra", "cameras-cam--ra-2026-12-10-1432"},  // each byte of é
    };
    for (const Case& c : cases) {
        const RecordFileNames names = recordFileNames(c.host, at(2026, 12, 10, 14, 32));
        EXPECT_EQ(names.csv, c.stem + ".csv") << c.host;
        EXPECT_EQ(names.pdf, c.stem + ".pdf") << c.host;
    }
    EXPECT_EQ(recordFileNames("nvr", at(2027, 1, 2, 3, 4)).csv, "cameras-nvr-2027-01-02-0304.csv");
    EXPECT_EQ(recordTime(at(2027, 1, 2, 3, 4)), "2027-01-02 03:04");
}

TEST(RecordCsv, HeaderRowCrlfAndQuotingOnlyWhereNeeded)
{
    const std::string csv = recordCsv({camera(1)});
    EXPECT_EQ(csv,
              "Number,Port,Model,Status,Mode,Address,Netmask,Gateway,DNS Server,MAC,Firmware\r\n"
              "1,2,LAB-IPC-2100,Connected,DHCP,192.168.1.1,255.255.255.0,192.168.1.1,192.168.1.53,"
              "02:00:00:00:00:01,2.15.0\r\n");
    EXPECT_EQ(recordCsv({}), "Number,Port,Model,Status,Mode,Address,Netmask,Gateway,DNS Server,MAC,Firmware\r\n");
}

TEST(RecordCsv, HostileModelTextsRoundTripAsText)
{
    // What a camera's discovery reply may hold; a spreadsheet must show it, never run it.
    struct Case {
        std::string model;
        std::string read;  // what a CSV reader gets back
    };
    const Case cases[] = {
        {"Dome, outdoor", "Dome, outdoor"},
        {"The \"big\" one", "The \"big\" one"},
        {"two\nlines", "two\nlines"},
        {"cr\r\nlf", "cr\r\nlf"},
        {"=HYPERLINK(\"http://x\",\"a, b\")", "'=HYPERLINK(\"http://x\",\"a, b\")"},
        {"+1", "'+1"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"},
        {"Caméra ✓", "Caméra ✓"},
        {"", ""},
        {"a=b", "a=b"},  // only a leading sign makes a formula
    };
    std::vector<RecordCamera> cameras;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        cameras.push_back(camera(static_cast<int>(i) + 1, cases[i].model));
    const auto rows = parsedByPython(recordCsv(cameras));
    ASSERT_EQ(rows.size(), std::size(cases) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_EQ(rows[i + 1].size(), kRecordColumns.size()) << cases[i].model;
        EXPECT_EQ(rows[i + 1][2], cases[i].read) << cases[i].model;
        EXPECT_EQ(rows[i + 1][9], camera(static_cast<int>(i) + 1).mac);
    }
}

TEST(RecordPdf, PagesSplitTheCamerasInOrder)
{
    struct Case {
        std::size_t cameras, first, other;
        std::vector<std::pair<std::size_t, std::size_t>> pages;
    };
    const Case cases[] = {
        {0, 20, 28, {{0, 0}}},
        {20, 20, 28, {{0, 20}}},
        {21, 20, 28, {{0, 20}, {20, 21}}},
        {76, 20, 28, {{0, 20}, {20, 48}, {48, 76}}},
        {3, 0, 2, {{0, 0}, {0, 2}, {2, 3}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::size_t, std::size_t>> pages;
        for (const PageRows& page : recordPageRows(c.cameras, c.first, c.other))
            pages.emplace_back(page.first, page.last);
        EXPECT_EQ(pages, c.pages) << c.cameras;
    }
}

TEST(RecordPdf, FortyCamerasRunOverPagesEachNumberedWithTheHeaderRow)
{
    const InstallationRecord record = recordOf(40);
    const std::string text = pdfText(recordPdf(record));

    std::vector<std::string> pages;
    std::size_t start = 0, end;
    while ((end = text.find('\f', start)) != std::string::npos) {
        pages.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_GT(pages.size(), 1u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string& page = pages[i];
        EXPECT_NE(page.find("Page " + std::to_string(i + 1) + " of " + std::to_string(pages.size())),
                  std::string::npos) << page;
        for (const char* head : {"No.", "Port", "Model", "Status", "Address", "Netmask", "Gateway", "DNS Server", "MAC", "Firmware"})
            EXPECT_NE(page.find(head), std::string::npos) << "page " << i + 1 << " lacks " << head;
    }
    // Every camera once, whole: its address and MAC.
    for (const RecordCamera& c : record.cameras) {
        EXPECT_NE(text.find(c.address + " "), std::string::npos) << c.address;
        EXPECT_NE(text.find(c.mac), std::string::npos) << c.mac;
    }
    // The first page tells the recorder's details.
    for (const char* detail : {"Camera Installation Record", "Recorder nvr, 2026-12-10 14:32", "eth1: 192.168.1.1",
                               "eth0: 10.20.30.2", "pool 192.168.1.100 to 192.168.1.200", "40 clients",
                               "lease 12 hours", "192.168.1.53, 8.8.8.8",
                               "Port: the PoE port as on the recorder's back panel, from 1"})
        EXPECT_NE(pages[0].find(detail), std::string::npos) << detail;
}

TEST(RecordPdf, NoCameraAndDhcpOffStillMakeOneFiledPage)
{
    InstallationRecord record = recordOf(0);
    record.dhcp = RecordDhcp{};
    const std::string text = pdfText(recordPdf(record));
    EXPECT_NE(text.find("Page 1 of 1"), std::string::npos) << text;
    EXPECT_NE(text.find("No camera was found."), std::string::npos) << text;
    EXPECT_NE(text.find("Off"), std::string::npos) << text;
    EXPECT_EQ(text.find("Page 2"), std::string::npos) << text;
}
