#include "Orvell/library/LibraryWindow.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/library/LibraryListModel.h"
#include "Orvell/library/ScriptEditorView.h"
#include "Orvell/library/settings/SettingsPaneView.h"
#include "OrvellKitUI/ScriptTile.h"
#include "OrvellKitUI/StatusIcon.h"
#include "import/ScriptImporter.h"
#include "settings/PreferenceKeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QStyledItemDelegate>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int idRole = Qt::UserRole;
constexpr int kindRole = Qt::UserRole + 1; // 0 filter, 1 settings pane
constexpr int titleRole = Qt::UserRole + 2;

// Renaming in place edits the title alone, not the row's star and second
// line, and hands what was typed to `rename` as it stands.
class TitleEditor : public QStyledItemDelegate {
public:
    TitleEditor(std::function<void(const QUuid &, const QString &)> rename, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_rename(std::move(rename)) {}

    void setEditorData(QWidget *editor, const QModelIndex &index) const override {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(index.data(titleRole).toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            m_rename(index.data(idRole).toUuid(), line->text());
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &) const override {
        // One line high, over the title.
        QRect r = option.rect;
        r.setHeight(std::min(r.height(), editor->sizeHint().height()));
        editor->setGeometry(r);
    }

private:
    std::function<void(const QUuid &, const QString &)> m_rename;
};

// The text field with the focus, if one has it: the Edit menu's usual items act on it.
QWidget *focusedTextField() {
    QWidget *w = QApplication::focusWidget();
    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QTextEdit *>(w) ||
        qobject_cast<QPlainTextEdit *>(w))
        return w;
    return nullptr;
}

bool canUndo(QWidget *field, bool redo) {
    if (auto *line = qobject_cast<QLineEdit *>(field))
        return redo ? line->isRedoAvailable() : line->isUndoAvailable();
    QTextDocument *document = nullptr;
    if (auto *plain = qobject_cast<QPlainTextEdit *>(field))
        document = plain->document();
    else if (auto *rich = qobject_cast<QTextEdit *>(field))
        document = rich->document();
    return document && (redo ? document->isRedoAvailable() : document->isUndoAvailable());
}

QLabel *notice(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setStyleSheet(
        QStringLiteral("QLabel { background: #fff4d6; color: #5c4400; border: 1px solid #e8cf8a; "
                       "border-radius: 6px; padding: 6px; }"));
    return label;
}

} // namespace

QString LibraryWindow::deleteTitle(const QString &scriptTitle) {
    return QStringLiteral("Delete \u201C") + scriptTitle + QStringLiteral("\u201D?");
}

QString LibraryWindow::deleteText() {
    return QStringLiteral("This removes the script and its file. It cannot be undone.");
}

QString LibraryWindow::emailProblemFor(const QString &address) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return QString();
    static const QRegularExpression shape(QStringLiteral(R"(^[^@\s]+@[^@\s.]+(\.[^@\s.]+)+$)"));
    if (shape.match(trimmed).hasMatch())
        return QString();
    return QStringLiteral("\u201C") + trimmed +
           QStringLiteral("\u201D is not an e-mail address: it needs a name, an @ and a domain "
                          "such as example.com.");
}

