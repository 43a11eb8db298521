#pragma once

#include "base/ReadMode.h"

/// What becomes of a sector that cannot be read within the retries.
enum class SectorErrorAction {
    Stop,    // the read fails, naming device, track and sector
    Silence, // the sector becomes silence
    Cut      // the sector is left out
};

/// The grabber's read options. The component values outside their ranges fall back to these
/// defaults: GrabMode 1 (Synch), ReadRetries 1, ErrorAction 0 (Stop).
struct ReadOptions
{
    static constexpr int MaxRetries = 100;
    static constexpr int MaxOffset = 3000;

    ReadMode mode = ReadMode::Synch;
    int retries = 1; // further attempts at a sector after its first read fails
    SectorErrorAction errorAction = SectorErrorAction::Stop;
    int offset = 0; // samples (stereo frames) the audio is shifted by: the drive's read offset
    bool deEmphasis = false; // tracks recorded with pre-emphasis are de-emphasized

    /// Whether audio read from track is to be de-emphasized.
    bool deEmphasizes(bool preEmphasis) const { return deEmphasis && preEmphasis; }

    static ReadMode modeFromValue(int value) { return readModeFromValue(value); }
    static int retriesFromValue(int value) { return value >= 0 && value <= MaxRetries ? value : 1; }
    static int offsetFromValue(int value)
    {
        return value >= -MaxOffset && value <= MaxOffset ? value : 0;
    }
    static SectorErrorAction errorActionFromValue(int value)
    {
        return value >= 0 && value <= 2 ? static_cast<SectorErrorAction>(value)
                                        : SectorErrorAction::Stop;
    }
};
