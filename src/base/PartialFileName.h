#pragma once

#include <QString>

/// A file that is still being written stays under a hidden partial name in the folder of its
/// final name: "." + final name + "." + a unique tag + ".part". The name is cut so that it fits
/// the file system, the final name first giving way.
QString partialFileName(const QString& finalName, const QString& uniqueTag);

/// Whether name is a partial name: "." + a name + "." + a unique tag + ".part".
bool isPartialFileName(const QString& name);

/// The final name a partial name was made for; the name itself when it is no partial name. Lets a
/// writer derive from the final name what must not depend on where the file was written first.
QString finalFileName(const QString& name);
