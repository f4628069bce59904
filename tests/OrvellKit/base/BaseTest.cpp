#include "base/EnumNames.h"
#include "base/IsoDate.h"
#include "base/SerialQueue.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

TEST(IsoDate, writesMillisecondsAndReadsInternetDateTimes) {
    EXPECT_EQ(IsoDate::toString(1767621792.345), "2026-01-05T14:03:12.345Z");
    EXPECT_EQ(IsoDate::fromString("2026-01-05T14:03:12Z"), 1767621792.0);
    EXPECT_NEAR(*IsoDate::fromString("2026-01-05T14:03:12.345Z"), 1767621792.345, 1e-6);
    EXPECT_EQ(IsoDate::fromString("2026-01-05T15:03:12+01:00"), 1767621792.0);
    EXPECT_EQ(IsoDate::fromString("2026-01-05"), std::nullopt);
    EXPECT_EQ(IsoDate::fromString("2026-02-30T00:00:00Z"), std::nullopt);
    EXPECT_EQ(IsoDate::fromString("2026-01-05T14:03:12"), std::nullopt);
    EXPECT_EQ(IsoDate::stamp(1767621792.9), "20260105-140312");
}

TEST(SerialQueue, anAbandoningQueueLetsTheRunningJobFinishAndDropsTheRest) {
    std::promise<void> running, release;
    std::promise<void> finished;
    std::atomic<int> laterRuns{0};
    auto queue = std::make_unique<SerialQueue>(SerialQueue::Ending::abandonQueued);
    queue->post([&] {
        running.set_value();
        release.get_future().wait();
        finished.set_value();
    });
    queue->post([&] { ++laterRuns; });
    running.get_future().wait();
    // Destroying it while the job is held returns at once (it would hang here
    // if it waited for the job).
    queue.reset();
    release.set_value();
    finished.get_future().wait();
    EXPECT_EQ(laterRuns, 0);

    // The default ending runs everything still queued before it returns.
    int runs = 0;
    {
        SerialQueue q;
        for (int i = 0; i < 5; ++i)
            q.post([&] { ++runs; });
    }
    EXPECT_EQ(runs, 5);
}

namespace {
enum class Tide { low, high, slack };
constexpr EnumName<Tide> tideRows[] = {{Tide::high, "high", "High Tide"}, {Tide::low, "low", "Low Tide"}};
constexpr EnumNames tides{tideRows};
} // namespace

TEST(EnumNames, keepTheTablesOrderAndRefuseWhatItDoesNotHold) {
    EXPECT_EQ(tides.values(), (QList<Tide>{Tide::high, Tide::low}));
    EXPECT_EQ(tides.name(Tide::low), "low");
    EXPECT_EQ(tides.title(Tide::high), "High Tide");
    EXPECT_EQ(tides.parse(u"high"), Tide::high);
    // Stored names are matched exactly; a value missing from the table has no name.
    EXPECT_EQ(tides.parse(u"High"), std::nullopt);
    EXPECT_EQ(tides.parse(u""), std::nullopt);
    EXPECT_TRUE(tides.name(Tide::slack).isEmpty());
}
