#pragma once

#include <QStringList>

/// The lines a lookup's log shows for a status; none for a status it does not know.
QStringList freeDBStatusLines(int status);
