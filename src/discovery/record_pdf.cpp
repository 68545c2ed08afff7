#include "discovery/record_pdf.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>
#include <cairomm/context.h>
#include <cairomm/surface.h>
#include <pangomm/init.h>
#include <pangomm/layout.h>

#include <algorithm>
#include <mutex>

namespace {

// A4 landscape, in points: eleven columns need the width.
constexpr double kPageWidth = 842;
constexpr double kPageHeight = 595;
constexpr double kMargin = 40;
constexpr double kRowHeight = 16;
constexpr double kCellPadding = 3;
constexpr double kFooterTop = kPageHeight - kMargin + 12;
// Where the table's header row begins: below the recorder's details on the first page, below
// a one-line heading on the others.
constexpr double kFirstTableTop = 184;
constexpr double kOtherTableTop = kMargin + 24;
constexpr double kTableBottom = kPageHeight - kMargin;

// Widths of the eleven columns; together the page's width inside its margins (762 points).
constexpr double kColumnWidths[] = {22, 26, 100, 70, 40, 78, 78, 78, 78, 88, 104};
// The header row's own short names, so that each fits its column.
const char* const kColumnHeads[] = {"No.",     "Port",    "Model",   "Status",     "Mode", "Address",
                                    "Netmask", "Gateway", "DNS Server", "MAC",  "Firmware"};
static_assert(std::size(kColumnWidths) == std::size(kColumnHeads), "one width per column");

constexpr const char* kBodyFont = "Sans 8";
constexpr const char* kBoldFont = "Sans Bold 8";

std::size_t rowsBetween(double top)
{
    return static_cast<std::size_t>((kTableBottom - top - kRowHeight) / kRowHeight);
}

class Page {
public:
    explicit Page(const Cairo::RefPtr<Cairo::Context>& cr) : cr_(cr) {}

    // One line of text at (x, y), cut with an ellipsis at `width`; right-aligned when asked.
    void text(const std::string& line, double x, double y, double width, const char* font,
              bool right = false)
    {
        Glib::RefPtr<Pango::Layout> layout = Pango::Layout::create(cr_);
        // Font sizes in points on a page measured in points, not at the screen's 96 dpi.
        pango_cairo_context_set_resolution(layout->get_context()->gobj(), 72);
        layout->context_changed();
        layout->set_font_description(Pango::FontDescription(font));
        layout->set_text(line);
        layout->set_width(static_cast<int>(width * PANGO_SCALE));
        layout->set_ellipsize(Pango::ELLIPSIZE_END);
        layout->set_alignment(right ? Pango::ALIGN_RIGHT : Pango::ALIGN_LEFT);
        cr_->move_to(x, y);
        layout->show_in_cairo_context(cr_);
    }

    void fill(double x, double y, double width, double height, double r, double g, double b)
    {
        cr_->save();
        cr_->set_source_rgb(r, g, b);
        cr_->rectangle(x, y, width, height);
        cr_->fill();
        cr_->restore();
    }

    void rule(double y)
    {
        cr_->save();
        cr_->set_source_rgb(0.6, 0.6, 0.6);
        cr_->set_line_width(0.5);
        cr_->move_to(kMargin, y);
        cr_->line_to(kPageWidth - kMargin, y);
        cr_->stroke();
        cr_->restore();
    }

    void colour(double grey) { cr_->set_source_rgb(grey, grey, grey); }
    void white() { cr_->set_source_rgb(1, 1, 1); }

private:
    Cairo::RefPtr<Cairo::Context> cr_;
};

void tableRow(Page& page, const std::vector<std::string>& cells, double y, const char* font)
{
    double x = kMargin;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        page.text(cells[i], x + kCellPadding, y + 2.5, kColumnWidths[i] - 2 * kCellPadding, font);
        x += kColumnWidths[i];
    }
}

void table(Page& page, const std::vector<RecordCamera>& cameras, PageRows rows, double top)
{
    const double width = kPageWidth - 2 * kMargin;
    page.fill(kMargin, top, width, kRowHeight, 0.18, 0.27, 0.40);
    page.white();
    tableRow(page, std::vector<std::string>(std::begin(kColumnHeads), std::end(kColumnHeads)), top,
             kBoldFont);
    page.colour(0);
    double y = top + kRowHeight;
    for (std::size_t i = rows.first; i < rows.last; ++i, y += kRowHeight) {
        if ((i - rows.first) % 2 == 1)
            page.fill(kMargin, y, width, kRowHeight, 0.93, 0.94, 0.96);
        tableRow(page, recordCells(cameras[i]), y, kBodyFont);
    }
    page.rule(y);
    if (cameras.empty())
        page.text("No camera was found.", kMargin + kCellPadding, y + 4, width, kBodyFont);
}