LibraryWindow::LibraryWindow(AppEnvironment &env, QWidget *parent)
    : QMainWindow(parent)
    , m_env(env)
    , m_list(new LibraryListModel(env, this)) {
    setWindowTitle(QStringLiteral("Orvell"));
    setObjectName(QStringLiteral("OrvellLibraryWindow3"));
    resize(1120, 720);
    // Narrow enough for two windows side by side on a 1920-pixel screen.
    setMinimumSize(900, 420);
    confirm = [this](const QString &title, const QString &text) {
        QMessageBox ask(QMessageBox::Warning, title, text, QMessageBox::Cancel, this);
        // The button says what it does; Cancel stays the default.
        QPushButton *remove = ask.addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
        ask.setDefaultButton(QMessageBox::Cancel);
        ask.exec();
        return ask.clickedButton() == remove;
    };
    reveal = [](const QString &path) {
        // The file manager shows the file selected where it can; else its folder opens.
        QDBusMessage show = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        show << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(show, QDBus::Block, 2000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };

    auto *splitter = new QSplitter(this);
    setCentralWidget(splitter);

    // Sidebar.
    auto *side = new QWidget(splitter);
    auto *sideColumn = new QVBoxLayout(side);
    m_sidebar = new QListWidget(side);
    m_sidebar->setAccessibleName(QStringLiteral("Library and settings"));
    sideColumn->addWidget(m_sidebar, 1);
    auto *emailLabel = new QLabel(QStringLiteral("Account e-mail (optional)"), side);
    m_email = new QLineEdit(side);
    m_email->setAccessibleName(QStringLiteral("Account e-mail"));
    m_email->setPlaceholderText(QStringLiteral("name@example.com"));
    m_email->setText(env.settings().stringValue(PreferenceKeys::accountEmail));
    m_emailProblem = new QLabel(side);
    m_emailProblem->setWordWrap(true);
    m_emailProblem->setStyleSheet(QStringLiteral("color: #b3261e;"));
    m_emailProblem->hide();
    auto *emailNote = new QLabel(QStringLiteral("Kept on this computer; nothing is sent."), side);
    emailNote->setStyleSheet(QStringLiteral("color: palette(mid);"));
    emailNote->setWordWrap(true);
    for (QWidget *w :
         std::initializer_list<QWidget *>{emailLabel, m_email, m_emailProblem, emailNote})
        sideColumn->addWidget(w);
    connect(m_email, &QLineEdit::editingFinished, this, [this] {
        const QString problem = emailProblemFor(m_email->text());
        m_emailProblem->setText(problem);
        m_emailProblem->setVisible(!problem.isEmpty());
        if (problem.isEmpty())
            m_env.settings().setValue(PreferenceKeys::accountEmail, m_email->text().trimmed());
    });

    // The list column.
    auto *listColumnWidget = new QWidget(splitter);
    auto *listColumn = new QVBoxLayout(listColumnWidget);
    m_recovery = new QWidget(listColumnWidget);
    auto *recoveryRow = new QVBoxLayout(m_recovery);
    recoveryRow->setContentsMargins(0, 0, 0, 0);
    m_recoveryText = notice(m_recovery);
    auto *recoveryButtons = new QHBoxLayout;
    auto *show = new QPushButton(QStringLiteral("Show in file manager"), m_recovery);
    auto *dismiss = new QPushButton(QStringLiteral("Dismiss"), m_recovery);
    recoveryButtons->addStretch(1);
    recoveryButtons->addWidget(show);
    recoveryButtons->addWidget(dismiss);
    recoveryRow->addWidget(m_recoveryText);
    recoveryRow->addLayout(recoveryButtons);
    connect(show, &QPushButton::clicked, this, [this] {
        if (const auto &r = m_env.store().recovery(); r && reveal)
            reveal(r->backupPath);
    });
    connect(dismiss, &QPushButton::clicked, this,
            [this] { m_env.store().dismissRecoveryNotice(); });
    m_saveProblem = notice(listColumnWidget);
    m_saveProblem->setAccessibleName(QStringLiteral("Save problem"));
    m_restored = new QWidget(listColumnWidget);
    auto *restoredRow = new QHBoxLayout(m_restored);
    restoredRow->setContentsMargins(0, 0, 0, 0);
    m_restoredText = notice(m_restored);
    m_restoredText->setAccessibleName(QStringLiteral("Scripts put back"));
    auto *restoredDismiss = new QPushButton(QStringLiteral("Dismiss"), m_restored);
    restoredRow->addWidget(m_restoredText, 1);
    restoredRow->addWidget(restoredDismiss, 0, Qt::AlignTop);
    connect(restoredDismiss, &QPushButton::clicked, this,
            [this] { m_env.dismissRestoredNotice(); });
    connect(&env, &AppEnvironment::restoredNoticeChanged, this, &LibraryWindow::refreshNotices);

    auto *tools = new QHBoxLayout;
    m_search = new QLineEdit(listColumnWidget);
    m_search->setPlaceholderText(QStringLiteral("Search scripts"));
    m_search->setAccessibleName(QStringLiteral("Search scripts"));
    m_search->setClearButtonEnabled(true);
    auto *clearSearch = new QAction(m_search);
    clearSearch->setShortcut(Qt::Key_Escape);
    clearSearch->setShortcutContext(Qt::WidgetShortcut);
    connect(clearSearch, &QAction::triggered, m_search, &QLineEdit::clear);
    m_search->addAction(clearSearch);
    m_sort = new QToolButton(listColumnWidget);
    m_sort->setText(QStringLiteral("Sort By"));
    m_sort->setToolTip(QStringLiteral("Sort scripts"));
    m_sort->setAccessibleName(QStringLiteral("Sort By"));
    m_sort->setPopupMode(QToolButton::InstantPopup);
    auto *sortMenu = new QMenu(m_sort);
    for (LibrarySort sort : LibrarySorts::names.values()) {
        QAction *a = sortMenu->addAction(LibrarySorts::names.title(sort));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, sort] { m_list->setSort(sort); });
    }
    connect(sortMenu, &QMenu::aboutToShow, this, [this, sortMenu] {
        const auto sorts = LibrarySorts::names.values();
        for (int i = 0; i < sorts.size(); ++i)
            sortMenu->actions().at(i)->setChecked(sorts.at(i) == m_list->sort());
    });
    m_sort->setMenu(sortMenu);
    auto *import = new QPushButton(QStringLiteral("Import Script"), listColumnWidget);
    import->setToolTip(QStringLiteral("Import ") + ScriptImporter::commonFormats());
    auto *create = new QPushButton(QStringLiteral("New Script"), listColumnWidget);
    create->setToolTip(QStringLiteral("Create a new script (Ctrl+N)"));
    tools->addWidget(m_search, 1);
    tools->addWidget(m_sort);
    listColumn->addWidget(m_recovery);
    listColumn->addWidget(m_restored);
    listColumn->addWidget(m_saveProblem);
    listColumn->addLayout(tools);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(import);
    buttons->addWidget(create);
    listColumn->addLayout(buttons);
    m_scripts = new QListWidget(listColumnWidget);
    m_scripts->setIconSize(QSize(tileSize, tileSize));
    m_scripts->setAccessibleName(QStringLiteral("Scripts"));
    // Rows are laid out as they come into view, not all at every change.
    m_scripts->setLayoutMode(QListView::Batched);
    m_scripts->setSpacing(3);
    m_scripts->setBatchSize(100);
    m_scripts->setAcceptDrops(true);
    m_scripts->viewport()->setAcceptDrops(true);
    m_scripts->viewport()->installEventFilter(this);
    m_scripts->setContextMenuPolicy(Qt::CustomContextMenu);
    m_empty = new QLabel(listColumnWidget);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_status = new QLabel(listColumnWidget);
    m_status->setAccessibleName(QStringLiteral("Import status"));
    m_status->setWordWrap(true);
    m_cancelImport = new QPushButton(QStringLiteral("Cancel"), listColumnWidget);
    m_cancelImport->setAccessibleName(QStringLiteral("Cancel the import"));
    m_cancelImport->setToolTip(QStringLiteral("Stop importing; what was imported stays"));
    m_cancelImport->setVisible(false);
    m_statusIcon = new StatusIcon(listColumnWidget);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_statusIcon, 0, Qt::AlignTop);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_cancelImport, 0, Qt::AlignTop);
    listColumn->addWidget(m_scripts, 1);
    listColumn->addWidget(m_empty, 1);
    listColumn->addLayout(statusRow);

    // The editor, or the settings destination's page.
    auto *right = new QStackedWidget(splitter);
    m_right = right;
    m_editor = new ScriptEditorView(env, right);
    right->addWidget(m_editor);
    side->setMinimumWidth(170);
    listColumnWidget->setMinimumWidth(260);
    right->setMinimumWidth(380);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);
    splitter->setSizes({210, 330, 580});

    m_editor->onDelete = [this](const QUuid &id) { askToDelete(id); };
    m_editor->onNewScript = [this] { startNewScript(); };
    connect(create, &QPushButton::clicked, this, [this] { startNewScript(); });
    connect(import, &QPushButton::clicked, this, &LibraryWindow::openImportDialog);
    connect(m_search, &QLineEdit::textChanged, m_list, &LibraryListModel::setSearch);
    connect(m_list, &LibraryListModel::rowsChanged, this, &LibraryWindow::refreshRows);
    connect(m_list, &LibraryListModel::importStatusChanged, this, [this] {
        using Kind = LibraryListModel::ImportStatus::Kind;
        const LibraryListModel::ImportStatus &status = m_list->importStatus();
        m_status->setText(status.line());
        m_statusIcon->setState(status.kind == Kind::working ? StatusIcon::State::busy
                               : status.kind == Kind::done  ? StatusIcon::State::done
                               : status.kind == Kind::failed ? StatusIcon::State::problem
                                                             : StatusIcon::State::none);
        m_cancelImport->setVisible(m_list->isImporting());
    });
    connect(m_cancelImport, &QPushButton::clicked, m_list, &LibraryListModel::cancelImport);
    connect(m_scripts, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (!m_refreshing && item && !item->data(idRole).toUuid().isNull())
            m_env.store().select(item->data(idRole).toUuid());
    });
    m_scripts->setItemDelegate(new TitleEditor(
        [this](const QUuid &id, const QString &title) {
            if (!id.isNull())
                m_env.store().rename(id, title);
        },
        m_scripts));
    connect(m_scripts->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        if (!std::exchange(m_writeAfterRename, false))
            return;
        m_editor->editor()->setFocus(Qt::OtherFocusReason);
    });
    connect(m_scripts->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int start, int, const QModelIndex &, int row) {
                if (!m_refreshing && canReorder())
                    m_env.store().move({start}, row);
            });
    connect(m_scripts, &QListWidget::customContextMenuRequested, this,
            &LibraryWindow::showContextMenu);
    connect(m_sidebar, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (!m_refreshing && item)
            showDestination(item);
    });
    connect(&env.store(), &ScriptStore::recoveryChanged, this, &LibraryWindow::refreshNotices);
    connect(&env.store(), &ScriptStore::saveProblemChanged, this, &LibraryWindow::refreshNotices);
    connect(&env.store(), &ScriptStore::scriptsChanged, this, &LibraryWindow::refreshSidebar);

    buildMenus();
    refreshSidebar();
    refreshRows();
    refreshNotices();
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::buildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("New Script"), QKeySequence::New, this,
                    [this] { startNewScript(); });
    file->addAction(QStringLiteral("Import\u2026"), QKeySequence::Open, this,
                    &LibraryWindow::openImportDialog);
    file->addSeparator();
    file->addAction(QStringLiteral("Close Window"), QKeySequence::Close, this, &QWidget::close);
    file->addAction(QStringLiteral("Quit Orvell"), QKeySequence::Quit, this, [this] {
        if (onQuit)
            onQuit();
        else
            QCoreApplication::quit();
    });
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    // The usual items, on whichever text field has the focus (the editor,
    // the title, the search). The field answers their keys itself.
    struct TextAction {
        const char *title;
        QKeySequence::StandardKey key;
        const char *slot;
    };
    std::vector<std::pair<QAction *, const char *>> textActions;
    for (const TextAction &t : {TextAction{"Undo", QKeySequence::Undo, "undo"},
                                TextAction{"Redo", QKeySequence::Redo, "redo"},
                                TextAction{nullptr, {}, nullptr},
                                TextAction{"Cut", QKeySequence::Cut, "cut"},
                                TextAction{"Copy", QKeySequence::Copy, "copy"},
                                TextAction{"Paste", QKeySequence::Paste, "paste"},
                                TextAction{"Select All", QKeySequence::SelectAll, "selectAll"}}) {
        if (!t.title) {
            edit->addSeparator();
            continue;
        }
        QAction *a = edit->addAction(QString::fromLatin1(t.title), t.key, this, [slot = t.slot] {
            if (QWidget *field = focusedTextField())
                QMetaObject::invokeMethod(field, slot);
        });
        textActions.emplace_back(a, t.slot);
    }
    connect(edit, &QMenu::aboutToShow, this, [textActions] {
        QWidget *field = focusedTextField();
        const bool readOnly = field && field->property("readOnly").toBool();
        for (const auto &[action, slot] : textActions) {
            const QByteArray name(slot);
            bool on = field != nullptr;
            if (name == "undo" || name == "redo")
                on = on && !readOnly && canUndo(field, name == "redo");
            else if (name == "cut" || name == "paste")
                on = on && !readOnly;
            action->setEnabled(on);
        }
    });
    edit->addSeparator();
    edit->addAction(QStringLiteral("Find"), QKeySequence::Find, this, [this] {
        m_search->setFocus();
        m_search->selectAll();
    });
    edit->addAction(QStringLiteral("Paste onto the Script"), this, [this] { m_editor->paste(); });
    edit->addAction(QStringLiteral("Replace with the Clipboard"), this,
                    [this] { m_editor->replace(); });
    edit->addAction(QStringLiteral("Copy Text"), this, [this] { m_editor->copy(); });
    edit->addSeparator();
    QAction *rename = edit->addAction(QStringLiteral("Rename Script"), this, [this] {
        if (const auto id = m_env.store().selectedID())
            startRename(*id);
    });
    rename->setShortcut(QKeySequence(Qt::Key_F2));
    rename->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_scripts->addAction(rename);
    QAction *remove = edit->addAction(QStringLiteral("Delete Script\u2026"), this, [this] {
        if (const auto id = m_env.store().selectedID())
            askToDelete(*id);
    });
    remove->setShortcut(QKeySequence::Delete);
    // Delete in the text field deletes text, not the script.
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_scripts->addAction(remove);
    edit->addSeparator();
    edit->addAction(QStringLiteral("Settings\u2026"), QKeySequence(QStringLiteral("Ctrl+,")), this,
                    [this] { showSettings(); });
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    for (LibraryFilter filter : LibraryFilters::names.values())
        view->addAction(LibraryFilters::names.title(filter), this, [this, filter] {
            for (int i = 0; i < m_sidebar->count(); ++i)
                if (m_sidebar->item(i)->data(kindRole).toInt() == 0 &&
                    m_sidebar->item(i)->data(idRole).toInt() == static_cast<int>(filter))
                    m_sidebar->setCurrentRow(i);
        });
    view->addSeparator();
    view->addAction(QStringLiteral("Play / Pause"), QKeySequence(QStringLiteral("Ctrl+Space")),
                    this, [this] { m_env.commands().handle(HotKeyAction::playPause); });
    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->addAction(QStringLiteral("Minimize"), QKeySequence(QStringLiteral("Ctrl+M")), this,
                      &QWidget::showMinimized);
    window->addAction(QStringLiteral("Zoom"), this, [this] {
        if (isMaximized())
            showNormal();
        else
            showMaximized();
    });
    window->addSeparator();
    QAction *island = window->addAction(QString(), this, [this] {
        m_env.commands().handle(HotKeyAction::toggleIsland);
    });
    QAction *deck = window->addAction(QString(), this, [this] {
        m_env.commands().handle(HotKeyAction::toggleControlDeck);
    });
    connect(window, &QMenu::aboutToShow, this, [this, island, deck] {
        island->setText(m_env.panels().isIslandVisible() ? QStringLiteral("Hide Island")
                                                         : QStringLiteral("Show Island"));
        deck->setText(m_env.panels().isControlDeckVisible() ? QStringLiteral("Hide Controls")
                                                            : QStringLiteral("Show Controls"));
    });
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("About Orvell"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Orvell"), aboutText(m_env.store().root()));
    });
}

