#pragma once

#include "settings/SettingsKeys.h"

#include <QList>
#include <QPair>
#include <QString>

#include <stdexcept>

/// A write to the settings file failed: "Unable to write to <file name>".
class SettingsWriteError : public std::runtime_error
{
public:
    explicit SettingsWriteError(const QString& fileName);
};

/// The profile (INI) file that holds every setting. Every read goes to the file, so a value
/// written is seen by the next read and hand edits are picked up at once. Section and key names
/// match without regard to case; the first of duplicate sections or keys wins. Writes keep every
/// other line as it was and replace the file atomically, so a failure never leaves it truncated.
///
/// Only a regular file of at most MaxFileBytes counts. Anything else at the path (a FIFO, a
/// device, a folder, a file too large) is never waited on nor read past the limit: reads then
/// give the defaults, so the program still runs, problem() says why, and writes throw
/// SettingsWriteError.
class SettingsFile
{
public:
    /// The largest settings file that is read; a real one is a few kilobytes.
    static constexpr qint64 MaxFileBytes = 4 << 20;

    /// Opening does not create the file; the first write does (and its folder).
    explicit SettingsFile(QString path);

    const QString& path() const { return m_path; }

    /// Why the file's values are not used ("<path> is not a regular file", "<path> is larger
    /// than 4194304 bytes", "Cannot open <path>: <reason>"); empty when the file is fine or
    /// missing. Meant for a warning: the reads give the defaults meanwhile.
    QString problem() const;

    /// At most 2047 characters; the default for a missing file, section or key.
    QString readString(const QString& section, const QString& key, const QString& def) const;
    /// Signed decimal, or hexadecimal after "0x"/"0X"/"$"; the default for anything else.
    int readInteger(const QString& section, const QString& key, int def) const;
    /// An integer read: any non-zero value is true.
    bool readBool(const QString& section, const QString& key, bool def) const;

    /// Writes refuse a section, key or value holding a line break (CR or LF), which would break
    /// the file: they throw ComponentError and leave the file as it was.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    using Entries = QList<QPair<QString, QString>>;
    /// Every key of the first section of that name with its value (each at most 2047
    /// characters), in file order; the first of duplicate keys wins. Empty when there is none.
    Entries readSection(const QString& section) const;
    /// Replaces the first section of that name with entries (or adds it at the end) in one
    /// atomic write; every other line stays as it was. Line breaks are refused as above.
    void writeSection(const QString& section, const Entries& entries);

    /// Reads of a key with the default every reader agrees on.
    int read(const Keys::IntKey& k) const;
    bool read(const Keys::BoolKey& k) const;
    QString read(const Keys::StringKey& k) const;
    /// Writes of a key named by its constant.
    void write(const Keys::IntKey& k, int value);
    void write(const Keys::BoolKey& k, bool value);
    void write(const Keys::StringKey& k, const QString& value);

    /// The integer a profile value text stands for, if it is one.
    static bool parseInteger(const QString& text, int& value);

private:
    bool lookup(const QString& section, const QString& key, QString& value) const;

    QString m_path;
};
