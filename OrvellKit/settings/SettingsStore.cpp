#include "settings/SettingsStore.h"

#include "base/AppIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcSettings, "org.orvell.Orvell.Settings")

SettingsStore::SettingsStore() = default;
SettingsStore::~SettingsStore() = default;

std::unique_ptr<SettingsStore> SettingsStore::openUserStore() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return openFile(dir + QLatin1Char('/') + AppIdentity::appId + QStringLiteral(".conf"));
}

std::unique_ptr<SettingsStore> SettingsStore::openFile(const QString &path) {
    std::unique_ptr<SettingsStore> store(new SettingsStore);
    store->m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    // A damaged file must never stop the app: whatever could be read is used
    // and everything else falls back to its default.
    if (store->m_settings->status() != QSettings::NoError)
        qCWarning(lcSettings).noquote() << "could not read" << path << "; using defaults";
    store->m_seen = store->readAll();
    store->watch();
    return store;
}

std::unique_ptr<SettingsStore> SettingsStore::inMemory() {
    return std::unique_ptr<SettingsStore>(new SettingsStore);
}

QVariant SettingsStore::value(const QString &key) const {
    if (m_settings) {
        const QVariant v = m_settings->value(key);
        if (v.isValid())
            return v;
    } else if (auto it = m_memory.constFind(key); it != m_memory.cend()) {
        return *it;
    }
    return m_defaults.value(key);
}

bool SettingsStore::hasStoredValue(const QString &key) const {
    return m_settings ? m_settings->contains(key) : m_memory.contains(key);
}

static double toDouble(const QVariant &v) {
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0)
            return 1;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok ? d : 0;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0;
}

double SettingsStore::doubleValue(const QString &key) const {
    return toDouble(value(key));
}

qint64 SettingsStore::integerValue(const QString &key) const {
    const double d = toDouble(value(key));
    if (!std::isfinite(d))
        return 0;
    constexpr double limit = 9.2e18;
    return static_cast<qint64>(std::clamp(std::trunc(d), -limit, limit));
}

bool SettingsStore::boolValue(const QString &key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1StringView("true") || s == QLatin1StringView("yes"))
            return true;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok && d != 0;
    }
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && d != 0;
}

QString SettingsStore::stringValue(const QString &key) const {
    const QVariant v = value(key);
    if (!v.isValid() || !v.canConvert<QString>())
        return QString();
    return v.toString();
}

QByteArray SettingsStore::dataValue(const QString &key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

namespace {

// The file holds text: a value compares by what it reads back as.
QString comparable(const QVariant &v) {
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray().toBase64());
    return v.toString();
}

} // namespace

QVariantMap SettingsStore::readAll() const {
    QVariantMap all;
    if (m_settings)
        for (const QString &key : m_settings->allKeys())
            if (!key.isEmpty())
                all.insert(key, m_settings->value(key));
    return all;
}

void SettingsStore::watch() {
    m_watcher = new QFileSystemWatcher(this);
    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(200);
    connect(m_debounce, &QTimer::timeout, this, &SettingsStore::checkDisk);
    const auto rewatch = [this] {
        // Editors and QSettings itself replace the file by renaming a new
        // one over it, which ends a watch on the file: the folder sees that.
        const QFileInfo file(m_settings->fileName());
        if (file.exists() && !m_watcher->files().contains(file.absoluteFilePath()))
            m_watcher->addPath(file.absoluteFilePath());
        if (file.absoluteDir().exists() && m_watcher->directories().isEmpty())
            m_watcher->addPath(file.absolutePath());
    };
    rewatch();
    const auto changed = [this, rewatch] {
        rewatch();
        m_debounce->start();
    };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
}

void SettingsStore::checkDisk() {
    if (!m_settings)
        return;
    // Pending writes of ours go out first; sync() then reads what others wrote.
    m_settings->sync();
    const QVariantMap now = readAll();
    QStringList changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto was = m_seen.constFind(it.key());
        if (was == m_seen.cend() || comparable(*was) != comparable(*it))
            changed << it.key();
    }
    for (auto it = m_seen.cbegin(); it != m_seen.cend(); ++it)
        if (!now.contains(it.key()))
            changed << it.key();
    m_seen = now;
    if (!changed.isEmpty())
        qCInfo(lcSettings).noquote()
            << "settings changed by another program:" << changed.join(", ");
    for (const QString &key : std::as_const(changed))
        emit valueChanged(key);
}

void SettingsStore::setValue(const QString &key, const QVariant &value) {
    if (m_settings) {
        m_settings->setValue(key, value);
        m_seen.insert(key, value);
    } else
        m_memory.insert(key, value);
    emit valueChanged(key);
}

void SettingsStore::remove(const QString &key) {
    if (m_settings) {
        m_settings->remove(key);
        m_seen.remove(key);
    } else
        m_memory.remove(key);
    emit valueChanged(key);
}

void SettingsStore::registerDefaults(const QVariantMap &defaults) {
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void SettingsStore::sync() {
    if (m_settings)
        m_settings->sync();
}

QString SettingsStore::fileName() const {
    return m_settings ? m_settings->fileName() : QString();
}