QString LibraryWindow::aboutText(const QString &libraryFolder) {
    return QStringLiteral("<p><b>Orvell %1</b><br>The script prompter under your camera.</p>"
                          "<p>Your scripts: %2<br>Everything stays on this computer.</p>"
                          "<p>Built with Qt %3 (LGPL 3), PocketSphinx (BSD), eSpeak NG (GPL 3), "
                          "ICU, libzip and libexttextcat.</p>")
        .arg(QStringLiteral(ORVELL_VERSION), libraryFolder.toHtmlEscaped(),
             QString::fromLatin1(qVersion()));
}

void LibraryWindow::styleAsHeader(QListWidgetItem *item) const {
    // Not a row to choose, but not a greyed-out one either: a section's title.
    item->setFlags(Qt::NoItemFlags);
    item->setData(kindRole, -1);
    QFont font = item->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::PercentageSpacing, 105);
    item->setFont(font);
    item->setForeground(palette().color(QPalette::Active, QPalette::WindowText));
}

QIcon LibraryWindow::filterIcon(LibraryFilter filter) const {
    // The desktop's icon theme first; Qt's own icons where it has none.
    switch (filter) {
    case LibraryFilter::all:
        return QIcon::fromTheme(QStringLiteral("view-list-text"),
                                style()->standardIcon(QStyle::SP_FileDialogListView));
    case LibraryFilter::favorites:
        return QIcon::fromTheme(QStringLiteral("starred"),
                                style()->standardIcon(QStyle::SP_DialogYesButton));
    case LibraryFilter::recent:
        return QIcon::fromTheme(QStringLiteral("document-open-recent"),
                                style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    case LibraryFilter::onIsland:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("media-playback-start"),
                            style()->standardIcon(QStyle::SP_MediaPlay));
}

void LibraryWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    // The desktop went dark or light: the headers take the new text colour.
    if (event->type() == QEvent::PaletteChange && m_sidebar) {
        refreshSidebar();
        refreshRows();
    }
}

