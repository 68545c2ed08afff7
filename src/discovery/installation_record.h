// The installation record: what the wizard learned about the recorder and its cameras, saved
// as a spreadsheet file and a printable report. Passwords have no place in it.
#pragma once

#include <ctime>
#include <string>
#include <vector>

// One row of the camera list, with the address settings the camera itself last told.
struct RecordCamera {
    std::string number, model, status, mode, address, netmask, gateway, dns, mac, firmware;
    std::string port;  // as on the recorder's back panel, from "1"; empty until Find Ports found it
};

struct RecordInterface {
    std::string role;  // "Camera network" or "Site network"
    std::string name, address, netmask, mac;
};

struct RecordDhcp {
    bool on = false;
    std::string poolStart, poolEnd;
    int clients = 0;
    int leaseHours = 0;
    std::vector<std::string> dnsServers;  // the ones given, in order
};

struct InstallationRecord {
    std::string hostName;
    std::string when;  // local date and time, "2026-12-10 14:32"
    std::vector<RecordInterface> interfaces;
    RecordDhcp dhcp;
    std::vector<RecordCamera> cameras;
};

// The columns of both files, in their order.
inline const std::vector<std::string> kRecordColumns = {
    "Number", "Port", "Model", "Status", "Mode", "Address", "Netmask", "Gateway", "DNS Server", "MAC", "Firmware"};
std::vector<std::string> recordCells(const RecordCamera& camera);

// "2026-12-10 14:32".
std::string recordTime(const std::tm& local);

// The two files' names, "cameras-HOST-2026-12-10-1432.csv" and ".pdf"; a host name character
// that a USB stick's file system or a shell would trip on becomes "-".
struct RecordFileNames {
    std::string csv, pdf;
};
RecordFileNames recordFileNames(const std::string& hostName, const std::tm& local);

// RFC 4180: a header row, CRLF line ends, a field quoted when it holds a comma, a quote or a
// line end. A field a spreadsheet would run as a formula gets a leading apostrophe.
std::string recordCsv(const std::vector<RecordCamera>& cameras);
