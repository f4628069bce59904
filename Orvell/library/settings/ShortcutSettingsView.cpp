#include "Orvell/library/settings/ShortcutSettingsView.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/library/settings/SettingsPaneView.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

KeyCapture::KeyCapture(std::function<void(const HotKeyBinding &)> onKey,
                       std::function<void()> onCancel, QObject *parent)
    : QObject(parent)
    , m_onKey(std::move(onKey))
    , m_onCancel(std::move(onCancel)) {
    qApp->installEventFilter(this);
}

KeyCapture::~KeyCapture() {
    qApp->removeEventFilter(this);
}

bool KeyCapture::eventFilter(QObject *, QEvent *event) {
    // A shortcut override would let the window's own shortcuts (Ctrl+N,
    // Delete) act on the keys being recorded.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                           Qt::AltModifier | Qt::MetaModifier);
    if (key->key() == Qt::Key_Escape && held == Qt::NoModifier) {
        if (m_onCancel)
            m_onCancel();
        return true;
    }
    if (const auto binding = HotKeyBinding::fromQt(key->key(), held)) {
        if (m_onKey)
            m_onKey(*binding);
    }
    // A modifier on its own waits for the key that goes with it.
    return true;
}

QString ShortcutSettingsView::bindLines() const {
    std::vector<GlobalShortcuts::Shortcut> shortcuts;
    for (HotKeyAction action : HotKeyActions::names.values())
        shortcuts.push_back({HotKeyActions::names.name(action), HotKeyActions::names.title(action),
                             m_env.shortcutRegistry().binding(action)});
    return GlobalShortcuts::bindLines(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), shortcuts);
}