void LibraryWindow::refreshSidebar() {
    m_refreshing = true;
    const int row = m_sidebar->currentRow();
    m_sidebar->clear();
    auto *header = new QListWidgetItem(QStringLiteral("Orvell \u2014 ") + m_list->countLine());
    styleAsHeader(header);
    m_sidebar->addItem(header);
    for (LibraryFilter filter : LibraryFilters::names.values()) {
        auto *item = new QListWidgetItem(filterIcon(filter), LibraryFilters::names.title(filter));
        item->setData(idRole, static_cast<int>(filter));
        item->setData(kindRole, 0);
        m_sidebar->addItem(item);
    }
    auto *settings = new QListWidgetItem(QStringLiteral("Settings"));
    styleAsHeader(settings);
    m_sidebar->addItem(settings);
    for (SettingsPane pane : SettingsPanes::names.values()) {
        auto *item = new QListWidgetItem(QIcon::fromTheme(SettingsPanes::iconName(pane)),
                                         SettingsPanes::names.title(pane));
        item->setData(kindRole, 1);
        item->setData(idRole, static_cast<int>(pane));
        m_sidebar->addItem(item);
    }
    m_sidebar->setCurrentRow(row > 0 ? row : 1);
    m_refreshing = false;
}

void LibraryWindow::refreshRows() {
    m_refreshing = true;
    // One repaint for the whole list, not one per row.
    m_scripts->setUpdatesEnabled(false);
    m_scripts->clear();
    const auto rows = m_list->rows();
    const auto selected = m_env.store().selectedID();
    for (const LibraryListModel::Row &row : rows) {
        auto *item = new QListWidgetItem;
        if (row.isHeader) {
            item->setText(row.text);
            styleAsHeader(item);
        } else {
            item->setIcon(ScriptTile::icon(row.text, row.id, tileSize));
            // The title, and under it the words and the reading time.
            item->setText((row.isFavorite ? QStringLiteral("\u2605 ") : QString()) + row.text +
                          QLatin1Char('\n') + row.secondary);
            item->setData(idRole, row.id);
            item->setData(titleRole, row.text);
            item->setToolTip(row.text + QLatin1Char('\n') + row.secondary);
            item->setData(Qt::AccessibleTextRole, row.text);
            item->setData(Qt::AccessibleDescriptionRole,
                          (row.isFavorite ? QStringLiteral("Favorite, ") : QString()) +
                              row.secondary);
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                           Qt::ItemIsDragEnabled);
        }
        m_scripts->addItem(item);
        if (!row.isHeader && selected == row.id)
            m_scripts->setCurrentItem(item);
    }
    const bool none =
        std::none_of(rows.begin(), rows.end(), [](const auto &r) { return !r.isHeader; });
    m_empty->setText(m_list->emptyMessage());
    m_empty->setVisible(none);
    m_scripts->setVisible(!none);
    // Rows are dragged into a new order only where the list shows that order.
    m_scripts->setDragDropMode(canReorder() ? QAbstractItemView::InternalMove
                                            : QAbstractItemView::DropOnly);
    m_scripts->setUpdatesEnabled(true);
    m_refreshing = false;
}

