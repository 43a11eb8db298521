#pragma once

#include <array>

/// The disc-information servers the settings dialog offers; Freedb/site stores the position.
namespace FreedbSites {

inline constexpr std::array<const char*, 11> Hosts{
    "gnudb.gnudb.org", "freedb.dbpoweramp.com", "freedb.freedb.org", "us.freedb.org",
    "ca.freedb.org",   "de.freedb.org",         "at.freedb.org",     "es.freedb.org",
    "fi.freedb.org",   "ru.freedb.org",         "uk.freedb.org",
};

} // namespace FreedbSites
