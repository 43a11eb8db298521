#pragma once

#include <QString>

/// Shows summary and body as a notification of the desktop's notification service (the D-Bus
/// service org.freedesktop.Notifications on the session bus). The message is sent without
/// waiting for an answer; with no session bus, or no service on it, nothing is shown and
/// nothing fails.
void notifyDesktop(const QString& summary, const QString& body);
