#pragma once

#include <QString>

/// The longest file or folder name, in bytes, that the file systems we write to accept.
inline constexpr int MaxNameBytes = 255;

/// name cut to at most maxBytes bytes of UTF-8, at a character boundary (surrogate pairs stay
/// whole).
QString cutToUtf8Bytes(const QString& name, int maxBytes);
