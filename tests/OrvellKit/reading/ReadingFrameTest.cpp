#include "reading/ReadingFrame.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/PaceGuide.h"
#include "reading/ScriptViewportModel.h"
#include "reading/SelectedScript.h"
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
                       [](const QString &) { return true; },
                       {}});
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

TEST_F(FrameFixture, editingTheScriptBeingReadKeepsTheReaderOnTheSameWords) {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("word%1 ").arg(i);
    const Script s = store.create("Talk", text, true);
    viewport.setViewportSize({364, 160});
    const auto &layout = *viewport.layout();
    const ScriptWords words(text);
    const auto targetOf = [this](int word) {
        const auto &l = *viewport.layout();
        return ReadingLine::followTarget(word, l, l.key().fontSize, l.key().lineHeightMultiple,
                                         scroll.viewportHeight(), scroll.contentHeight());
    };
    scroll.setOffset(targetOf(60));
    ASSERT_EQ(layout.wordLine()[static_cast<size_t>(ReadingFrame::wordAtReadingLine(
                  layout, words, scroll.offset(), scroll.viewportHeight()))],
              layout.wordLine()[60]);

    // A paragraph pasted near the top: the reader stays on word60 (now the
    // 120th), on its line or, where the new words reflowed the text, the one
    // before: never further on, never back at the top.
    const QString pasted = QStringLiteral("pasted ").repeated(60) + QStringLiteral("\n");
    store.updateBody(pasted + text, s.id);
    const auto &edited = *viewport.layout();
    EXPECT_TRUE(edited.key().text.startsWith("pasted pasted"));
    const int now = ReadingFrame::wordAtReadingLine(edited, ScriptWords(store.selectedBody()),
                                                    scroll.offset(), scroll.viewportHeight());
    const int line = edited.wordLine()[static_cast<size_t>(now)];
    EXPECT_LE(line, edited.wordLine()[120]);
    EXPECT_GE(line, edited.wordLine()[120] - 1);
    EXPECT_NEAR(scroll.offset(), targetOf(120),
                edited.lines().at(0).bottom - edited.lines().at(0).top + 0.5);

    // A change after the reader's place does not move them either.
    const double at = scroll.offset();
    store.updateBody(store.selectedBody() + QStringLiteral(" and a closing line"), s.id);
    EXPECT_NEAR(scroll.offset(), at, 0.5);

    // Another script is not an edit: the offset is only rescaled, never aimed.
    store.create("Other", text.left(400), true);
    EXPECT_LE(scroll.offset(), scroll.contentHeight());
}

TEST(ReadingFrame, wordsAroundAnEditKeepTheirPlaceAndWordsInsideItGoToIt) {
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    ScrollEngine scroll(160);
    FixedScript before("one two three four five six");
    ReadingFrame frame;
    frame.attach(before, prefs, scroll);
    ASSERT_TRUE(frame.readText());
    EXPECT_FALSE(frame.wasEdited()); // the first text is no edit
    struct Edited : SelectedScript {
        QString body;
        QString text() const override { return body; }
        std::optional<double> targetSeconds() const override { return {}; }
        QString identity() const override { return "fixed"; }
    } after;
    after.body = "one two 3 and 4 five six";
    frame.attach(after, prefs, scroll);
    ASSERT_TRUE(frame.readText());
    EXPECT_TRUE(frame.wasEdited());
    EXPECT_EQ(frame.wordAfterEdit(0), 0); // "one", before the edit
    EXPECT_EQ(frame.wordAfterEdit(4), 5); // "five", after it
    EXPECT_EQ(frame.wordAfterEdit(2), 2); // "three" was replaced: where the edit is
    EXPECT_EQ(frame.wordAfterEdit(5), 6);
}