ShortcutSettingsView::ShortcutSettingsView(AppEnvironment &env, QWidget *parent)
    : QWidget(parent)
    , m_env(env) {
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    QGroupBox *list = SettingsPaneView::section(QStringLiteral("Shortcuts"), this);
    auto *grid = new QGridLayout(list);
    int line = 0;
    for (HotKeyAction action : HotKeyActions::names.values()) {
        Row row;
        auto *titles = new QWidget(list);
        auto *titleColumn = new QVBoxLayout(titles);
        titleColumn->setContentsMargins(0, 0, 0, 0);
        titleColumn->setSpacing(0);
        titleColumn->addWidget(new QLabel(HotKeyActions::names.title(action), titles));
        row.failure = SettingsPaneView::problem(titles);
        titleColumn->addWidget(row.failure);
        row.binding = new QPushButton(list);
        row.binding->setMinimumWidth(190);
        row.binding->setAccessibleName(QStringLiteral("Shortcut for ") +
                                       HotKeyActions::names.title(action));
        row.restore = new QToolButton(list);
        row.restore->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo"),
                                              style()->standardIcon(QStyle::SP_ArrowBack)));
        row.restore->setAutoRaise(true);
        row.restore->setToolTip(QStringLiteral("Restore the default shortcut"));
        row.restore->setAccessibleName(QStringLiteral("Restore the default shortcut for ") +
                                       HotKeyActions::names.title(action));
        grid->addWidget(titles, line, 0);
        grid->addWidget(row.binding, line, 1, Qt::AlignTop);
        grid->addWidget(row.restore, line, 2, Qt::AlignTop);
        ++line;
        connect(row.binding, &QPushButton::clicked, this, [this, action] {
            if (m_recording == action)
                stopRecording();
            else
                startRecording(action);
        });
        connect(row.restore, &QToolButton::clicked, this, [this, action] {
            stopRecording();
            m_message->clear();
            m_message->hide();
            m_env.shortcutRegistry().restoreDefault(action);
        });
        m_rows[action] = row;
    }
    grid->setColumnStretch(0, 1);
    column->addWidget(list);

    m_message = SettingsPaneView::problem(this);
    m_message->setAccessibleName(QStringLiteral("Shortcut message"));
    column->addWidget(m_message);

    m_keyboardHeld = new QWidget(this);
    auto *heldColumn = new QVBoxLayout(m_keyboardHeld);
    heldColumn->setContentsMargins(0, 0, 0, 0);
    auto *heldTitle = new QLabel(QStringLiteral("\u26A0 The keyboard is held by another app"), m_keyboardHeld);
    QFont bold = heldTitle->font();
    bold.setBold(true);
    heldTitle->setFont(bold);
    heldColumn->addWidget(heldTitle);
    heldColumn->addWidget(SettingsPaneView::caption(
        QStringLiteral(
            "Another program \u2014 usually a password prompt or a locked screen \u2014 "
            "holds the whole keyboard. No app's shortcuts can fire until it lets go. Close "
            "the prompt and these will start working again."),
        m_keyboardHeld));
    m_keyboardHeld->setAccessibleName(QStringLiteral("The keyboard is held by another app"));
    m_keyboardHeld->hide();
    column->addWidget(m_keyboardHeld);

    auto *buttons = new QHBoxLayout;
    m_restoreAll = new QPushButton(QStringLiteral("Restore Defaults"), this);
    buttons->addWidget(m_restoreAll);
    buttons->addStretch(1);
    column->addLayout(buttons);
    connect(m_restoreAll, &QPushButton::clicked, this, [this] {
        stopRecording();
        m_message->hide();
        m_env.shortcutRegistry().restoreAllDefaults();
    });

    column->addWidget(SettingsPaneView::caption(
        QStringLiteral("Shortcuts work while another app is in front \u2014 that is the point: run "
                       "the script from your presentation, a video call or a browser without "
                       "clicking away. They need no permission and no restart.\n\nThe defaults use "
                       "all of Control, Alt and Super so they cannot collide with the app you are "
                       "presenting from."),
        this));

    // How the keys reach Orvell here, and what to do where nothing does.
    QGroupBox *how = SettingsPaneView::section(QStringLiteral("On this desktop"), this);
    auto *howColumn = new QVBoxLayout(how);
    m_mechanism = new QLabel(how);
    m_mechanism->setWordWrap(true);
    m_mechanism->setAccessibleName(QStringLiteral("How shortcuts reach Orvell"));
    howColumn->addWidget(m_mechanism);
    m_notice = new QLabel(how);
    m_notice->setWordWrap(true);
    m_notice->setAccessibleName(QStringLiteral("What the desktop says"));
    howColumn->addWidget(m_notice);
    GlobalShortcuts &service = env.shortcuts();
    const GlobalShortcuts::Kind kind = service.kind();
    if (service.canInstall()) {
        m_gnome = new QPushButton(how);
        howColumn->addWidget(m_gnome, 0, Qt::AlignLeft);
        m_gnomeProblem = SettingsPaneView::problem(how);
        howColumn->addWidget(m_gnomeProblem);
        connect(m_gnome, &QPushButton::clicked, this, [this] {
            QString error;
            const bool done = m_env.shortcutRegistry().setInstalledInDesktop(
                !m_env.shortcuts().isInstalled(), &error);
            SettingsPaneView::setProblem(m_gnomeProblem,
                                         done ? QString()
                                              : QStringLiteral("GNOME's keyboard settings could "
                                                               "not be changed: ") +
                                                    error);
            refreshDesktop();
        });
    }
    if (kind == GlobalShortcuts::Kind::bindLines || kind == GlobalShortcuts::Kind::none) {
        m_lines = new QPlainTextEdit(how);
        m_lines->setReadOnly(true);
        m_lines->setAccessibleName(QStringLiteral("Lines to bind"));
        m_lines->setMaximumHeight(m_lines->fontMetrics().lineSpacing() * 8 + 12);
        howColumn->addWidget(m_lines);
        auto *copy = new QPushButton(QStringLiteral("Copy"), how);
        copy->setAccessibleName(QStringLiteral("Copy the lines"));
        connect(copy, &QPushButton::clicked, this,
                [this] { QGuiApplication::clipboard()->setText(bindLines()); });
        howColumn->addWidget(copy, 0, Qt::AlignLeft);
    }
    connect(&service, &GlobalShortcuts::noticeChanged, this, &ShortcutSettingsView::refreshDesktop);
    column->addWidget(how);
    column->addStretch(1);

    m_keyboardPoll = new QTimer(this);
    m_keyboardPoll->setInterval(1000);
    connect(m_keyboardPoll, &QTimer::timeout, this, &ShortcutSettingsView::pollKeyboardHeld);
    connect(&env.shortcutRegistry(), &ShortcutRegistry::bindingsChanged, this, &ShortcutSettingsView::refresh);
    connect(&env.shortcutRegistry(), &ShortcutRegistry::failuresChanged, this, &ShortcutSettingsView::refresh);
    refresh();
}

