#pragma once

#include <QString>

#include <functional>

class IAudioCDGrabber2;
class IFreeDBInformation2;

/// Looks the disc of the grabber's last read up through info and waits, in the event loop, for
/// the lookup's last status, which it returns (FreeDBStatus). Every line of the lookup's log
/// goes to log as it comes.
int lookUpDisc(IAudioCDGrabber2& grabber, IFreeDBInformation2& info,
               const std::function<void(const QString&)>& log);
