#include "Orvell/library/LibraryWindow.h"
#include "OrvellKitUI/StatusIcon.h"
#include "Orvell/library/LibraryWindowController.h"
#include "Orvell/library/LibraryListModel.h"
#include "Orvell/library/ScriptEditorView.h"
#include "library/ScriptDiskIO.h"
#include "support/LibraryTestSupport.h"

#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

struct WindowFixture : ::testing::Test {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ScriptStore &store = env.store();

    QStringList titles(const LibraryListModel &list) {
        QStringList out;
        for (const auto &row : list.rows())
            out << (row.isHeader ? "# " + row.text : row.text);
        return out;
    }

    // Waits for the import the model started off the GUI thread.
    static void waitForImport(LibraryListModel &list) {
        QSignalSpy spy(&list, &LibraryListModel::importStatusChanged);
        for (int i = 0;
             i < 100 && list.importStatus().kind == LibraryListModel::ImportStatus::Kind::working;
             ++i)
            spy.wait(100);
    }
};

} // namespace

TEST_F(WindowFixture, filtersSortsAndSearchShapeTheListAndTheSortIsRemembered) {
    LibraryWindow window(env);
    LibraryListModel &list = window.list();
    const Script b = store.create("Budget review", "numbers and more numbers", false);
    store.create("All hands", "hello everyone", false);
    store.toggleFavorite(b.id);
    list.setSort(LibrarySort::title);
    EXPECT_EQ(titles(list), (QStringList{"All hands", "Budget review", "Welcome"}));
    EXPECT_EQ(env.settings().stringValue("LibrarySort"), "title");
    EXPECT_EQ(LibraryListModel(env).sort(), LibrarySort::title); // as after a restart
    list.setSearch("BUDGET");
    EXPECT_EQ(titles(list), QStringList{"Budget review"});
    list.setSearch({});
    list.setFilter(LibraryFilter::favorites);
    EXPECT_EQ(titles(list), QStringList{"Budget review"});
    const auto row = list.rows().front();
    EXPECT_TRUE(row.isFavorite);
    EXPECT_TRUE(row.secondary.startsWith("4 words")) << row.secondary.toStdString();
    EXPECT_EQ(list.countLine(), "3 scripts");

    for (const Script &s : std::vector<Script>(store.scripts()))
        store.deleteScript(s.id);
    list.setFilter(LibraryFilter::onIsland);
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(window.emptyLabel()->text(), "Select a script to show it on the island.");
    EXPECT_TRUE(window.emptyLabel()->isVisibleTo(&window));
    EXPECT_EQ(list.countLine(), "0 scripts");
    EXPECT_EQ(list.secondaryLine(Script{}), "Empty script");
}

