#pragma once

#include "commands/HotKeyAction.h"
#include "commands/HotKeyBinding.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>

class AppEnvironment;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

// Takes every key press of the app while a shortcut is recorded, before any
// window or menu sees it; exists only while a row is recording.
class KeyCapture : public QObject {
public:
    // Called with each key that is not a modifier alone; Escape alone cancels.
    KeyCapture(std::function<void(const HotKeyBinding &)> onKey, std::function<void()> onCancel,
               QObject *parent = nullptr);
    ~KeyCapture() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const HotKeyBinding &)> m_onKey;
    std::function<void()> m_onCancel;
};

// One row per command with its shortcut, recorded by clicking it and
// pressing the new keys; the warnings and the way shortcuts reach Orvell on
// this desktop below.
class ShortcutSettingsView : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutSettingsView(AppEnvironment &env, QWidget *parent = nullptr);
    ~ShortcutSettingsView() override;

    // The lines to bind in this desktop's configuration when Orvell cannot grab keys.
    QString bindLines() const;

    QPushButton *bindingButton(HotKeyAction action) const { return m_rows.at(action).binding; }
    QToolButton *restoreButton(HotKeyAction action) const { return m_rows.at(action).restore; }
    QLabel *failureLabel(HotKeyAction action) const { return m_rows.at(action).failure; }
    QPushButton *restoreAll() const { return m_restoreAll; }
    QLabel *message() const { return m_message; }
    QWidget *keyboardHeldWarning() const { return m_keyboardHeld; }
    QLabel *mechanism() const { return m_mechanism; }
    QLabel *notice() const { return m_notice; }
    QPushButton *gnomeButton() const { return m_gnome; }
    std::optional<HotKeyAction> recording() const { return m_recording; }

    void startRecording(HotKeyAction action);
    void stopRecording();
    // Asks whether another program holds the keyboard; once a second while shown.
    void pollKeyboardHeld();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Row {
        QPushButton *binding = nullptr;
        QToolButton *restore = nullptr;
        QLabel *failure = nullptr;
    };

    void refresh();
    void refreshDesktop();
    void recorded(const HotKeyBinding &binding);

    AppEnvironment &m_env;
    std::map<HotKeyAction, Row> m_rows;
    QPushButton *m_restoreAll = nullptr;
    QLabel *m_message = nullptr;
    QWidget *m_keyboardHeld = nullptr;
    QLabel *m_mechanism = nullptr;
    QLabel *m_notice = nullptr;
    QPushButton *m_gnome = nullptr;
    QLabel *m_gnomeProblem = nullptr;
    class QPlainTextEdit *m_lines = nullptr;
    QTimer *m_keyboardPoll = nullptr;
    std::optional<HotKeyAction> m_recording;
    KeyCapture *m_capture = nullptr;
};
