// Edits a library as fast as it can until it is killed, saying on standard
// output what it does:
//   op                 an edit is about to start
//   saved ID VERSION   the body of VERSION and the index holding it are on disk
//   deleting ID        the script is about to be deleted
#include "CrashBody.h"
#include "library/ScriptStore.h"

#include <QCoreApplication>
#include <QHash>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>

namespace {

class Editor {
public:
    Editor(const QString &root, quint32 seed)
        : m_random(seed)
        , m_store(root, ScriptStoreOptions{false, {}, nullptr, {}}) {
        // Debounced saves fire at once, so kills land in the middle of them too.
        m_store.saveDebounce = 0;
        for (const Script &s : m_store.scripts())
            m_versions.insert(s.id, CrashBody::version(s.body).value_or(0));
    }

    void step() {
        std::printf("op\n");
        std::fflush(stdout);
        const int roll = static_cast<int>(m_random.bounded(100));
        const auto &scripts = m_store.scripts();
        if (scripts.empty() || (roll < 15 && scripts.size() < 40)) {
            const Script s = m_store.create(QString(), body(1), m_random.bounded(2) == 0);
            m_versions.insert(s.id, 1);
        } else if (roll < 70) {
            const QUuid id = pick();
            const int v = m_versions.value(id) + 1;
            m_versions.insert(id, v);
            m_store.updateBody(body(v), id);
        } else if (roll < 78) {
            const QUuid id = pick();
            std::printf("deleting %s\n", qPrintable(Script::idText(id)));
            std::fflush(stdout);
            m_versions.remove(id);
            m_store.deleteScript(id);
        } else if (roll < 86) {
            const auto n = static_cast<qsizetype>(scripts.size());
            m_store.move({static_cast<qsizetype>(m_random.bounded(n))},
                         static_cast<qsizetype>(m_random.bounded(n + 1)));
        } else if (roll < 92) {
            m_store.toggleFavorite(pick());
        } else if (roll < 96) {
            m_store.rename(pick(), QStringLiteral("Renamed %1").arg(m_random.bounded(1000)));
        } else {
            m_store.flushPendingSynchronously();
            for (const Script &s : m_store.scripts())
                std::printf("saved %s %d\n", qPrintable(Script::idText(s.id)),
                            CrashBody::version(s.body).value_or(-1));
            std::fflush(stdout);
        }
    }

private:
    QUuid pick() {
        const auto &scripts = m_store.scripts();
        return scripts[m_random.bounded(static_cast<quint32>(scripts.size()))].id;
    }

    QString body(int version) {
        // Large bodies, cheap to make: most of the child's time goes to
        // writing, so that is where most kills land.
        return CrashBody::make(version, 1000 + static_cast<int>(m_random.bounded(40000)));
    }

    QRandomGenerator m_random;
    ScriptStore m_store;
    QHash<QUuid, int> m_versions;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: crash_child ROOT SEED\n");
        return 2;
    }
    Editor editor(QString::fromLocal8Bit(argv[1]), static_cast<quint32>(std::atoi(argv[2])));
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { editor.step(); });
    timer.start(0);
    return app.exec();
}
