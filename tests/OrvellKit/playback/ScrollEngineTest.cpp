#include "playback/ScrollEngine.h"
#include "support/AllocationCounter.h"
#include "support/FakeTickSource.h"

#include <QSignalSpy>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

struct EngineFixture : ::testing::Test {
    ScrollEngine engine{160};
    std::shared_ptr<FakeTickSource> clock = std::make_shared<FakeTickSource>();

    void SetUp() override { engine.attach(clock); }
};

} // namespace

TEST(ScrollEngine, freshEngineIsIdleAtDefaultSpeed) {
    ScrollEngine engine(160);
    EXPECT_EQ(engine.offset(), 0);
    EXPECT_DOUBLE_EQ(engine.t(), 0.45);
    EXPECT_DOUBLE_EQ(engine.pointsPerSecond(), 49.5);
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_FALSE(engine.isLive());
    EXPECT_EQ(engine.progress(), 0);
    EXPECT_FALSE(engine.isAtEnd());
    EXPECT_EQ(engine.viewportHeight(), 160);
}

TEST_F(EngineFixture, speedModeAdvancesByStepTimesSpeed) {
    engine.setContentHeight(1000);
    engine.setT(1);
    engine.play();
    clock->frame(0.1);
    EXPECT_NEAR(engine.offset(), 8.8, 1e-12);
    engine.setT(0);
    clock->frame(0.1);
    EXPECT_NEAR(engine.offset(), 10.6, 1e-12);
    EXPECT_NEAR(engine.session().elapsed(), 0.2, 1e-12);
}

TEST_F(EngineFixture, theSpeedIsAReadingRateWhateverTheTypography) {
    // 300 words laid out 6000 points tall, at the default 150 words a minute:
    // 2:00 to read, so 50 points a second.
    engine.setWordCount(300);
    engine.setContentHeight(6000);
    EXPECT_DOUBLE_EQ(engine.wordsPerMinute(), 150);
    EXPECT_DOUBLE_EQ(engine.pointsPerSecond(), 50);
    EXPECT_DOUBLE_EQ(engine.estimate(300).seconds(), 120);
    // A bigger text makes the layout taller: the scroll speeds up, the rate stays.
    engine.setContentHeight(9000);
    EXPECT_DOUBLE_EQ(engine.pointsPerSecond(), 75);
    EXPECT_DOUBLE_EQ(engine.estimate(300).wordsPerMinute(), 150);
    // Any other script is timed at the same rate.
    EXPECT_DOUBLE_EQ(engine.estimate(75).seconds(), 30);
    engine.setT(1);
    EXPECT_DOUBLE_EQ(engine.wordsPerMinute(), 260);
    engine.play();
    clock->frame(0.1);
    EXPECT_NEAR(engine.offset(), 0.1 * 260 / 60 * 9000 / 300, 1e-9);
    // No words: nothing to time, and the old scroll speed moves the text.
    EXPECT_EQ(engine.estimate(0).seconds(), 0);
    engine.setWordCount(0);
    EXPECT_DOUBLE_EQ(engine.pointsPerSecond(), SpeedCurve::pointsPerSecond(1));
}

TEST_F(EngineFixture, clampsAtEndPausesStaysLiveAndReplaysFromTop) {
    engine.setContentHeight(300);
    engine.setT(1);
    engine.setOffset(295);
    engine.play();
    clock->frame(0.1);
    EXPECT_EQ(engine.offset(), 300);
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_TRUE(engine.isLive());
    EXPECT_TRUE(engine.isAtEnd());
    EXPECT_FALSE(clock->running);

    int restarts = 0;
    engine.addRestartObserver([&] { ++restarts; });
    engine.play();
    EXPECT_EQ(engine.offset(), 0);
    EXPECT_EQ(engine.session().elapsed(), 0);
    EXPECT_TRUE(engine.isPlaying());
    EXPECT_EQ(restarts, 1);
    EXPECT_TRUE(clock->running);
}

TEST_F(EngineFixture, emptyContentNeverRestartsAndPausesOnFirstTick) {
    int restarts = 0;
    engine.addRestartObserver([&] { ++restarts; });
    engine.play();
    EXPECT_EQ(restarts, 0);
    clock->frame(1.0 / 60);
    EXPECT_EQ(engine.offset(), 0);
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_FALSE(engine.isAtEnd());

    engine.setContentHeight(-50);
    engine.play();
    clock->frame(0.05);
    EXPECT_EQ(engine.offset(), 0);
    EXPECT_FALSE(engine.isPlaying());
}

