#include "settings/Preferences.h"
#include "settings/Autostart.h"
#include "settings/PreferenceKeys.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace K = PreferenceKeys;

namespace {

class FakeAutostart : public Autostart {
public:
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool value, QString *error) override {
        if (failure.isEmpty()) {
            enabled = value;
            return true;
        }
        *error = failure;
        return false;
    }
    bool enabled = false;
    QString failure;
};

struct PreferencesFixture : ::testing::Test {
    std::unique_ptr<SettingsStore> store = SettingsStore::inMemory();
    FakeAutostart login;
    Preferences prefs{*store, login};
    ReadingPreferences &reading = prefs.reading();
};

QStringList capturedWarnings;
void captureMessages(QtMsgType, const QMessageLogContext &, const QString &message) {
    capturedWarnings << message;
}

} // namespace

TEST_F(PreferencesFixture, emptyStoreReadsTheDefaults) {
    EXPECT_DOUBLE_EQ(reading.speedT(), 0.45);
    EXPECT_EQ(reading.fontSize(), 24);
    EXPECT_DOUBLE_EQ(reading.lineHeightMultiple(), 5.0 / 3.0);
    EXPECT_EQ(reading.voiceFollowLookahead(), 3);
    EXPECT_EQ(reading.pacePauseStyle(), PauseStyle::natural);
    EXPECT_FALSE(reading.voiceFollowEnabled());
    EXPECT_FALSE(reading.paceGuideEnabled());
    EXPECT_TRUE(reading.countdownEnabled());
    EXPECT_TRUE(reading.keepScreenAwake());
    EXPECT_EQ(reading.voiceFollowLocale(), "");
    EXPECT_EQ(reading.paceRhythmVoice(), "");
    EXPECT_EQ(prefs.islandWidth(), 400);
    EXPECT_EQ(prefs.notchCoverHeight(), 56);
    EXPECT_EQ(prefs.targetDisplay(), "builtIn");
    EXPECT_TRUE(prefs.showInTaskbar());
    EXPECT_FALSE(prefs.aboveFullScreen());
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());
    EXPECT_TRUE(prefs.hotKeyBindings().isEmpty());
    // Defaults are registered, not written.
    EXPECT_FALSE(store->hasStoredValue(K::fontSize));
}

TEST_F(PreferencesFixture, settersAndGettersBothClamp) {
    reading.setFontSize(100);
    EXPECT_EQ(reading.fontSize(), 48);
    reading.setFontSize(3);
    EXPECT_EQ(reading.fontSize(), 14);
    reading.setLineHeightMultiple(0.5);
    EXPECT_EQ(reading.lineHeightMultiple(), 1.0);
    reading.setVoiceFollowLookahead(0);
    EXPECT_EQ(reading.voiceFollowLookahead(), 1);
    reading.setVoiceFollowLookahead(25);
    EXPECT_EQ(reading.voiceFollowLookahead(), 10);
    reading.setSpeedT(-1);
    EXPECT_EQ(reading.speedT(), 0);
    prefs.setIslandWidth(100);
    EXPECT_EQ(prefs.islandWidth(), 280);
    prefs.setNotchCoverHeight(200);
    EXPECT_EQ(prefs.notchCoverHeight(), 120);
    reading.setFontSize(std::nan(""));
    EXPECT_EQ(reading.fontSize(), 14);

    // Values placed by hand, as an older build or an edited file would, are
    // read within the same bounds: an island 1e308 points wide draws nothing.
    store->setValue(K::fontSize, 100);
    store->setValue(K::islandWidth, QStringLiteral("1500.5"));
    store->setValue(K::voiceFollowLookahead, QStringLiteral("42"));
    EXPECT_EQ(reading.fontSize(), 48);
    EXPECT_EQ(prefs.islandWidth(), 900);
    EXPECT_EQ(reading.voiceFollowLookahead(), 10);
    store->setValue(K::islandWidth, QStringLiteral("1e308"));
    store->setValue(K::notchCoverHeight, 3000);
    store->setValue(K::lineHeightMultiple, QStringLiteral("nan"));
    store->setValue(K::speedT, 7);
    EXPECT_EQ(prefs.islandWidth(), 900);
    EXPECT_EQ(prefs.notchCoverHeight(), 120);
    EXPECT_EQ(reading.lineHeightMultiple(), 1.0);
    EXPECT_EQ(reading.speedT(), 1);
    store->setValue(K::islandWidth, QStringLiteral("1500.5"));
    store->setValue(K::pacePauseStyle, QStringLiteral("loud"));
    EXPECT_EQ(reading.pacePauseStyle(), PauseStyle::natural);
    reading.setPacePauseStyle(PauseStyle::generous);
    EXPECT_EQ(store->stringValue(K::pacePauseStyle), "generous");
}

