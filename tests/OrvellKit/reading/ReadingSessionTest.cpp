#include "commands/PrompterCommands.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/PaceGuide.h"
#include "reading/ReadingSession.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

VoiceFollow::Recognition recognitionWithModel() {
    VoiceFollow::Recognition r;
    r.makeListener = [](const ScriptWords &) { return nullptr; };
    r.hasModel = [](const QString &) { return true; };
    r.installedLocales = [] { return QStringList{QStringLiteral("en_US")}; };
    return r;
}

struct SessionFixture : ::testing::Test {
    QTemporaryDir dir;
    ManualScheduler scheduler;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{160};
    RhythmCache rhythms{dir.filePath("rhythm")};
    std::unique_ptr<ScriptStore> store = [this] {
        ScriptStoreOptions options;
        options.seedIfEmpty = false;
        options.scheduler = &scheduler;
        return std::make_unique<ScriptStore>(dir.filePath("library"), options);
    }();
    std::unique_ptr<ReadingSession> session = std::make_unique<ReadingSession>(
        *store, prefs, scroll, rhythms, recognitionWithModel(), scheduler);
    PrompterCommands commands{scroll, session->voice()};
};

} // namespace

TEST_F(SessionFixture, theSpeedSurvivesWhoeverChangesIt) {
    commands.setSpeed(0.7);
    EXPECT_DOUBLE_EQ(prefs.speedT(), 0.7);
    commands.handle(HotKeyAction::speedDownMore);
    EXPECT_DOUBLE_EQ(prefs.speedT(), 0.6);

    // A later start over the same settings begins at the last speed.
    ScrollEngine later{160};
    ReadingSession again(*store, prefs, later, rhythms, {}, scheduler);
    EXPECT_DOUBLE_EQ(later.t(), 0.6);
}

TEST_F(SessionFixture, choosingAnotherScriptPausesAndRewinds) {
    const Script a = store->create("A", "one two three", true);
    const Script b = store->create("B", "four five six", false);
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    scroll.setContentHeight(500);
    scroll.play();
    scroll.setOffset(120);

    store->updateBody("one two three four", a.id); // an edit keeps the place
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 120);

    store->select(b.id);
    EXPECT_FALSE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 0);
}

TEST_F(SessionFixture, theGuideThatIsOnLightsTheIslandAndLaysOutItsLines) {
    ScriptViewportModel &viewport = session->viewport();
    EXPECT_EQ(viewport.glowSource(), nullptr);

    prefs.setPaceGuideEnabled(true);
    EXPECT_EQ(viewport.glowSource(), &session->pace());
    // Turning voice follow on turns the pace guide off, and its light with it.
    commands.handle(HotKeyAction::toggleVoiceFollow);
    EXPECT_TRUE(prefs.voiceFollowEnabled());
    EXPECT_EQ(viewport.glowSource(), &session->voice());
    commands.handle(HotKeyAction::toggleVoiceFollow);
    EXPECT_EQ(viewport.glowSource(), nullptr);

    store->create("A", "one two three", true);
    viewport.setViewportSize(QSizeF(412, 180));
    EXPECT_EQ(session->pace().viewportWidth(), 412);
    EXPECT_EQ(session->voice().viewportWidth(), 412);
}