TEST_F(EngineFixture, followModeEasesTowardsBoundedGoalAndNeverStops) {
    engine.setContentHeight(1000);
    engine.setFollowTarget(5000.0);
    engine.play();
    clock->frame(0.1);
    const double goal = 1000 + 0.5 * 160;
    EXPECT_NEAR(engine.offset(), goal * (1 - std::exp(-0.6)), 1e-9);
    EXPECT_NEAR(engine.offset(), 487.3, 0.05);
    for (int i = 0; i < 200; ++i)
        clock->frame(0.1);
    EXPECT_TRUE(engine.isPlaying());
    EXPECT_NEAR(engine.offset(), goal, 1e-6);

    // A negative target pulls towards the top, not above it.
    engine.setFollowTarget(-40.0);
    for (int i = 0; i < 400; ++i)
        clock->frame(0.1);
    EXPECT_NEAR(engine.offset(), 0, 1e-6);
}

TEST_F(EngineFixture, observersRunInOrderBeforeTheOffsetMoves) {
    engine.setContentHeight(1000);
    std::vector<std::pair<int, double>> calls;
    double offsetSeenByFirst = -1;
    engine.addFrameObserver([&](double dt) {
        offsetSeenByFirst = engine.offset();
        calls.emplace_back(1, dt);
    });
    engine.addFrameObserver([&](double dt) { calls.emplace_back(2, dt); });
    engine.setFollowTarget(0.0); // a step that moves nothing still reaches observers
    engine.play();
    clock->frame(0.016);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(1, 0.016));
    EXPECT_EQ(calls[1], std::make_pair(2, 0.016));
    EXPECT_EQ(offsetSeenByFirst, 0);

    // Every frame is announced once it is done, the offset moved or not:
    // what the frame lights (a breathing pulse) changes either way.
    QSignalSpy ticked(&engine, &ScrollEngine::ticked);
    double offsetWhenTicked = -1;
    QObject::connect(&engine, &ScrollEngine::ticked, [&] { offsetWhenTicked = engine.offset(); });
    clock->frame(0.016);
    EXPECT_EQ(ticked.count(), 1);
    engine.setFollowTarget(100.0);
    clock->frame(0.016);
    EXPECT_EQ(ticked.count(), 2);
    EXPECT_GT(offsetWhenTicked, 0);
    EXPECT_EQ(offsetWhenTicked, engine.offset());
}

TEST_F(EngineFixture, restartKeepsPlayStateAndToldObservers) {
    engine.setContentHeight(1000);
    int restarts = 0;
    engine.addRestartObserver([&] { ++restarts; });
    engine.play();
    clock->frame(0.1);
    engine.restart();
    EXPECT_EQ(engine.offset(), 0);
    EXPECT_EQ(engine.session().elapsed(), 0);
    EXPECT_TRUE(engine.isPlaying());
    EXPECT_EQ(restarts, 1);

    engine.pause();
    engine.restart();
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_EQ(restarts, 2);
}

TEST_F(EngineFixture, goIdleEndsTheSessionAndToggleSwitches) {
    engine.setContentHeight(1000);
    engine.toggle();
    EXPECT_TRUE(engine.isPlaying());
    engine.toggle();
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_TRUE(engine.isLive());
    engine.play();
    engine.goIdle();
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_FALSE(engine.isLive());
    EXPECT_FALSE(clock->running);
}

TEST(ScrollEngine, rescaleKeepsRelativePlace) {
    ScrollEngine engine(160);
    engine.setContentHeight(1000);
    engine.setOffset(250);
    engine.rescale(2000);
    EXPECT_EQ(engine.offset(), 500);
    EXPECT_EQ(engine.contentHeight(), 2000);

    ScrollEngine fresh(160);
    fresh.setOffset(30);
    fresh.rescale(800);
    EXPECT_EQ(fresh.offset(), 30);
    fresh.rescale(-5);
    EXPECT_EQ(fresh.contentHeight(), 0);
}

