#pragma once

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <memory>

// Owners of libcdio's handles. A reader declares them device, drive, paranoia, so they are
// released paranoia first, then the drive, then the device, as libcdio requires.

struct CdIoDeleter
{
    void operator()(CdIo_t* device) const { cdio_destroy(device); }
};
using CdIoHandle = std::unique_ptr<CdIo_t, CdIoDeleter>;

/// The drive borrows its device: closing it leaves the CdIo_t to its own owner.
struct CddaDriveDeleter
{
    void operator()(cdrom_drive_t* drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
using CddaDriveHandle = std::unique_ptr<cdrom_drive_t, CddaDriveDeleter>;

struct ParanoiaDeleter
{
    void operator()(cdrom_paranoia_t* paranoia) const { cdio_paranoia_free(paranoia); }
};
using ParanoiaHandle = std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter>;

struct DeviceListDeleter
{
    void operator()(char** list) const { cdio_free_device_list(list); }
};
using DeviceList = std::unique_ptr<char*, DeviceListDeleter>;
