#pragma once

#include <QUuid>
#include <QWidget>

class AppEnvironment;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedLayout;
class QToolButton;

// The selected script, edited in place: its title and whether it is being
// read, its words and reading time, the text, the buttons and the details.
class ScriptEditorView : public QWidget {
    Q_OBJECT

public:
    explicit ScriptEditorView(AppEnvironment &env, QWidget *parent = nullptr);

    QPlainTextEdit *editor() const { return m_editor; }
    QLabel *title() const { return m_title; }
    QLabel *status() const { return m_status; }
    QLabel *summary() const { return m_summary; }
    QLabel *details() const { return m_details; }

    // The clipboard's text appended after a blank line (or as the whole text
    // of an empty script), or in place of the text; nothing for a clipboard
    // without text.
    void paste();
    void replace();
    void copy();

    std::function<void(const QUuid &)> onDelete;
    std::function<void()> onNewScript;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A long title ends with an ellipsis; the tooltip has it whole.
    void showTitle();
    void load();
    void refresh();
    void applyClipboard(bool replaceAll);

    AppEnvironment &m_env;
    QUuid m_shown;
    QStackedLayout *m_pages = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_details = nullptr;
    QPlainTextEdit *m_editor = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_favorite = nullptr;
    bool m_loading = false;
    QString m_fullTitle;
};
