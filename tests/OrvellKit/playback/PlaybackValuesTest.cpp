#include "playback/Countdown.h"
#include "playback/PrompterActivityState.h"
#include "playback/ReadEstimate.h"
#include "playback/SessionTimer.h"
#include "playback/SpeedCurve.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(SpeedCurve, mapsPositionsToSpeedsAndSliderValues) {
    EXPECT_EQ(SpeedCurve::pointsPerSecond(-1), 18);
    EXPECT_EQ(SpeedCurve::pointsPerSecond(2), 88);
    EXPECT_DOUBLE_EQ(SpeedCurve::sliderValue(0.45), 50.5);
    EXPECT_EQ(SpeedCurve::sliderValue(0), 10);
    EXPECT_EQ(SpeedCurve::t(5), 0);
    EXPECT_EQ(SpeedCurve::t(250), 1);
    EXPECT_DOUBLE_EQ(SpeedCurve::t(SpeedCurve::sliderValue(0.3)), 0.3);
    EXPECT_EQ(TickClamp::apply(2.0), 0.1);
    EXPECT_EQ(TickClamp::apply(1.0 / 60), 1.0 / 60);
}

TEST(SessionTimer, formatsWholeSecondsWithoutWrappingHours) {
    SessionTimer timer;
    EXPECT_EQ(timer.formatted(), "0:00");
    timer.setElapsed(59.5);
    EXPECT_EQ(timer.formatted(), "1:00");
    timer.setElapsed(3725);
    EXPECT_EQ(timer.formatted(), "62:05");
    // A corrupted value reads as zero instead of stopping the app.
    timer.setElapsed(std::numeric_limits<double>::infinity());
    EXPECT_EQ(timer.formatted(), "0:00");
}

TEST(ReadEstimate, durationsRatesAndFormatting) {
    const ReadEstimate e{300, 6000, 50};
    EXPECT_EQ(e.seconds(), 120);
    EXPECT_EQ(e.formatted(), "2:00");
    EXPECT_EQ(e.wordsPerMinute(), 150);
    EXPECT_EQ(e.libraryLine(), "2:00 at 150 wpm");
    EXPECT_EQ(e.sessionLine(), QString::fromUtf8("2:00  \u00B7  150 wpm"));

    const ReadEstimate stopped{300, 6000, 0};
    EXPECT_EQ(stopped.seconds(), 0);
    EXPECT_EQ(stopped.wordsPerMinute(), 0);
    EXPECT_EQ(stopped.formatted(), "0:00");
    EXPECT_EQ(stopped.libraryLine(), "0:00 at 0 wpm");

    const ReadEstimate known = ReadEstimate::forDuration(100, 90);
    EXPECT_EQ(known.seconds(), 90);
    EXPECT_EQ(known.formatted(), "1:30");
}

TEST(ReadEstimate, speedForTargetRate) {
    EXPECT_NEAR(ReadEstimate::t(150, 300, 6000), 32.0 / 70, 1e-12);
    EXPECT_EQ(ReadEstimate::t(10, 300, 6000), 0);
    EXPECT_EQ(ReadEstimate::t(150, 0, 6000), 0.45);
    EXPECT_EQ(ReadEstimate::t(0, 300, 6000), 0.45);
    EXPECT_EQ(ReadEstimate::t(150, 300, 0), 0.45);
    EXPECT_EQ(ReadEstimate::t(100000, 3, 6000), 1);
}

TEST(ReadEstimate, countsRunsOfNonWhitespace) {
    EXPECT_EQ(ReadEstimate::wordCountOf(u"two   words\n"), 2);
    EXPECT_EQ(ReadEstimate::wordCountOf(u""), 0);
    EXPECT_EQ(ReadEstimate::wordCountOf(u" \t\n \u00A0\u2003"), 0);
    EXPECT_EQ(ReadEstimate::wordCountOf(u"a\u3000b\u2028c"), 3);
    EXPECT_EQ(ReadEstimate::wordCountOf(u"don't-stop, now!"), 2);
    // Scripts without spaces between words are counted word by word.
    // "Thank you all for coming today." in Chinese, Japanese and Thai.
    EXPECT_GE(ReadEstimate::wordCountOf(u"谢谢大家今天来参加。"), 4);
    EXPECT_GE(ReadEstimate::wordCountOf(u"今日は皆さん来てくれてありがとう。"), 5);
    EXPECT_GE(ReadEstimate::wordCountOf(u"ขอบคุณทุกคนที่มาวันนี้"), 4);
    // A Latin word beside them keeps its count; a spaced Latin text is unchanged.
    EXPECT_EQ(ReadEstimate::wordCountOf(u"Orvell 你好"), 1 + ReadEstimate::wordCountOf(u"你好"));
}

