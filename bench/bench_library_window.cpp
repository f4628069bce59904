// The library window with a large library: opening it to the first painted
// list, filtering as the user types in the search field, and a keystroke in
// the editor of a long script, the island's re-layout included.
#include "Orvell/core/AppEnvironment.h"
#include "BenchText.h"
#include "Orvell/library/LibraryListModel.h"
#include "Orvell/library/LibraryWindow.h"
#include "Orvell/library/ScriptEditorView.h"
#include "settings/Autostart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct NoAutostart : Autostart {
    bool isEnabled() const override { return false; }
    bool setEnabled(bool, QString *) override { return true; }
};

struct NoShortcuts : GlobalShortcuts {
    Failure grab(quint32, const Shortcut &, int *) override { return Failure::none; }
    void release(quint32) override {}
    Kind kind() const override { return Kind::none; }
};

// An app graph over a library of `scripts` scripts of 500 words, the last
// one `lastWords` long and selected.
struct Library {
    QTemporaryDir dir;
    std::unique_ptr<AppEnvironment> env;

    Library(int scripts, int lastWords) {
        AppEnvironment::Services services;
        services.settings = SettingsStore::inMemory();
        services.autostart = std::make_unique<NoAutostart>();
        services.shortcuts = std::make_unique<NoShortcuts>();
        services.libraryRoot = dir.filePath("library");
        env = std::make_unique<AppEnvironment>(std::move(services));
        for (int i = 1; i < scripts; ++i)
            env->store().create(QStringLiteral("Script %1").arg(i), benchScript(500), false);
        env->store().create(QStringLiteral("Long"), benchScript(lastWords), true);
        env->store().flushPendingSynchronously();
        env->viewport().setViewportSize({364, 160});
    }
};

void BM_OpenLibraryWindow(benchmark::State &state) {
    Library library(1000, 500);
    for (auto _ : state) {
        LibraryWindow window(*library.env);
        window.show();
        window.grab(); // painted once, as on screen
        benchmark::DoNotOptimize(&window);
    }
    state.SetLabel("1,000 scripts, to the first painted list");
}

void BM_SearchKeystroke(benchmark::State &state) {
    Library library(1000, 500);
    LibraryWindow window(*library.env);
    window.show();
    bool longer = false;
    for (auto _ : state) {
        window.list().setSearch(longer ? QStringLiteral("scr") : QStringLiteral("sc"));
        longer = !longer;
        QApplication::processEvents();
    }
    state.SetLabel("1,000 scripts, one keystroke in the search field");
}

void BM_EditorKeystroke(benchmark::State &state) {
    Library library(2, 10000);
    LibraryWindow window(*library.env);
    window.show();
    QPlainTextEdit *editor = window.editor()->editor();
    editor->moveCursor(QTextCursor::End);
    for (auto _ : state) {
        editor->insertPlainText(QStringLiteral("x"));
        QApplication::processEvents();
    }
    state.SetLabel("10,000-word script, the island's re-layout included");
}

} // namespace

BENCHMARK(BM_OpenLibraryWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorKeystroke)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
