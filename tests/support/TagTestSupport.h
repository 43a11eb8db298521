#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <taglib/tstring.h>

/// A text TagLib read, as a QString.
inline QString fromTagLib(const TagLib::String& text)
{
    return QString::fromUtf8(text.toCString(true));
}

/// The owner, group and other permission bits of file (Qt's "user" bits say what the current
/// user may do, which for root is everything).
inline QFileDevice::Permissions modeBits(const QString& file)
{
    return QFileInfo(file).permissions() & QFileDevice::Permissions(0x7077);
}

/// Every entry of folder, hidden ones included.
inline QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