TEST(Countdown, stepsThroughThreeTwoOne) {
    Countdown c;
    EXPECT_EQ(c.advance(1), Countdown::Event::none()); // idle
    EXPECT_EQ(c.start(), Countdown::Event::tick(3));
    EXPECT_EQ(c.advance(0.5), Countdown::Event::none());
    EXPECT_EQ(c.advance(0.4), Countdown::Event::tick(2));
    EXPECT_NEAR(c.elapsedInStep, 0.1, 1e-12);
    EXPECT_EQ(c.advance(0.8), Countdown::Event::tick(1));
    EXPECT_EQ(c.advance(0.8), Countdown::Event::finished());
    EXPECT_FALSE(c.isRunning());
}

TEST(Countdown, largeStepsSkipOrFinishAndBadStepsChangeNothing) {
    Countdown c;
    c.start();
    EXPECT_EQ(c.advance(2.0), Countdown::Event::tick(1));
    EXPECT_NEAR(c.elapsedInStep, 0.4, 1e-12);

    c.start();
    EXPECT_EQ(c.advance(3.0), Countdown::Event::finished());
    EXPECT_EQ(c, Countdown());

    c.start();
    const Countdown before = c;
    EXPECT_EQ(c.advance(0), Countdown::Event::none());
    EXPECT_EQ(c.advance(-1), Countdown::Event::none());
    EXPECT_EQ(c.advance(std::nan("")), Countdown::Event::none());
    EXPECT_EQ(c, before);

    EXPECT_TRUE(Countdown::shouldCount(0, false));
    EXPECT_FALSE(Countdown::shouldCount(120, false));
    EXPECT_TRUE(Countdown::shouldCount(120, true));
}

TEST(PrompterActivityState, deriveSanitisesAndElapsedFollowsTheAnchor) {
    const auto s = PrompterActivityState::derive(true, -5, 1.7, false, 1000);
    EXPECT_EQ(s.pausedElapsed, 0);
    EXPECT_EQ(s.progress, 1);
    EXPECT_EQ(s.elapsedAnchor, 1000);

    const auto playing = PrompterActivityState::derive(true, 30, 0.5, true, 1000);
    EXPECT_EQ(playing.elapsed(1010), 40);
    EXPECT_EQ(playing.elapsed(900), 0);
    const auto paused = PrompterActivityState::derive(false, 30, std::nan(""), false, 1000);
    EXPECT_EQ(paused.elapsed(5000), 30);
    EXPECT_EQ(paused.progress, 0);
}

TEST(PrompterActivityState, pausedTextAndMeaningfulDifferences) {
    auto at = [](double elapsed) {
        return PrompterActivityState::derive(false, elapsed, 0, false, 0).pausedElapsedText();
    };
    EXPECT_EQ(at(59.4), "0:59");
    EXPECT_EQ(at(3600), "1:00:00");
    EXPECT_EQ(at(3725.5), "1:02:06");

    const auto a = PrompterActivityState::derive(true, 10, 0.5, false, 100);
    auto b = a;
    b.progress = 0.505;
    EXPECT_FALSE(a.differsMeaningfully(b, 120));
    b.progress = 0.52;
    EXPECT_TRUE(a.differsMeaningfully(b, 120));
    b = a;
    b.elapsedAnchor -= 1.5;
    EXPECT_TRUE(a.differsMeaningfully(b, 120));
    b = a;
    b.voiceFollowOn = true;
    EXPECT_TRUE(a.differsMeaningfully(b, 120));
}

TEST(PrompterActivityState, jsonCarriesExactlyTheFiveFields) {
    const auto s = PrompterActivityState::derive(true, 12.5, 0.25, true, 786000000.5);
    const QByteArray json = s.toJson();
    EXPECT_EQ(json, R"({"elapsedAnchor":785999988,"isPlaying":true,"pausedElapsed":12.5,)"
                    R"("progress":0.25,"voiceFollowOn":true})");
    EXPECT_EQ(PrompterActivityState::fromJson(json), s);
    EXPECT_EQ(PrompterActivityState::fromJson(R"({"isPlaying":true})"), std::nullopt);
    EXPECT_EQ(qHash(s), qHash(*PrompterActivityState::fromJson(json)));
}
