#pragma once

#include <QByteArray>
#include <QString>

/// The outcome of reading a file that must be an ordinary one.
struct RegularFileContents
{
    enum class Status {
        Read,       // bytes holds the whole file
        Missing,    // nothing at the path
        NotRegular, // a FIFO, a device, a folder, a socket
        TooLarge,   // more than the limit
        Unreadable, // it exists, but cannot be opened or read
    };
    Status status = Status::Missing;
    QByteArray bytes;
    QString error; // for NotRegular, TooLarge and Unreadable: what is wrong, naming the path

    bool ok() const { return status == Status::Read; }
};

/// Reads the whole file at path (a symbolic link is followed) if it is a regular file of at
/// most maxBytes. Never blocks: a FIFO or a device is opened without waiting for a writer and
/// refused before anything is read from it. No more than maxBytes + 1 bytes are ever read.
RegularFileContents readRegularFile(const QString& path, qint64 maxBytes);

/// Checks, without opening it, that path leads to a regular file; empty when it does, else
/// "<path> does not exist" or "<path> is not a regular file" (a FIFO, a device, a folder).
QString regularFileProblem(const QString& path);
