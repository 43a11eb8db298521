#include "components/lookup/AccurateRip.h"

#include <gtest/gtest.h>

namespace {

// An Enhanced CD of ten audio tracks and a data session, with the ids the database files it
// under (published with the disc's table of contents). The lookups place the data track after
// the gap between the sessions, as a drive reports it; frames count from the disc's start.
TEST(AccurateRipDiscId, AnEnhancedCdCountsItsAudioTracksAndTheWholeDiscsLeadOut)
{
    const FreeDBDisc disc(
        {150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260, 247455, 281735}, 333801,
        {false, false, false, false, false, false, false, false, false, false, true});
    const AccurateRipDiscId id = accurateRipDiscId(disc);
    EXPECT_EQ(id.text(), QStringLiteral("010-00164419-00b9f6e2-9e11600b"));
    EXPECT_EQ(id.path(),
              QStringLiteral("/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin"));
}

// A data track ahead of the audio (a mixed-mode CD) is left out of the sums and the count.
TEST(AccurateRipDiscId, AMixedModeCdLeavesItsDataTrackOut)
{
    const QList<int> offsets{150,    66728,  76502,  85963,  93760,  104048, 116066, 124743,
                             134206, 142916, 151852, 160720, 169425, 178731, 188459, 196711,
                             206354, 214845, 223686, 225746, 226384, 232668, 239447, 239931,
                             244989, 254264, 260066, 261222, 261674};
    QList<bool> data(offsets.size(), false);
    data[0] = true;
    EXPECT_EQ(accurateRipDiscId(FreeDBDisc(offsets, 261976, data)).text(),
              QStringLiteral("028-00517a54-05a845d2-af0da31d"));
}

} // namespace
