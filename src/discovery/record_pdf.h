// The installation record as a printable report: A4 landscape pages with a title, the
// recorder's interfaces and DHCP settings, and the camera table, every page numbered and with
// the table's header row.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "discovery/installation_record.h"

// Which cameras go on which page: [first, last) per page; one page even with no camera.
struct PageRows {
    std::size_t first, last;
};
std::vector<PageRows> recordPageRows(std::size_t cameras, std::size_t onFirstPage,
                                     std::size_t onOtherPages);

// The report's PDF bytes.
std::string recordPdf(const InstallationRecord& record);