TEST_F(WindowFixture, renamingAndDeletingGoThroughTheStoreAfterTheUserSaysSo) {
    LibraryWindow window(env);
    QStringList asked;
    bool answer = false;
    window.confirm = [&](const QString &title, const QString &text) {
        asked << title << text;
        return answer;
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // New Script: the title is edited in place, then the words.
    window.startNewScript();
    const QUuid id = *store.selectedID();
    EXPECT_EQ(store.script(id)->title, "Untitled Script");
    const auto titleField = [&]() -> QLineEdit * {
        for (QLineEdit *field : window.scripts()->viewport()->findChildren<QLineEdit *>())
            if (field->isVisible())
                return field;
        return nullptr;
    };
    // The view commits a typed title once the event loop turns.
    const auto confirm = [&](QLineEdit *field) {
        QTest::keyClick(field, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    ASSERT_NE(titleField(), nullptr);
    EXPECT_EQ(titleField()->text(), "Untitled Script") << "only the title, not the second line";
    titleField()->setText("Opening remarks");
    confirm(titleField());
    EXPECT_EQ(store.script(id)->title, "Opening remarks");
    if (QApplication::focusWidget()) {
        EXPECT_EQ(QApplication::focusWidget(), window.editor()->editor())
            << "typing after the title goes into the script";
    }

    // A favourite, renamed again: what is shown is what is stored.
    store.toggleFavorite(id);
    window.startRename(id);
    ASSERT_NE(titleField(), nullptr);
    EXPECT_EQ(titleField()->text(), "Opening remarks");
    titleField()->setText(titleField()->text() + " v2");
    confirm(titleField());
    EXPECT_EQ(store.script(id)->title, "Opening remarks v2");

    window.askToDelete(id);
    EXPECT_EQ(asked, (QStringList{QString::fromUtf8("Delete \u201COpening remarks v2\u201D?"),
                                  "This removes the script and its file. It cannot be undone."}));
    EXPECT_NE(store.script(id), nullptr); // cancelled
    answer = true;
    window.askToDelete(id);
    EXPECT_EQ(store.script(id), nullptr);
}

TEST_F(WindowFixture, escapeClearsTheSearchAndAboutSaysWhatAndWhere) {
    LibraryWindow window(env);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.searchField()->setFocus();
    QTest::keyClicks(window.searchField(), "budget");
    EXPECT_EQ(window.list().search(), "budget");
    QTest::keyClick(window.searchField(), Qt::Key_Escape);
    EXPECT_EQ(window.searchField()->text(), "");
    EXPECT_EQ(window.list().search(), "");

    // Titles: whole when they fit, else ending with an ellipsis and whole in the tooltip.
    store.create("Short", "words", true);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.editor()->title()->text(), "Short");
    const Script longOne = store.create(QString("A very long title ").repeated(20), "words", true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.editor()->title()->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(window.editor()->title()->toolTip(), longOne.title);

    const QString about = LibraryWindow::aboutText(store.root());
    EXPECT_TRUE(about.contains(QStringLiteral(ORVELL_VERSION_FOR_TESTS))) << about.toStdString();
    EXPECT_TRUE(about.contains(store.root().toHtmlEscaped()));
    EXPECT_TRUE(about.contains(qVersion()));
}

TEST_F(WindowFixture, pasteAndReplaceUseTheImportersNormalisation) {
    LibraryWindow window(env);
    ScriptEditorView *editor = window.editor();
    const QUuid id = window.list().newScript();
    QApplication::clipboard()->setText("  \n\n \t\n");
    editor->paste();
    EXPECT_EQ(store.script(id)->body, ""); // blank clipboard: nothing
    QApplication::clipboard()->setText("First\tline  here\r\n\r\n\r\nSecond\u00A0line");
    editor->paste();
    EXPECT_EQ(store.script(id)->body, "First line here\n\nSecond line");
    QApplication::clipboard()->setText("More");
    editor->paste();
    EXPECT_EQ(store.script(id)->body, "First line here\n\nSecond line\n\nMore");
    editor->replace();
    EXPECT_EQ(store.script(id)->body, "More");
    store.updateBody("Copied whole", id);
    editor->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "Copied whole");
}

TEST_F(WindowFixture, theEditorShowsCuesAndHeadingsAndCountsOnlyWhatIsSaid) {
    LibraryWindow window(env);
    ScriptEditorView *editor = window.editor();
    const QUuid id = window.list().newScript();
    store.updateBody("# Opening\nHello [smile] everyone here", id);
    QTextDocument *document = editor->editor()->document();
    const auto formatAt = [&](int block, int at) {
        const QTextBlock b = document->findBlockByNumber(block);
        for (const auto &range : b.layout()->formats())
            if (at >= range.start && at < range.start + range.length)
                return range.format;
        return QTextCharFormat();
    };
    EXPECT_EQ(formatAt(0, 3).fontWeight(), QFont::Bold);   // the heading's title
    EXPECT_TRUE(formatAt(1, 7).fontItalic());              // inside "[smile]"
    EXPECT_FALSE(formatAt(1, 1).fontItalic());             // "Hello"
    // Three words are said: the cue and the heading take no time.
    EXPECT_TRUE(editor->summary()->text().startsWith("3 words")) << editor->summary()->text().toStdString();
    // Brackets as text: the cue is plain again.
    env.prefs().reading().setBracketsAreCues(false);
    EXPECT_FALSE(formatAt(1, 7).fontItalic());
    env.prefs().reading().setBracketsAreCues(true);
}

TEST_F(WindowFixture, droppedFilesImportWithTheLibrarysSentences) {
    LibraryWindow window(env);
    LibraryListModel &list = window.list();
    const QString a = app.dir.filePath("a.md"), b = app.dir.filePath("b.md");
    const QString pages = app.dir.filePath("deck.pages");
    ASSERT_TRUE(writeFile(a, "# Alpha\nText"));
    ASSERT_TRUE(writeFile(b, "Beta text"));
    ASSERT_TRUE(writeFile(pages, "x"));
    EXPECT_TRUE(list.importFiles({a, b, pages}));
    EXPECT_EQ(list.importStatus().line(), QString::fromUtf8("Importing a.md\u2026"));
    // A spinner beside the line while it works, turning only while seen.
    StatusIcon *icon = window.statusIcon();
    EXPECT_EQ(icon->state(), StatusIcon::State::busy);
    EXPECT_FALSE(icon->isSpinning());
    window.show();
    EXPECT_TRUE(icon->isSpinning());
    waitForImport(list);
    EXPECT_EQ(window.statusLine()->text(), "Imported 2 scripts.");
    EXPECT_EQ(icon->state(), StatusIcon::State::done);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_FALSE(icon->isSpinning());
    EXPECT_EQ(store.selected()->title, "b");

    // Only what cannot be read: refused, with the reason.
    EXPECT_FALSE(list.importFiles({pages}));
    EXPECT_EQ(window.statusLine()->text(), "Orvell cannot read .pages files.");
    EXPECT_EQ(icon->state(), StatusIcon::State::problem);
    EXPECT_FALSE(list.importFiles({app.dir.filePath("picture.png")}));
    EXPECT_EQ(window.statusLine()->text(), "Orvell cannot read .png files.");
    EXPECT_FALSE(list.importFiles({app.dir.path()}));
    EXPECT_TRUE(window.statusLine()->text().endsWith("is a folder. Drop the files in it instead."));
    const QString empty = app.dir.filePath("empty.txt");
    ASSERT_TRUE(writeFile(empty, "   "));
    EXPECT_TRUE(list.importFiles({empty}));
    waitForImport(list);
    EXPECT_EQ(window.statusLine()->text(), "That file has no text in it.");
}

TEST_F(WindowFixture, noticesStayInViewUntilResolvedOrDismissed) {
    // A damaged index: rebuilt, and said so until dismissed.
    QTemporaryDir folder;
    const QString root = folder.filePath("library");
    ASSERT_TRUE(ScriptDiskIO::writeBody("Kept text", QUuid::createUuid(), root, nullptr));
    ASSERT_TRUE(writeFile(ScriptDiskIO::manifestPath(root), "{ not json"));
    TestEnvironment reopened(true, root);
    AppEnvironment &recovered = *reopened.env;
    LibraryWindow window(recovered);
    QString revealed;
    window.reveal = [&](const QString &path) { revealed = path; };
    ASSERT_TRUE(window.recoveryNotice()->isVisibleTo(&window));
    window.recoveryNotice()->findChildren<QPushButton *>().at(0)->click();
    EXPECT_TRUE(revealed.contains("library.json.corrupt-"));
    window.recoveryNotice()->findChildren<QPushButton *>().at(1)->click();
    EXPECT_FALSE(window.recoveryNotice()->isVisibleTo(&window));

    // A save that fails is in view until the file is written again.
    EXPECT_FALSE(window.saveProblemNotice()->isVisibleTo(&window));
    QDir(ScriptDiskIO::scriptsDirectory(root)).removeRecursively();
    ASSERT_TRUE(writeFile(ScriptDiskIO::scriptsDirectory(root), "a file where the folder goes"));
    recovered.store().create("Blocked", "text", false);
    EXPECT_TRUE(window.saveProblemNotice()->isVisibleTo(&window));
    EXPECT_TRUE(
        window.saveProblemNotice()->text().contains(QString::fromUtf8("\u201CBlocked\u201D")));
}

TEST_F(WindowFixture, closingTheWindowRightAfterTypingKeepsTheLastKeystroke) {
    LibraryWindow window(env);
    const QUuid id = window.list().newScript();
    window.show();
    QTest::keyClicks(window.editor()->editor(), "Last words");
    EXPECT_NE(readFile(ScriptDiskIO::bodyPath(id, store.root())), "Last words"); // still debounced
    window.close();
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(id, store.root())), "Last words");
}

