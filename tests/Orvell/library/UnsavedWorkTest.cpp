#include "Orvell/Application.h"
#include "Orvell/deck/ControlDeckView.h"
#include "Orvell/library/LibraryWindow.h"
#include "Orvell/tray/TrayMenu.h"
#include "library/UnsavedCopies.h"
#include "support/DiskFault.h"
#include "support/LibraryTestSupport.h"
#include "support/TestEnvironment.h"

#include "support/QtPrinters.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

// A save the disk refuses is seen where the user looks (the tray menu, the
// deck, the library), asked about at quit, kept aside and put back.
TEST(UnsavedWork, isShownWhereTheUserLooksAndKeptAsideAtQuit) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ScriptStore &store = env.store();
    TrayMenu item(env, QDBusConnection(QStringLiteral("no bus")));
    ControlDeckView deck(env);
    QAction *warning = item.menu()->actions().at(0);
    EXPECT_FALSE(warning->isVisible());
    EXPECT_FALSE(deck.saveProblemButton()->isVisibleTo(&deck));
    EXPECT_EQ(Application::unsavedQuestion(store), "");

    DiskFault fault("/Scripts/", ENOSPC);
    const Script talk = store.create("Talk", "the words I will say", true);
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(warning->text(), QString::fromUtf8("\u26A0 Changes not saved \u2014 Show Library\u2026"));
    EXPECT_TRUE(deck.saveProblemButton()->isVisibleTo(&deck));
    EXPECT_TRUE(deck.saveProblemButton()->toolTip().contains("No space left on device"));
    EXPECT_EQ(Application::unsavedQuestion(store),
              "1 script could not be saved: No space left on device.");

    // Quitting with the disk still full: the text is kept beside the library.
    EXPECT_TRUE(env.saveBeforeQuitting());
    ASSERT_EQ(filesIn(env.unsavedFolders().at(0)).size(), 1);
    fault.clear();

    TestEnvironment reopened(true, store.root());
    AppEnvironment &next = *reopened.env;
    ASSERT_NE(next.store().script(talk.id), nullptr);
    EXPECT_EQ(next.store().script(talk.id)->body, "the words I will say");
    EXPECT_EQ(next.restoredNotice(), UnsavedCopies::notice(1));
    LibraryWindow window(next);
    EXPECT_TRUE(window.restoredNotice()->isVisibleTo(&window));
    next.dismissRestoredNotice();
    EXPECT_FALSE(window.restoredNotice()->isVisibleTo(&window));

    // Once writing works, the warnings go by themselves.
    store.retryUnsaved();
    EXPECT_FALSE(warning->isVisible());
    EXPECT_FALSE(deck.saveProblemButton()->isVisibleTo(&deck));
}

// A screen that cannot be kept awake is said on the deck, not only in the
// settings the reader may never open.
TEST(UnsavedWork, aScreenThatMayDimIsSaidOnTheDeck) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ControlDeckView deck(env);
    QToolButton *dim = deck.awakeProblemButton();
    EXPECT_FALSE(dim->isVisibleTo(&deck));
    env.screenAwake().setHeld(true);
    const bool answered = QTest::qWaitFor(
        [&] { return env.screenAwake().isHeld() || !env.screenAwake().problem().isEmpty(); },
        2000);
    ASSERT_TRUE(answered);
    if (env.screenAwake().isHeld())
        GTEST_SKIP() << "this machine's session bus keeps the screen awake";
    EXPECT_TRUE(dim->isVisibleTo(&deck));
    EXPECT_TRUE(dim->toolTip().startsWith("The screen may dim while you read"))
        << dim->toolTip().toStdString();
    QSignalSpy settings(&deck, &ControlDeckView::settingsRequested);
    dim->click();
    EXPECT_EQ(settings.count(), 1);
    // Turned off on purpose: nothing to warn about.
    env.prefs().reading().setKeepScreenAwake(false);
    EXPECT_FALSE(dim->isVisibleTo(&deck));
    env.screenAwake().setHeld(false);
}
