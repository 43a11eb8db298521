#pragma once

#include <QUrl>

class SettingsFile;

/// The time-out of every lookup request in milliseconds (Freedb/timeout); anything that is not
/// a number from 1 to 10 minutes gives the default of 10 s.
int lookupTimeout(const SettingsFile& settings);

/// A server address setting without a trailing '/'; only http and https with a host are taken,
/// anything else gives def.
QUrl httpServerSetting(const QString& text, const char* def);
