#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <utility>

class QFileSystemWatcher;
class QSettings;
class QTimer;

// The per-user key–value store: stored values over registered defaults, with
// typed getters that read a value of another type the lenient way, and a
// change signal for every write.
class SettingsStore : public QObject {
    Q_OBJECT

public:
    ~SettingsStore() override;

    // The user's store: an INI file named after the app id in the XDG config folder.
    static std::unique_ptr<SettingsStore> openUserStore();
    static std::unique_ptr<SettingsStore> openFile(const QString &path);
    static std::unique_ptr<SettingsStore> inMemory();

    // The stored value, else the registered default, else an invalid QVariant.
    QVariant value(const QString &key) const;
    bool hasStoredValue(const QString &key) const;

    // 0 when absent; numbers written as text (as an INI file holds them) are read as numbers.
    double doubleValue(const QString &key) const;
    qint64 integerValue(const QString &key) const;
    // true for true, a non-zero number, or the text "true"/"yes"; false otherwise.
    bool boolValue(const QString &key) const;
    // The empty string when absent.
    QString stringValue(const QString &key) const;
    // Empty when absent or not data.
    QByteArray dataValue(const QString &key) const;

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void registerDefaults(const QVariantMap &defaults);

    // Re-emits this store's changes as the owner's own change signals, by
    // key. The table must outlive the owner (a static array).
    template <typename Owner, size_t N>
    void relayChanges(Owner *owner,
                      const std::pair<QLatin1StringView, void (Owner::*)()> (&table)[N]) {
        connect(this, &SettingsStore::valueChanged, owner, [owner, &table](const QString &key) {
            for (const auto &[name, signal] : table) {
                if (key == name) {
                    emit(owner->*signal)();
                    return;
                }
            }
        });
    }

    // Limits a value to [lo, hi]; NaN lands on lo. For setters that clamp.
    static double clamped(double value, double lo, double hi) {
        if (!(value > lo))
            return lo;
        return value < hi ? value : hi;
    }

    // Writes pending changes to disk (the store also does so on its own).
    void sync();
    // Where the values live; empty for an in-memory store.
    QString fileName() const;

    // Reads the file again and announces every key another program changed.
    // The store also does this on its own shortly after the file changes.
    void checkDisk();

signals:
    void valueChanged(const QString &key);

private:
    SettingsStore();
    void watch();
    QVariantMap readAll() const;

    std::unique_ptr<QSettings> m_settings; // null for an in-memory store
    // What the file held when last read or written, to tell others' changes.
    QVariantMap m_seen;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_debounce = nullptr;
    QVariantMap m_memory;
    QVariantMap m_defaults;
};
