#pragma once

#include <QString>

/// How the grabber reads audio sectors. The numbers are the grabber's GrabMode values and what
/// the settings store under Format/mode.
enum class ReadMode {
    Burst = 0,   // plain reads, no checking
    Synch = 1,   // paranoia: overlapped, verified reads (jitter correction), no scratch repair
    Secure = 2,  // paranoia: every check and repair it has, re-reads kept out of the drive's cache
    Paranoid = 3 // as Secure, in small reads of 8 sectors a request
};

/// The mode's number, as GrabMode takes it and the settings store it.
constexpr int readModeValue(ReadMode mode)
{
    return static_cast<int>(mode);
}

/// The mode of a stored number; any number outside 0 .. 3 selects Synch.
constexpr ReadMode readModeFromValue(int value)
{
    return value >= 0 && value <= 3 ? static_cast<ReadMode>(value) : ReadMode::Synch;
}

/// "Burst", "Synch", "Secure" or "Paranoid".
inline QString readModeName(ReadMode mode)
{
    static const char* const Names[] = {"Burst", "Synch", "Secure", "Paranoid"};
    return QLatin1String(Names[readModeValue(mode)]);
}