TEST(ScrollEngine, speedAndScrubClamp) {
    ScrollEngine engine(160);
    engine.setT(0.98);
    engine.nudgeSpeed(0.05);
    EXPECT_EQ(engine.t(), 1.0);
    engine.setT(0.05);
    engine.nudgeSpeed(-0.1);
    EXPECT_EQ(engine.t(), 0.0);
    engine.setT(std::nan(""));
    EXPECT_EQ(engine.t(), 0.0);

    engine.setContentHeight(400);
    engine.scrub(-20);
    EXPECT_EQ(engine.offset(), 0);
    engine.scrub(900);
    EXPECT_EQ(engine.offset(), 400);
    engine.scrub(120);
    EXPECT_DOUBLE_EQ(engine.progress(), 0.3);
}

TEST(ScrollEngine, settersNotifyOnlyOnChangeButSpeedAlways) {
    ScrollEngine engine(160);
    QSignalSpy offset(&engine, &ScrollEngine::offsetChanged);
    QSignalSpy speed(&engine, &ScrollEngine::tChanged);
    QSignalSpy follow(&engine, &ScrollEngine::followTargetChanged);
    QSignalSpy playing(&engine, &ScrollEngine::isPlayingChanged);
    QSignalSpy elapsed(&engine.session(), &SessionTimer::elapsedChanged);

    engine.setOffset(0);
    engine.setOffset(10);
    engine.setOffset(10);
    EXPECT_EQ(offset.count(), 1);

    engine.setT(0.45);
    engine.setT(0.45);
    EXPECT_EQ(speed.count(), 2);

    engine.setFollowTarget(std::nullopt);
    engine.setFollowTarget(3.0);
    engine.setFollowTarget(3.0);
    engine.setFollowTarget(4.0);
    engine.setFollowTarget(std::nullopt);
    EXPECT_EQ(follow.count(), 3);

    engine.restart();
    engine.restart();
    EXPECT_EQ(offset.count(), 2);
    EXPECT_EQ(elapsed.count(), 0);
    engine.session().advance(0);
    EXPECT_EQ(elapsed.count(), 1);
    EXPECT_EQ(playing.count(), 0);
}

TEST(ScrollEngine, attachStartsAPlayingEngineAndRetiresTheOldClock) {
    ScrollEngine engine(160);
    engine.setContentHeight(1000);
    auto first = std::make_shared<FakeTickSource>();
    engine.attach(first);
    engine.play();
    EXPECT_TRUE(first->running);

    auto second = std::make_shared<FakeTickSource>();
    engine.attach(second);
    EXPECT_TRUE(second->running);
    EXPECT_FALSE(first->running);
    EXPECT_FALSE(first->onTick);

    engine.suspendTicking();
    EXPECT_FALSE(second->running);
    EXPECT_TRUE(engine.isPlaying());
    engine.resumeTickingIfPlaying();
    EXPECT_TRUE(second->running);

    engine.detach();
    EXPECT_EQ(engine.tickSource(), nullptr);
    EXPECT_FALSE(second->running);
    engine.pause();
    engine.play(); // no source: nothing to start, nothing breaks
    EXPECT_TRUE(engine.isPlaying());
}

TEST(ScrollEngine, tickAfterEngineIsGoneDoesNothing) {
    auto clock = std::make_shared<FakeTickSource>();
    std::function<void(double)> tick;
    {
        ScrollEngine engine(160);
        engine.attach(clock);
        tick = clock->onTick;
    }
    ASSERT_TRUE(tick);
    tick(0.1); // must not touch freed memory (the sanitizer build checks)
}

TEST(ScrollEngine, tickAllocatesNothing) {
    ScrollEngine engine(160);
    auto clock = std::make_shared<FakeTickSource>();
    engine.attach(clock);
    engine.setContentHeight(1e9);
    double seen = 0;
    engine.addFrameObserver([&seen](double dt) { seen += dt; });
    QObject::connect(&engine, &ScrollEngine::offsetChanged, &engine, [&seen] { seen += 0; });
    engine.play();
    clock->frame(0.016); // warm up

    AllocationCounter counter;
    for (int i = 0; i < 100; ++i)
        clock->frame(0.016);
    engine.setFollowTarget(500.0);
    for (int i = 0; i < 100; ++i)
        clock->frame(0.016);
    EXPECT_EQ(counter.count(), 0u);
}