TEST_F(PreferencesFixture, placementEncoding) {
    store->setValue(K::islandPlacement, QStringLiteral("free"));
    store->setValue(K::islandFreeX, 120);
    store->setValue(K::islandFreeY, 40);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(120, 40));
    EXPECT_EQ(prefs.islandPlacementName(), "free");
    store->setValue(K::islandFreeY, std::numeric_limits<double>::infinity());
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());
    store->setValue(K::islandPlacement, QStringLiteral("middle"));
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());

    prefs.setIslandPlacement(IslandPlacement::free(std::nan(""), 30));
    EXPECT_EQ(store->value(K::islandFreeX), QVariant(0));
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(0, 30));

    // A preset keeps the last free coordinates.
    prefs.selectPlacement(QStringLiteral("topTrailing"));
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topTrailing());
    EXPECT_EQ(store->doubleValue(K::islandFreeY), 30);
    prefs.selectPlacement(QStringLiteral("free"));
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topTrailing());
    prefs.selectPlacement(QStringLiteral("sideways"));
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());

    prefs.placeIsland(505, 3, 500);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());
    prefs.placeIsland(520, 3, 500);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(520, 3));
    prefs.placeIsland(505, 9, 500);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(505, 9));
}

TEST_F(PreferencesFixture, resetAppearanceRestoresOnlyTheLook) {
    reading.setFontSize(30);
    reading.setLineHeightMultiple(2);
    prefs.setNotchCoverHeight(80);
    prefs.setIslandWidth(600);
    reading.setSpeedT(0.9);
    prefs.setIslandPlacement(IslandPlacement::topLeading());
    QSignalSpy fontSpy(&reading, &ReadingPreferences::fontSizeChanged);
    prefs.resetAppearance();
    EXPECT_EQ(reading.fontSize(), 24);
    EXPECT_DOUBLE_EQ(reading.lineHeightMultiple(), 5.0 / 3.0);
    EXPECT_EQ(prefs.notchCoverHeight(), 56);
    EXPECT_EQ(prefs.islandWidth(), 400);
    EXPECT_EQ(reading.speedT(), 0.9);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topLeading());
    EXPECT_EQ(fontSpy.count(), 1);
}

TEST_F(PreferencesFixture, voiceFollowAndPaceGuideExcludeEachOther) {
    QSignalSpy voiceSpy(&reading, &ReadingPreferences::voiceFollowEnabledChanged);
    reading.setVoiceFollowEnabled(true);
    reading.setPaceGuideEnabled(true);
    EXPECT_FALSE(reading.voiceFollowEnabled());
    EXPECT_TRUE(reading.paceGuideEnabled());
    EXPECT_EQ(voiceSpy.count(), 2);
    reading.setPaceGuideEnabled(false);
    EXPECT_FALSE(reading.voiceFollowEnabled());
    reading.setVoiceFollowEnabled(true);
    EXPECT_FALSE(reading.paceGuideEnabled());
    reading.setVoiceFollowEnabled(false);
    EXPECT_FALSE(reading.paceGuideEnabled());
}

TEST_F(PreferencesFixture, writesThroughEitherObjectNotifyReadersOfTheOther) {
    ReadingPreferences second(*store);
    QSignalSpy spy(&second, &ReadingPreferences::speedTChanged);
    QSignalSpy placement(&prefs, &Preferences::islandPlacementChanged);
    reading.setSpeedT(0.7);
    EXPECT_EQ(second.speedT(), 0.7);
    EXPECT_EQ(spy.count(), 1);
    prefs.placeIsland(300, 200, 500);
    EXPECT_GE(placement.count(), 1);
}

TEST_F(PreferencesFixture, autostartFailureIsLoggedAndStateStays) {
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(prefs.launchAtLogin());

    login.failure = QStringLiteral("Permission denied");
    capturedWarnings.clear();
    const auto previous = qInstallMessageHandler(captureMessages);
    prefs.setLaunchAtLogin(false);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(prefs.launchAtLogin());
    ASSERT_EQ(capturedWarnings.size(), 1);
    EXPECT_EQ(capturedWarnings.first(), "launchAtLogin false failed: Permission denied");
    // Where the toggle is, the user reads why it did not move.
    EXPECT_EQ(prefs.launchAtLoginProblem(),
              "Orvell could not stop starting at login: Permission denied");
    login.failure.clear();
    prefs.setLaunchAtLogin(false);
    EXPECT_TRUE(prefs.launchAtLoginProblem().isEmpty());
}

TEST_F(PreferencesFixture, hotKeyBindingsAreStoredRaw) {
    const QByteArray json = R"({"playPause":{"keyCode":49,"modifiers":6400}})";
    prefs.setHotKeyBindings(json);
    EXPECT_EQ(prefs.hotKeyBindings(), json);
}

