#include "Orvell/core/ScreenObserver.h"

#include "Platform/session/QtScreens.h"
#include "settings/Preferences.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <algorithm>

namespace {
constexpr QLatin1StringView displayPrefix{"display:"};
}

ScreenObserver::Target ScreenObserver::Target::fromStored(const QString &text) {
    if (text == QLatin1StringView("menuBar"))
        return {Kind::withMenuBar, {}, 0};
    if (text == QLatin1StringView("pointer"))
        return {Kind::withPointer, {}, 0};
    if (text == QLatin1StringView("builtIn"))
        return {Kind::builtIn, {}, 0};
    if (text.startsWith(displayPrefix) && text.size() > displayPrefix.size())
        return {Kind::specific, text.mid(displayPrefix.size()), 0};
    QString digits = text;
    if (digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    bool ok = false;
    const uint number = digits.toUInt(&ok);
    if (ok && !digits.isEmpty() && digits.at(0).isDigit())
        return {Kind::specific, {}, number};
    return {Kind::builtIn, {}, 0};
}

QString ScreenObserver::Target::storedFor(const ScreenFacts &display) {
    return displayPrefix + display.identity();
}

std::optional<ScreenFacts> ScreenObserver::find(const std::vector<ScreenFacts> &displays,
                                                const QString &identity) {
    for (const ScreenFacts &d : displays)
        if (d.identity() == identity)
            return d;
    const std::optional<ScreenFacts> wanted = ScreenFacts::fromIdentity(identity);
    if (!wanted)
        return std::nullopt;
    // The same monitor plugged into another port; only a device that tells
    // itself apart (a serial, or a model no other connected display has).
    const auto sameDevice = [&](const ScreenFacts &d) {
        return !wanted->model.isEmpty() && d.manufacturer == wanted->manufacturer &&
               d.model == wanted->model && d.serial == wanted->serial;
    };
    const auto devices = std::count_if(displays.begin(), displays.end(), sameDevice);
    if (devices == 1 || (devices > 1 && !wanted->serial.isEmpty()))
        for (const ScreenFacts &d : displays)
            if (sameDevice(d))
                return d;
    // Another monitor on the chosen output.
    for (const ScreenFacts &d : displays)
        if (!wanted->name.isEmpty() && d.name == wanted->name)
            return d;
    return std::nullopt;
}

std::vector<ScreenFacts> ScreenObserver::connectedDisplays() {
    std::vector<ScreenFacts> facts;
    // Qt lists the primary screen, the one with the desktop's panel, first.
    QList<QScreen *> screens = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    for (const QScreen *s : std::as_const(screens))
        facts.push_back(QtScreens::facts(s));
    return facts;
}

ScreenObserver::ScreenObserver(Preferences &prefs, Scheduler &scheduler, Displays displays,
                               QObject *parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_scheduler(scheduler)
    , m_displays(std::move(displays))
    , m_target(Target::fromStored(prefs.targetDisplay())) {
    if (!m_displays.list)
        m_displays.list = &ScreenObserver::connectedDisplays;
    if (!m_displays.pointer)
        m_displays.pointer = [] { return QPointF(QCursor::pos()); };
}

std::optional<ScreenFacts> ScreenObserver::resolve() const {
    const std::vector<ScreenFacts> displays = m_displays.list();
    if (displays.empty())
        return std::nullopt;
    switch (m_target.kind) {
    case Target::Kind::specific:
        if (!m_target.identity.isEmpty()) {
            if (auto found = find(displays, m_target.identity))
                return found;
            break;
        }
        // Earlier versions numbered displays in the order the platform lists
        // them, from 1; such a setting is read until a display is chosen again.
        if (m_target.display >= 1 && m_target.display <= displays.size())
            return displays[m_target.display - 1];
        break;
    case Target::Kind::builtIn:
        for (const ScreenFacts &d : displays)
            if (d.isBuiltIn)
                return d;
        break;
    case Target::Kind::withMenuBar:
        return displays.front();
    case Target::Kind::withPointer: {
        const QPointF p = m_displays.pointer();
        for (const ScreenFacts &d : displays)
            if (d.frame.contains(p))
                return d;
        break;
    }
    }
    return displays.front();
}

void ScreenObserver::replaceNow() {
    emit replaced();
}

void ScreenObserver::scheduleReplace() {
    for (Scheduler::Handle h : m_pending)
        m_scheduler.cancel(h);
    m_pending.clear();
    replaceNow();
    QPointer<ScreenObserver> self(this);
    for (double delay : {0.15, 0.5})
        m_pending.push_back(m_scheduler.schedule(delay, [self] {
            if (self)
                self->replaceNow();
        }));
}

void ScreenObserver::start() {
    const auto changed = [this] { scheduleReplace(); };
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, changed](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, changed);
        connect(screen, &QScreen::availableGeometryChanged, this, changed);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, changed);
    for (QScreen *screen : QGuiApplication::screens()) {
        connect(screen, &QScreen::geometryChanged, this, changed);
        connect(screen, &QScreen::availableGeometryChanged, this, changed);
    }
    connect(&m_prefs, &Preferences::targetDisplayChanged, this, [this] {
        const Target t = Target::fromStored(m_prefs.targetDisplay());
        if (t == m_target)
            return;
        m_target = t;
        scheduleReplace();
    });
}
