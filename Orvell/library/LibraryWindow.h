#pragma once

#include "Orvell/library/settings/SettingsPane.h"

#include <QMainWindow>
#include <QUuid>

#include <functional>

class AppEnvironment;
class LibraryListModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
class QWidget;
class QStackedWidget;
class ScriptEditorView;
class SettingsPaneView;
class StatusIcon;

// The library: the sidebar of filters and settings, the list of scripts with
// search, sort, import and new, and the editor of the selected script; the
// recovery and save-problem notices stay in view until resolved or dismissed.
class LibraryWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit LibraryWindow(AppEnvironment &env, QWidget *parent = nullptr);
    ~LibraryWindow() override;

    LibraryListModel &list() { return *m_list; }
    QListWidget *sidebar() const { return m_sidebar; }
    QListWidget *scripts() const { return m_scripts; }
    QLineEdit *searchField() const { return m_search; }
    QLabel *emptyLabel() const { return m_empty; }
    QLabel *statusLine() const { return m_status; }
    StatusIcon *statusIcon() const { return m_statusIcon; }
    QWidget *recoveryNotice() const { return m_recovery; }
    QLabel *saveProblemNotice() const { return m_saveProblem; }
    QWidget *restoredNotice() const { return m_restored; }
    QLineEdit *emailField() const { return m_email; }
    QLabel *emailProblem() const { return m_emailProblem; }
    ScriptEditorView *editor() const { return m_editor; }
    // The settings pane on show; null while a script list is.
    SettingsPaneView *settingsPane() const { return m_pane; }

    // Asks before deleting; replaced in tests. True deletes.
    std::function<bool(const QString &title, const QString &text)> confirm;
    // Opens the file manager on a file; replaced in tests.
    std::function<void(const QString &path)> reveal;
    // File › Quit Orvell; quits at once when not set.
    std::function<void()> onQuit;

    // The exact words of the delete confirmation.
    static QString deleteTitle(const QString &scriptTitle);
    static QString deleteText();
    // Help › About: the version, where the scripts are, what Orvell is built with.
    static QString aboutText(const QString &libraryFolder);
    // Nothing for an address that looks like one, else why it is refused.
    static QString emailProblemFor(const QString &address);

    void askToDelete(const QUuid &id);
    void startRename(const QUuid &id);
    void startNewScript();
    void openImportDialog();
    void showSettings(SettingsPane pane = SettingsPane::general);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void refreshRows();
    void refreshNotices();
    void refreshSidebar();
    void styleAsHeader(QListWidgetItem *item) const;
    QIcon filterIcon(LibraryFilter filter) const;
    static constexpr int tileSize = 28;
    void showContextMenu(const QPoint &at);
    void showDestination(QListWidgetItem *item);
    bool canReorder() const;

    AppEnvironment &m_env;
    LibraryListModel *m_list = nullptr;
    QListWidget *m_sidebar = nullptr;
    QListWidget *m_scripts = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_sort = nullptr;
    QLabel *m_empty = nullptr;
    QLabel *m_status = nullptr;
    StatusIcon *m_statusIcon = nullptr;
    QWidget *m_recovery = nullptr;
    QLabel *m_recoveryText = nullptr;
    QLabel *m_saveProblem = nullptr;
    QPushButton *m_cancelImport = nullptr;
    QWidget *m_restored = nullptr;
    QLabel *m_restoredText = nullptr;
    QLineEdit *m_email = nullptr;
    QLabel *m_emailProblem = nullptr;
    QStackedWidget *m_right = nullptr;
    SettingsPaneView *m_pane = nullptr;
    ScriptEditorView *m_editor = nullptr;
    bool m_refreshing = false;
    bool m_writeAfterRename = false;
};
