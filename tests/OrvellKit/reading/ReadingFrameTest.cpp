#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/PaceGuide.h"
#include "reading/ScriptViewportModel.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "support/LibraryTestSupport.h"
#include "support/ManualScheduler.h"

#include "support/QtPrinters.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct FrameFixture : ::testing::Test {
    QTemporaryDir dir;
    ManualScheduler clock;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{160};
    ScriptStore store{dir.filePath("lib"), {false, {}, &clock, {}}};
    LibrarySelection selection{store};
    ScriptViewportModel viewport{selection, prefs, scroll};
};

} // namespace

TEST_F(FrameFixture, theIslandAndBothGuidesShareOneLayoutOfTheSelectedScript) {
    store.create("Talk", "One layout for every reader of the script.", true);
    viewport.setViewportSize({364, 160});
    RhythmCache cache;
    PaceGuide guide{clock};
    guide.setResolveVoice([](const QString &, const QString &) { return std::nullopt; });
    guide.setViewportWidth(364);
    guide.attach(prefs, scroll, selection, cache);
    VoiceFollow voice({[](const ScriptWords &) { return std::unique_ptr<VoiceListener>(); },
                       [](const QString &) { return true; }});
    voice.setViewportWidth(364);
    voice.attach(prefs, scroll, selection);

    prefs.setPaceGuideEnabled(true);
    ASSERT_TRUE(viewport.layout());
    EXPECT_EQ(guide.layout(), viewport.layout());
    // A font change reaches both, and they still share.
    prefs.setFontSize(30);
    EXPECT_EQ(viewport.layout()->key().fontSize, 30);
    EXPECT_EQ(guide.layout(), viewport.layout());

    prefs.setVoiceFollowEnabled(true); // the pace guide goes off
    EXPECT_EQ(guide.layout(), nullptr);
    EXPECT_EQ(voice.layout(), viewport.layout());
}

TEST_F(FrameFixture, theIslandRedrawsAScriptAnotherProgramChanged) {
    const Script s = store.create("Talk", "Before the edit", true);
    viewport.setViewportSize({364, 160});
    QSignalSpy relaid(&viewport, &ScriptViewportModel::layoutChanged);
    ASSERT_TRUE(writeFile(ScriptDiskIO::bodyPath(s.id, store.root()),
                          "After an edit made in a text editor"));
    store.checkDisk();
    EXPECT_EQ(relaid.count(), 1);
    EXPECT_EQ(viewport.layout()->key().text, "After an edit made in a text editor");
}