bool LibraryWindow::canReorder() const {
    return m_list->sort() == LibrarySort::custom && m_list->filter() == LibraryFilter::all &&
           m_list->search().isEmpty();
}

void LibraryWindow::refreshNotices() {
    const auto &r = m_env.store().recovery();
    m_recovery->setVisible(r.has_value());
    if (r)
        m_recoveryText->setText(QStringLiteral("<b>") + r->noticeTitle() +
                                QStringLiteral("</b><br>") + r->noticeText().toHtmlEscaped());
    const QString problem = m_env.store().saveProblem();
    const QString bodies = m_env.store().bodyProblems();
    const QString both = (problem + QLatin1Char('\n') + bodies).trimmed();
    m_saveProblem->setText(both);
    m_saveProblem->setVisible(!both.isEmpty());
    m_restoredText->setText(m_env.restoredNotice());
    m_restored->setVisible(!m_env.restoredNotice().isEmpty());
}

void LibraryWindow::showContextMenu(const QPoint &at) {
    QListWidgetItem *item = m_scripts->itemAt(at);
    if (!item || item->data(idRole).toUuid().isNull())
        return;
    const QUuid id = item->data(idRole).toUuid();
    const Script *s = m_env.store().script(id);
    if (!s)
        return;
    QMenu menu;
    menu.addAction(s->isFavorite ? QStringLiteral("Remove from Favorites")
                                 : QStringLiteral("Add to Favorites"),
                   this, [this, id] { m_env.store().toggleFavorite(id); });
    menu.addAction(QStringLiteral("Rename"), this, [this, id] { startRename(id); });
    menu.addAction(QStringLiteral("Duplicate"), this, [this, id] { m_env.store().duplicate(id); });
    menu.addAction(QStringLiteral("Delete\u2026"), this, [this, id] { askToDelete(id); });
    menu.exec(m_scripts->viewport()->mapToGlobal(at));
}

