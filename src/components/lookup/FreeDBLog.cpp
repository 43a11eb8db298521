#include "components/lookup/FreeDBLog.h"

#include "base/IFreeDBInformation2.h"

QStringList freeDBStatusLines(int status)
{
    switch (status) {
    case FreeDBStatus::Connecting:
        return {QStringLiteral("Connecting to  server...")};
    case FreeDBStatus::Querying:
        return {QStringLiteral("Quering for album entry...")};
    case FreeDBStatus::Loaded:
        return {QStringLiteral("FreeDB information loaded"),
                QStringLiteral("Refresh CD information...")};
    case FreeDBStatus::ConnectionFailed:
        return {QStringLiteral("Connection failed!")};
    case FreeDBStatus::NoEntry:
        return {QStringLiteral("No FreeDB information available for this CD!")};
    case FreeDBStatus::MusicBrainzQuerying:
        return {QStringLiteral("Looking up the disc in MusicBrainz...")};
    case FreeDBStatus::MusicBrainzLoaded:
        return {QStringLiteral("MusicBrainz information loaded"),
                QStringLiteral("Refresh CD information...")};
    case FreeDBStatus::MusicBrainzNoRelease:
        return {QStringLiteral("No MusicBrainz release for this CD.")};
    case FreeDBStatus::MusicBrainzFailed:
        return {QStringLiteral("Connection failed!")};
    default:
        return {};
    }
}
