#include "discovery/scan_rows.h"

#include <glib.h>

#include <memory>

std::string mendUtf8(const std::string& text)
{
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return text;
    std::unique_ptr<gchar, decltype(&g_free)> mended(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())), &g_free);
    return mended ? std::string(mended.get()) : std::string();
}
