#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

#include <functional>

class AppEnvironment;

// Orvell on the session bus (interface org.orvell.Orvell at
// /org/orvell/Orvell, described in Orvell/bus/org.orvell.Orvell.xml): the
// prompter commands, coming forward, importing, and what is being read.
class AppBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orvell.Orvell")
    Q_PROPERTY(bool Playing READ playing)
    Q_PROPERTY(QString SelectedScriptId READ selectedScriptId)
    Q_PROPERTY(QString SelectedScriptTitle READ selectedScriptTitle)
    Q_PROPERTY(double WordsPerMinute READ wordsPerMinute)

public:
    explicit AppBus(AppEnvironment &env, QObject *parent = nullptr);

    // Puts the object on the connection; false when the bus refused it.
    bool publish(QDBusConnection connection);

    // What "come forward" shows: the island until the library window exists.
    std::function<void()> onShowLibrary;

    bool playing() const;
    QString selectedScriptId() const;
    QString selectedScriptTitle() const;
    double wordsPerMinute() const;

public slots:
    void PlayPause();
    void SpeedUp();
    void SpeedDown();
    void SpeedUpMore();
    void SpeedDownMore();
    void Restart();
    void ToggleIsland();
    void ToggleControlDeck();
    void ToggleVoiceFollow();
    void NextSection();
    void PreviousSection();
    void ShowLibrary();
    QString Import(const QStringList &paths, int &imported, int &failed, QStringList &problems);

private:
    void announce(const QStringList &names);

    AppEnvironment &m_env;
    QVariantMap m_announced; // each property as last announced
    QDBusConnection m_connection{QString()};
};
