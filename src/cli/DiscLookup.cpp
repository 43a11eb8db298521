#include "cli/DiscLookup.h"

#include "base/IAudioCDGrabber2.h"
#include "base/IFreeDBInformation2.h"
#include "components/lookup/FreeDBLog.h"

#include <QEventLoop>

int lookUpDisc(IAudioCDGrabber2& grabber, IFreeDBInformation2& info,
               const std::function<void(const QString&)>& log)
{
    QEventLoop loop;
    int result = FreeDBStatus::NoEntry;
    QObject::connect(&info, &IFreeDBInformation2::logLine, &loop, log);
    QObject::connect(&grabber, &IAudioCDGrabber2::OnFreeDBQueryStatus, &loop, [&](int status) {
        for (const QString& line : freeDBStatusLines(status))
            log(line);
        if (FreeDBStatus::isFinal(status)) {
            result = status;
            loop.quit();
        }
    });
    grabber.QueryFreeDB(info, 1);
    // The lookup's own time-out ends it, also when a server never answers.
    loop.exec();
    return result;
}
