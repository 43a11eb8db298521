#pragma once

#include "components/lookup/AccurateRip.h"

#include <functional>

class OffsetChecksums;

/// The read offset whose checksums the database confirms with the highest confidence.
struct FoundOffset
{
    int offset = 0;
    int confidence = 0; // summed over the tracks; 0: no offset matched
    int tracks = 0;     // tracks that matched at that offset
};

/// Reads every audio track once through read (index, margin) and weighs each offset within
/// ±margin samples by the confidence of the database's entries its checksums match.
FoundOffset findReadOffset(const AccurateRipAnswer& answer, int trackCount, int margin,
                           const std::function<OffsetChecksums(int index, int margin)>& read);
