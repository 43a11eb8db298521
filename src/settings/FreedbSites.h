#pragma once

#include <array>

/// One disc-information server of the site list, as `Freedb`/`site` indexes it.
struct FreedbSite
{
    const char* host;
    const char* path; // the CGI that answers the requests
};

/// The site list, in the order the settings store their index. Entry 0 answers today.
inline constexpr std::array<FreedbSite, 11> FreedbSites{{
    {"gnudb.gnudb.org", "/~cddb/cddb.cgi"},
    {"gnudb.org", "/~cddb/cddb.cgi"},
    {"freedb.freedb.org", "/~cddb/cddb.cgi"},
    {"us.freedb.org", "/~cddb/cddb.cgi"},
    {"ca.freedb.org", "/~cddb/cddb.cgi"},
    {"de.freedb.org", "/~cddb/cddb.cgi"},
    {"at.freedb.org", "/~cddb/cddb.cgi"},
    {"uk.freedb.org", "/~cddb/cddb.cgi"},
    {"fr.freedb.org", "/~cddb/cddb.cgi"},
    {"ru.freedb.org", "/~cddb/cddb.cgi"},
    {"jp.freedb.org", "/~cddb/cddb.cgi"},
}};

/// The site at index; index 0 for one outside the list.
inline const FreedbSite& freedbSite(int index)
{
    return index >= 0 && index < static_cast<int>(FreedbSites.size()) ? FreedbSites[index]
                                                                      : FreedbSites[0];
}