TEST(SettingsStore, fileStoreSurvivesAReopenAndReadsTextAsNumbers) {
    QTemporaryDir dir;
    const QString path = dir.filePath("org.orvell.Orvell.conf");
    {
        auto store = SettingsStore::openFile(path);
        FakeAutostart login;
        Preferences prefs(*store, login);
        prefs.reading().setFontSize(30);
        prefs.reading().setPaceGuideEnabled(true);
        prefs.setIslandPlacement(IslandPlacement::free(12.5, 40));
        prefs.setHotKeyBindings(R"({"a":1})");
        store->sync();
    }
    auto store = SettingsStore::openFile(path);
    FakeAutostart login;
    Preferences prefs(*store, login);
    EXPECT_EQ(prefs.reading().fontSize(), 30);
    EXPECT_TRUE(prefs.reading().paceGuideEnabled());
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(12.5, 40));
    EXPECT_EQ(prefs.hotKeyBindings(), R"({"a":1})");
    EXPECT_EQ(prefs.reading().speedT(), 0.45);
}

TEST(SettingsStore, changesWrittenByAnotherProgramAreAnnouncedOwnWritesAreNot) {
    QTemporaryDir dir;
    const QString path = dir.filePath("org.orvell.Orvell.conf");
    auto store = SettingsStore::openFile(path);
    FakeAutostart login;
    Preferences prefs(*store, login);
    prefs.reading().setFontSize(30);
    prefs.setHotKeyBindings(R"({"a":1})");
    store->sync();

    QSignalSpy changed(store.get(), &SettingsStore::valueChanged);
    QSignalSpy fontSize(&prefs.reading(), &ReadingPreferences::fontSizeChanged);
    store->checkDisk();
    EXPECT_EQ(changed.count(), 0) << "the store's own values read back as they were written";

    {
        // An editor or a second copy of the app writes the file.
        QSettings other(path, QSettings::IniFormat);
        other.setValue(K::fontSize, 36);
        other.remove(K::hotKeyBindings);
        other.setValue(K::islandWidth, 500);
    }
    store->checkDisk();
    EXPECT_EQ(prefs.reading().fontSize(), 36);
    EXPECT_EQ(fontSize.count(), 1);
    EXPECT_TRUE(prefs.hotKeyBindings().isEmpty());
    QStringList keys;
    for (const auto &args : changed)
        keys << args.at(0).toString();
    keys.sort();
    EXPECT_EQ(keys, QStringList({K::fontSize, K::hotKeyBindings, K::islandWidth}));

    // Without being asked: the watch sees the file replaced and reads it.
    changed.clear();
    {
        QSettings other(path, QSettings::IniFormat);
        other.setValue(K::islandWidth, 600);
    }
    EXPECT_TRUE(changed.wait(5000));
    EXPECT_EQ(prefs.islandWidth(), 600);
}

TEST(SettingsStore, damagedFileFallsBackToDefaults) {
    QTemporaryDir dir;
    const QString path = dir.filePath("org.orvell.Orvell.conf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    static const char bytes[] = "\x00\xff[General\nFontSize=abc\nSpeedT=\n=\n[[[\n"
                                "ShowDockIcon=maybe\nIslandWidth=nan\nVoiceFollowLookahead=1e300\n";
    file.write(bytes, sizeof(bytes) - 1);
    file.close();

    auto store = SettingsStore::openFile(path);
    FakeAutostart login;
    Preferences prefs(*store, login);
    EXPECT_TRUE(std::isfinite(prefs.reading().fontSize()));
    EXPECT_TRUE(std::isfinite(prefs.reading().speedT()));
    EXPECT_TRUE(std::isfinite(static_cast<double>(prefs.reading().voiceFollowLookahead())));
    EXPECT_EQ(prefs.targetDisplay(), "builtIn");
    // The store keeps working after reading a damaged file.
    prefs.reading().setFontSize(20);
    EXPECT_EQ(prefs.reading().fontSize(), 20);
}

TEST(SettingsStore, typedGettersReadOtherTypesLeniently) {
    auto store = SettingsStore::inMemory();
    store->setValue("b1", QStringLiteral("true"));
    store->setValue("b2", QStringLiteral("maybe"));
    store->setValue("b3", 2);
    store->setValue("b4", QStringLiteral("0"));
    EXPECT_TRUE(store->boolValue("b1"));
    EXPECT_FALSE(store->boolValue("b2"));
    EXPECT_TRUE(store->boolValue("b3"));
    EXPECT_FALSE(store->boolValue("b4"));
    EXPECT_FALSE(store->boolValue("absent"));
    store->setValue("i", QStringLiteral("3.7"));
    EXPECT_EQ(store->integerValue("i"), 3);
    store->setValue("d", true);
    EXPECT_EQ(store->doubleValue("d"), 1);
    store->setValue("s", 12);
    EXPECT_EQ(store->stringValue("s"), "12");
    EXPECT_EQ(store->stringValue("absent"), "");
    EXPECT_TRUE(store->dataValue("s").isEmpty());
}
