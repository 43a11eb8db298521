#pragma once

#include "base/IAudioCDGrabber2.h"

#include <QList>
#include <QString>

/// One drive of the grabber: a hardware CD drive, or a disc-image path standing in for one.
struct Drive
{
    enum class Kind { Hardware, Image };

    Kind kind = Kind::Hardware;
    QString path;        // device path, or the image's path
    QString imageFormat; // "CUE", "TOC", "NRG", "ISO" or the upper-case suffix; hardware: empty

    bool isImage() const { return kind == Kind::Image; }
};

/// The hardware drives libcdio finds, then one image drive per path in TUNECREST_IMAGE_DRIVES
/// (paths separated by ':').
QList<Drive> findDrives();

/// The image drive of the disc image at path.
Drive imageDrive(const QString& path);

/// The hardware drive at the device path.
Drive hardwareDrive(const QString& path);

/// Whether path leads (through links) to a block device, as a CD drive's path does.
bool isBlockDevice(const QString& path);

/// Vendor, model and revision of a hardware drive; "Disc Image", file name and format of an
/// image drive.
DriveDescription describe(const Drive& drive);