ShortcutSettingsView::~ShortcutSettingsView() {
    stopRecording();
}

void ShortcutSettingsView::refreshDesktop() {
    const GlobalShortcuts &service = m_env.shortcuts();
    switch (service.kind()) {
    case GlobalShortcuts::Kind::bindLines:
    case GlobalShortcuts::Kind::none:
        m_mechanism->setText(
            QStringLiteral("This desktop gives Orvell no global shortcuts. Bind these in its own "
                           "keyboard settings or configuration file:"));
        break;
    default:
        m_mechanism->setText(QStringLiteral("Active: ") + service.mechanism() + QLatin1Char('.'));
        break;
    }
    const QString notice = service.notice();
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
    if (m_gnome) {
        m_gnome->setText(service.isInstalled()
                             ? QStringLiteral("Remove from GNOME's keyboard shortcuts")
                             : QStringLiteral("Add to GNOME's keyboard shortcuts"));
    }
    if (m_lines)
        m_lines->setPlainText(bindLines());
}

void ShortcutSettingsView::refresh() {
    refreshDesktop();
    const ShortcutRegistry &center = m_env.shortcutRegistry();
    for (auto &[action, row] : m_rows) {
        const bool recordingThis = m_recording == action;
        row.binding->setText(recordingThis ? QStringLiteral("Type a shortcut\u2026")
                                           : center.binding(action).displayString());
        row.binding->setStyleSheet(recordingThis ? QStringLiteral("color: palette(highlight);")
                                                 : QString());
        const auto failure = center.failures().find(action);
        SettingsPaneView::setProblem(
            row.failure, failure == center.failures().end() ? QString() : failure->second);
    }
}

void ShortcutSettingsView::startRecording(HotKeyAction action) {
    if (!m_recording)
        m_env.shortcutRegistry().suspend();
    m_recording = action;
    m_message->hide();
    if (!m_capture)
        m_capture = new KeyCapture([this](const HotKeyBinding &b) { recorded(b); },
                                   [this] { stopRecording(); }, this);
    refresh();
}

void ShortcutSettingsView::stopRecording() {
    if (!m_recording)
        return;
    m_recording.reset();
    delete m_capture;
    m_capture = nullptr;
    m_env.shortcutRegistry().resume();
    refresh();
}

void ShortcutSettingsView::recorded(const HotKeyBinding &binding) {
    if (!m_recording)
        return;
    const HotKeyBinding masked{binding.keyCode,
                               binding.modifierFlags &
                                   (HotKeyBinding::commandKeys | HotKeyBinding::shift)};
    if (const auto error = m_env.shortcutRegistry().assign(masked, *m_recording)) {
        // The old binding stays; the row keeps recording for another try.
        SettingsPaneView::setProblem(m_message, error->message());
        return;
    }
    m_message->hide();
    stopRecording();
}

void ShortcutSettingsView::pollKeyboardHeld() {
    // While recording, the keyboard is ours to read; nothing to warn about.
    const bool held = !m_recording && m_env.shortcuts().keyboardHeldElsewhere();
    m_keyboardHeld->setVisible(held);
}

void ShortcutSettingsView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    pollKeyboardHeld();
    m_keyboardPoll->start();
}

void ShortcutSettingsView::hideEvent(QHideEvent *event) {
    m_keyboardPoll->stop();
    stopRecording();
    QWidget::hideEvent(event);
}