TEST_F(WindowFixture, theAccountAddressIsCheckedAndKeptOnlyWhenItIsOne) {
    EXPECT_EQ(LibraryWindow::emailProblemFor(""), "");
    EXPECT_EQ(LibraryWindow::emailProblemFor(" ada@example.com "), "");
    EXPECT_FALSE(LibraryWindow::emailProblemFor("ada@localhost").isEmpty());
    EXPECT_FALSE(LibraryWindow::emailProblemFor("ada example.com").isEmpty());
    LibraryWindow window(env);
    window.emailField()->setText("not an address");
    emit window.emailField()->editingFinished();
    EXPECT_TRUE(window.emailProblem()->isVisibleTo(&window));
    EXPECT_TRUE(env.settings().stringValue("AccountEmail").isEmpty());
    window.emailField()->setText("ada@example.com");
    emit window.emailField()->editingFinished();
    EXPECT_FALSE(window.emailProblem()->isVisibleTo(&window));
    EXPECT_EQ(env.settings().stringValue("AccountEmail"), "ada@example.com");
}

TEST_F(WindowFixture, rowsAreDraggedIntoANewOrderOnlyInTheCustomOrder) {
    LibraryWindow window(env);
    store.create("Second", "two", false);
    store.create("Third", "three", false);
    window.list().setSort(LibrarySort::custom);
    EXPECT_EQ(window.scripts()->dragDropMode(), QAbstractItemView::InternalMove);
    ASSERT_EQ(titles(window.list()), (QStringList{"Welcome", "Second", "Third"}));
    // What a drag of the last row to the top does to the list's model.
    ASSERT_TRUE(window.scripts()->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    EXPECT_EQ(titles(window.list()), (QStringList{"Third", "Welcome", "Second"}));
    EXPECT_EQ(store.scripts().front().title, "Third");
    window.list().setSort(LibrarySort::title);
    EXPECT_EQ(window.scripts()->dragDropMode(), QAbstractItemView::DropOnly);
}

TEST(LibraryWindowPlace, theFirstPlaceKeepsClearOfTheIslandAndTheDeck) {
    const QSize wanted(1120, 720), minimum(900, 420);
    const QRect island(981, 0, 598, 260), deck(1080, 1160, 400, 200);
    // Room between them on a tall screen: the whole window, title bar below the island.
    EXPECT_EQ(LibraryWindowController::firstPlace({0, 0, 2560, 1400}, wanted, minimum,
                                                  {island, deck}),
              QRect(720, 304, 1120, 720));
    // A 1080-pixel screen with a bottom panel: as tall as fits between them.
    const QRect free(0, 0, 1920, 1040);
    const QRect hdIsland(661, 0, 598, 260), hdDeck(760, 800, 400, 200);
    const QRect placed =
        LibraryWindowController::firstPlace(free, wanted, minimum, {hdIsland, hdDeck});
    EXPECT_EQ(placed.top(), 304);
    EXPECT_EQ(placed.height(), 788 - 304);
    EXPECT_EQ(placed.width(), 1120);
    // No panels (hidden, or a desktop without them): near the top, whole.
    EXPECT_EQ(LibraryWindowController::firstPlace(free, wanted, minimum, {}),
              QRect(400, 32, 1120, 720));
    // Too short for even the smallest window between them: the smallest,
    // as far down as the screen lets it, the deck over its foot.
    const QRect small = LibraryWindowController::firstPlace(
        {0, 0, 1366, 728}, wanted, minimum, {QRect(384, 0, 598, 260), QRect(483, 520, 400, 200)});
    EXPECT_EQ(small.height(), 420);
    EXPECT_EQ(small.top(), 304);
    EXPECT_LE(small.bottom(), 727);
    // KDE's 44-pixel bottom panel and the deck above it on a 1080-pixel
    // screen: the window fits between, clear of both.
    const QRect kdeDeck(760, 768, 400, 230);
    const QRect kde = LibraryWindowController::firstPlace({0, 0, 1920, 1036}, wanted, minimum,
                                                          {hdIsland, kdeDeck});
    EXPECT_LT(kde.bottom(), kdeDeck.top());
    EXPECT_GT(kde.top(), hdIsland.bottom());
    // A narrow screen: no wider than it.
    EXPECT_EQ(LibraryWindowController::firstPlace({0, 0, 1024, 768}, wanted, minimum, {}).width(),
              1024);
}

TEST_F(WindowFixture, everyRowIsTimedAtTheOneRateTheSpeedIsSetTo) {
    LibraryListModel list(env);
    const Script talk = store.create("Talk", QString("word ").repeated(300), true);
    store.create("Notes", QString("word ").repeated(30), false);
    const auto lines = [&] {
        QStringList out;
        for (const auto &row : list.rows())
            if (!row.isHeader)
                out << row.text + ": " + row.secondary;
        return out;
    };
    const QStringList before = lines();
    EXPECT_TRUE(before.contains(QString::fromUtf8("Talk: 300 words \u00B7 2:00 at 150 wpm"))) << before.join(" | ").toStdString();
    EXPECT_TRUE(before.contains(QString::fromUtf8("Notes: 30 words \u00B7 0:12 at 150 wpm"))) << before.join(" | ").toStdString();
    // Selecting another script or laying the text out bigger changes nothing.
    store.select(store.scripts().back().id);
    env.scroll().setContentHeight(env.scroll().contentHeight() * 2 + 500);
    EXPECT_EQ(lines(), before);
    env.scroll().setT(1);
    EXPECT_TRUE(lines().contains(QString::fromUtf8("Talk: 300 words \u00B7 1:09 at 260 wpm"))) << lines().join(" | ").toStdString();
    (void)talk;
}

TEST_F(WindowFixture, theHeaderAndFooterSpeakOfTheScriptShownAtOnce) {
    LibraryWindow window(env);
    const Script talk = store.create("Talk", QString("word ").repeated(300), true);
    const Script notes = store.create("Notes", "one two three", false);
    const auto header = [&] { return window.editor()->summary()->text(); };
    const auto footer = [&] { return window.editor()->details()->text(); };
    EXPECT_TRUE(header().startsWith("300 words")) << header().toStdString();
    EXPECT_TRUE(footer().startsWith("Words 300")) << footer().toStdString();
    store.select(notes.id); // a click or an arrow key in the list
    EXPECT_TRUE(header().startsWith("3 words")) << header().toStdString();
    EXPECT_TRUE(footer().startsWith("Words 3 ")) << footer().toStdString();
    // Typing: the count follows each keystroke, not the one before.
    window.editor()->editor()->moveCursor(QTextCursor::End);
    window.editor()->editor()->insertPlainText(" four");
    EXPECT_TRUE(header().startsWith("4 words")) << header().toStdString();
    EXPECT_TRUE(footer().startsWith("Words 4 ")) << footer().toStdString();
    // Deleting the shown script shows its neighbour's.
    store.deleteScript(notes.id);
    ASSERT_EQ(store.selectedID(), talk.id);
    EXPECT_TRUE(header().startsWith("300 words")) << header().toStdString();
    // A new empty script says so, with no time.
    window.startNewScript();
    EXPECT_EQ(header(), "No words yet");
    EXPECT_EQ(window.editor()->editor()->placeholderText(), "Write or paste what you will say.");
}

TEST_F(WindowFixture, theEditAndWindowMenusWorkOnWhatHasTheFocus) {
    LibraryWindow window(env);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    const auto action = [&](const QString &menu, const QString &title) -> QAction * {
        for (QAction *m : window.menuBar()->actions())
            if (m->text().remove('&') == menu) {
                emit m->menu()->aboutToShow();
                for (QAction *a : m->menu()->actions())
                    if (a->text() == title)
                        return a;
            }
        return nullptr;
    };
    QLineEdit *search = window.searchField();
    search->setFocus();
    QTest::keyClicks(search, "budget");
    ASSERT_EQ(QApplication::focusWidget(), search);
    QAction *selectAll = action("Edit", "Select All");
    ASSERT_NE(selectAll, nullptr);
    selectAll->trigger();
    EXPECT_EQ(search->selectedText(), "budget");
    QAction *cut = action("Edit", "Cut");
    ASSERT_TRUE(cut->isEnabled());
    cut->trigger();
    EXPECT_EQ(search->text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "budget");
    QAction *undo = action("Edit", "Undo");
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    EXPECT_EQ(search->text(), "budget");
    search->end(false);
    action("Edit", "Paste")->trigger();
    EXPECT_EQ(search->text(), "budgetbudget");

    // Nothing to edit where no text field has the focus.
    search->clearFocus();
    ASSERT_FALSE(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    EXPECT_FALSE(action("Edit", "Copy")->isEnabled());

    // The Window menu says what its island item would do, and does it.
    env.panels().setIslandVisible(true);
    QAction *island = action("Window", "Hide Island");
    ASSERT_NE(island, nullptr);
    QSignalSpy toggled(&env.commands(), &PrompterCommands::islandToggleRequested);
    island->trigger();
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_NE(action("Window", "Minimize"), nullptr);
}