void LibraryWindow::askToDelete(const QUuid &id) {
    const Script *s = m_env.store().script(id);
    if (s && confirm && confirm(deleteTitle(s->title), deleteText()))
        m_env.store().deleteScript(id);
}

void LibraryWindow::startNewScript() {
    // The title first; once it is confirmed (or left as it is) the words.
    m_writeAfterRename = true;
    startRename(m_list->newScript());
}

void LibraryWindow::startRename(const QUuid &id) {
    for (int i = 0; i < m_scripts->count(); ++i) {
        QListWidgetItem *item = m_scripts->item(i);
        if (item->data(idRole).toUuid() == id) {
            m_scripts->setCurrentItem(item);
            m_scripts->editItem(item);
            return;
        }
    }
}

void LibraryWindow::showSettings(SettingsPane pane) {
    for (int i = 0; i < m_sidebar->count(); ++i)
        if (m_sidebar->item(i)->data(kindRole).toInt() == 1 &&
            m_sidebar->item(i)->data(idRole).toInt() == static_cast<int>(pane)) {
            m_sidebar->setCurrentRow(i);
            return;
        }
}

void LibraryWindow::showDestination(QListWidgetItem *item) {
    // A pane lives only while its row is chosen; what it changed is stored.
    if (m_pane) {
        m_right->removeWidget(m_pane);
        m_pane->deleteLater();
        m_pane->hide();
        m_pane = nullptr;
    }
    if (item->data(kindRole).toInt() == 0) {
        m_list->setFilter(static_cast<LibraryFilter>(item->data(idRole).toInt()));
        m_right->setCurrentWidget(m_editor);
        return;
    }
    m_pane =
        new SettingsPaneView(static_cast<SettingsPane>(item->data(idRole).toInt()), m_env, m_right);
    m_right->addWidget(m_pane);
    m_right->setCurrentWidget(m_pane);
}

void LibraryWindow::openImportDialog() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Import Script"), QString(),
        ScriptImporter::fileDialogFilter());
    if (!files.isEmpty())
        m_list->importFiles(files);
}

bool LibraryWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_scripts->viewport() &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto *drag = static_cast<QDropEvent *>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (watched == m_scripts->viewport() && event->type() == QEvent::Drop &&
        static_cast<QDropEvent *>(event)->mimeData()->hasUrls()) {
        auto *drop = static_cast<QDropEvent *>(event);
        QStringList paths;
        for (const QUrl &url : drop->mimeData()->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        if (m_list->importFiles(paths))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void LibraryWindow::closeEvent(QCloseEvent *event) {
    // What was typed goes to disk now, not half a second later.
    m_env.store().flushPendingSynchronously();
    QMainWindow::closeEvent(event);
}
