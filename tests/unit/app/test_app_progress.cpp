#include <gtest/gtest.h>

#include "app/Progress.h"
#include "unit/app/RecordingOperator.h"

TEST(Progress, BuiltInShareIsTheSinglePrecisionQuotient)
{
    EXPECT_FLOAT_EQ(kBuiltInProgressShare, 0.17481840f);
    EXPECT_EQ(ProgressShareFor(202084), kBuiltInProgressShare);
    EXPECT_FLOAT_EQ(ProgressShareFor(35328), 1.0f);
    EXPECT_EQ(ProgressShareFor(0), 0.0f);
}

TEST(Progress, WriteEventsRoundTheAccumulatorHalfUp)
{
    ProgressCounters counters;
    counters.accumulator = 21.0f;
    int bar = 21;
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        bar = NextProgressPosition(counters, bar, 'W');
        seen.push_back(bar);
    }
    EXPECT_EQ(seen, (std::vector<int>{21, 21, 22}));
}

TEST(Progress, EraseEventsAddTheStepAndOtherEventsChangeNothing)
{
    ProgressCounters counters;
    counters.step = 3;
    counters.accumulator = 50.0f;
    EXPECT_EQ(NextProgressPosition(counters, 8, 'X'), 11);
    EXPECT_EQ(NextProgressPosition(counters, 8, 'w'), 8);
    EXPECT_EQ(NextProgressPosition(counters, 8, '\0'), 8);
    EXPECT_EQ(counters.accumulator, 50.0f);
}

// The loader raises a 'W' event every 512 characters of the image, starting
// at 0, and one more at the end: the whole built-in image takes the bar from
// 21 to about 90.
TEST(Progress, WholeBuiltInUploadEndsNearNinety)
{
    RecordingOperator op;
    op.counters.accumulator = 21.0f;
    op.SetProgress(21);
    for (std::size_t position = 0; position < kBuiltInImageLength; position += 512) {
        ASSERT_TRUE(op.UpdateProgress(kBuiltInImageLength, static_cast<unsigned>(position), 1, 'W'));
    }
    op.UpdateProgress(kBuiltInImageLength, kBuiltInImageLength, 2, 'W');
    EXPECT_EQ(op.Progress(), 90);
}

TEST(Progress, CallbackAnswersKeepGoing)
{
    RecordingOperator op;
    op.keepGoing = false;
    EXPECT_FALSE(op.UpdateProgress(0, 0, 1, 'X'));
    EXPECT_EQ(op.Progress(), 1);
}