std::string dhcpLine(const RecordDhcp& dhcp)
{
    if (!dhcp.on)
        return "Off: the recorder gives the cameras no address.";
    std::string line = "On, pool " + dhcp.poolStart + " to " + dhcp.poolEnd + ", " +
                       std::to_string(dhcp.clients) + " clients, lease " +
                       std::to_string(dhcp.leaseHours) + " hours, DNS servers ";
    if (dhcp.dnsServers.empty())
        return line + "none";
    for (std::size_t i = 0; i < dhcp.dnsServers.size(); ++i)
        line += (i > 0 ? ", " : "") + dhcp.dnsServers[i];
    return line;
}

std::string interfaceLine(const RecordInterface& net)
{
    if (net.address.empty())
        return net.name + ": no IPv4 address";
    std::string line = net.name + ": " + net.address;
    if (!net.netmask.empty())
        line += ", netmask " + net.netmask;
    if (!net.mac.empty())
        line += ", MAC " + net.mac;
    return line;
}

void recorderDetails(Page& page, const InstallationRecord& record)
{
    page.colour(0);
    page.text("Camera Installation Record", kMargin, kMargin, 500, "Sans Bold 18");
    page.colour(0.3);
    page.text("Recorder " + record.hostName + ", " + record.when, kMargin, kMargin + 30, 500,
              "Sans 10");
    page.rule(kMargin + 54);

    constexpr double kLabelWidth = 130;
    constexpr double kLine = 16;
    double y = kMargin + 64;
    for (const RecordInterface& net : record.interfaces) {
        page.colour(0.3);
        page.text(net.role, kMargin, y, kLabelWidth, "Sans Bold 9");
        page.colour(0);
        page.text(interfaceLine(net), kMargin + kLabelWidth, y, 620, "Sans 9");
        y += kLine;
    }
    page.colour(0.3);
    page.text("DHCP server", kMargin, y, kLabelWidth, "Sans Bold 9");
    page.colour(0);
    page.text(dhcpLine(record.dhcp), kMargin + kLabelWidth, y, 620, "Sans 9");
    y += kLine;
    page.colour(0.3);
    page.text("Cameras", kMargin, y, kLabelWidth, "Sans Bold 9");
    page.colour(0);
    page.text(std::to_string(record.cameras.size()) + "; Port: the PoE port as on the recorder's back panel, from 1",
              kMargin + kLabelWidth, y, 620, "Sans 9");
}

void footer(Page& page, const InstallationRecord& record, std::size_t number, std::size_t count)
{
    page.rule(kFooterTop - 4);
    page.colour(0.3);
    page.text("Installation record of " + record.hostName + ", " + record.when, kMargin,
              kFooterTop, 500, "Sans 8");
    page.text("Page " + std::to_string(number) + " of " + std::to_string(count),
              kPageWidth - kMargin - 200, kFooterTop, 200, "Sans 8", true);
}

}  // namespace

std::vector<PageRows> recordPageRows(std::size_t cameras, std::size_t onFirstPage,
                                     std::size_t onOtherPages)
{
    std::vector<PageRows> pages{{0, std::min(cameras, onFirstPage)}};
    while (pages.back().last < cameras) {
        const std::size_t first = pages.back().last;
        pages.push_back({first, std::min(cameras, first + std::max<std::size_t>(onOtherPages, 1))});
    }
    return pages;
}

std::string recordPdf(const InstallationRecord& record)
{
    static std::once_flag pangoReady;
    std::call_once(pangoReady, [] { Pango::init(); });

    std::string bytes;
    Cairo::RefPtr<Cairo::PdfSurface> surface = Cairo::PdfSurface::create_for_stream(
        [&bytes](const unsigned char* data, unsigned int length) {
            bytes.append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        kPageWidth, kPageHeight);
    const std::string title = "Camera installation record, " + record.hostName + ", " + record.when;
    cairo_pdf_surface_set_metadata(surface->cobj(), CAIRO_PDF_METADATA_TITLE, title.c_str());
    cairo_pdf_surface_set_metadata(surface->cobj(), CAIRO_PDF_METADATA_CREATOR,
                                   "Velnor Configuration Tool");

    Cairo::RefPtr<Cairo::Context> cr = Cairo::Context::create(surface);
    Page page(cr);
    const std::vector<PageRows> pages = recordPageRows(
        record.cameras.size(), rowsBetween(kFirstTableTop), rowsBetween(kOtherTableTop));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        double top = kOtherTableTop;
        if (i == 0) {
            recorderDetails(page, record);
            top = kFirstTableTop;
        } else {
            page.colour(0);
            page.text("Cameras of " + record.hostName + " (continued)", kMargin, kMargin, 500,
                      "Sans Bold 10");
        }
        table(page, record.cameras, pages[i], top);
        footer(page, record, i + 1, pages.size());
        cr->show_page();
    }
    cr.clear();
    surface->finish();
    return bytes;
}
