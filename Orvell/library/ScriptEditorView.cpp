#include "Orvell/library/ScriptEditorView.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/ScriptHighlighter.h"
#include "import/ScriptImporter.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &text, const QString &help, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setToolTip(help);
    b->setAccessibleName(text);
    // As wide as the words, so the row fits beside a narrow list.
    b->setStyleSheet(QStringLiteral("QPushButton { padding: 4px 8px; }"));
    b->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return b;
}

QString wordsText(int n) {
    return n == 1 ? QStringLiteral("1 word") : QString::number(n) + QStringLiteral(" words");
}

} // namespace

ScriptEditorView::ScriptEditorView(AppEnvironment &env, QWidget *parent)
    : QWidget(parent)
    , m_env(env) {
    m_pages = new QStackedLayout(this);

    // Nothing selected.
    auto *empty = new QWidget(this);
    auto *emptyColumn = new QVBoxLayout(empty);
    emptyColumn->addStretch(1);
    auto *none = new QLabel(QStringLiteral("No Script Selected"), empty);
    none->setAlignment(Qt::AlignCenter);
    QFont big = none->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    none->setFont(big);
    auto *hint = new QLabel(
        QStringLiteral("Create a script, or drop %1 onto the list.")
            .arg(ScriptImporter::commonFormats()),
        empty);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    auto *create =
        button(QStringLiteral("New Script"), QStringLiteral("Create a new script (Ctrl+N)"), empty);
    connect(create, &QPushButton::clicked, this, [this] {
        if (onNewScript)
            onNewScript();
    });
    emptyColumn->addWidget(none);
    emptyColumn->addWidget(hint);
    emptyColumn->addWidget(create, 0, Qt::AlignCenter);
    emptyColumn->addStretch(1);
    m_pages->addWidget(empty);

    // A script.
    auto *page = new QWidget(this);
    auto *column = new QVBoxLayout(page);
    m_title = new QLabel(page);
    m_title->setFont(big);
    m_title->setAccessibleName(QStringLiteral("Script title"));
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->installEventFilter(this);
    m_status = new QLabel(page);
    m_summary = new QLabel(page);
    m_summary->setAccessibleName(QStringLiteral("Words and reading time"));
    auto *header = new QHBoxLayout;
    header->addWidget(m_title, 1);
    header->addWidget(m_status);
    column->addLayout(header);
    column->addWidget(m_summary);

    auto *actions = new QHBoxLayout;
    auto *back =
        button(QStringLiteral("Back to the start"), QStringLiteral("Back to the start"), page);
    m_play = button(QStringLiteral("Play"), QStringLiteral("Play or pause the island (Ctrl+Space)"),
                    page);
    m_favorite = button(QStringLiteral("Favorite"), QStringLiteral("Add to Favorites"), page);
    // The clipboard's actions live in the menu (and the Edit menu), so the
    // row fits the narrowest window without cutting its labels.
    auto *more = new QToolButton(page);
    more->setText(QStringLiteral("More actions"));
    more->setAccessibleName(QStringLiteral("More actions"));
    more->setPopupMode(QToolButton::InstantPopup);
    auto *moreMenu = new QMenu(more);
    moreMenu->addAction(QStringLiteral("Paste onto the End"), this, &ScriptEditorView::paste)
        ->setToolTip(QStringLiteral("Paste the clipboard onto the end of this script"));
    moreMenu->addAction(QStringLiteral("Replace with the Clipboard"), this,
                        &ScriptEditorView::replace);
    moreMenu->addAction(QStringLiteral("Copy Text"), this, &ScriptEditorView::copy);
    moreMenu->addSeparator();
    moreMenu->addAction(QStringLiteral("Duplicate"), this,
                        [this] { m_env.store().duplicate(m_shown); });
    moreMenu->addAction(QStringLiteral("Delete\u2026"), this, [this] {
        if (onDelete)
            onDelete(m_shown);
    });
    more->setMenu(moreMenu);
    for (QWidget *w :
         std::initializer_list<QWidget *>{back, m_play, m_favorite, more})
        actions->addWidget(w);
    actions->addStretch(1);
    column->addLayout(actions);

    m_editor = new QPlainTextEdit(page);
    m_editor->setPlaceholderText(QStringLiteral("Write or paste what you will say."));
    m_editor->setAccessibleName(QStringLiteral("Script text"));
    QFont text = m_editor->font();
    text.setPointSizeF(text.pointSizeF() * 1.15);
    m_editor->setFont(text);
    auto *highlighter = new ScriptHighlighter(m_editor->document());
    ReadingPreferences &reading = env.prefs().reading();
    highlighter->setCues(reading.bracketsAreCues());
    connect(&reading, &ReadingPreferences::bracketsAreCuesChanged, highlighter,
            [highlighter, &reading] { highlighter->setCues(reading.bracketsAreCues()); });
    column->addWidget(m_editor, 1);
    m_details = new QLabel(page);
    m_details->setAccessibleName(QStringLiteral("Details"));
    m_details->setWordWrap(true);
    m_details->setStyleSheet(QStringLiteral("color: palette(mid);"));
    column->addWidget(m_details);
    m_pages->addWidget(page);

    ScrollEngine &scroll = env.scroll();
    PrompterCommands &commands = env.commands();
    connect(back, &QPushButton::clicked, this,
            [&commands] { commands.handle(HotKeyAction::restart); });
    connect(m_play, &QPushButton::clicked, this,
            [&commands] { commands.handle(HotKeyAction::playPause); });
    connect(m_favorite, &QPushButton::clicked, this,
            [this] { m_env.store().toggleFavorite(m_shown); });
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading && !m_shown.isNull())
            m_env.store().updateBody(m_editor->toPlainText(), m_shown);
    });
    connect(&env.store(), &ScriptStore::selectedIDChanged, this, &ScriptEditorView::load);
    connect(&env.store(), &ScriptStore::scriptsChanged, this, &ScriptEditorView::load);
    connect(&scroll, &ScrollEngine::isPlayingChanged, this, &ScriptEditorView::refresh);
    connect(&scroll, &ScrollEngine::tChanged, this, &ScriptEditorView::refresh);
    connect(&env.store(), &ScriptStore::selectedWordCountChanged, this, &ScriptEditorView::refresh);
    connect(&env.prefs().reading(), &ReadingPreferences::paceGuideEnabledChanged, this,
            &ScriptEditorView::refresh);
    load();
}

void ScriptEditorView::load() {
    const Script *s = m_env.store().selected();
    m_pages->setCurrentIndex(s ? 1 : 0);
    m_shown = s ? s->id : QUuid();
    // The text is set only when it differs (another script, or a change made
    // elsewhere), so typing here keeps the cursor where it is.
    if (s && m_editor->toPlainText() != s->body) {
        m_loading = true;
        m_editor->setPlainText(s->body);
        m_loading = false;
    }
    refresh();
}

bool ScriptEditorView::eventFilter(QObject *watched, QEvent *event) {
    // The title's own width is known only once its row is laid out.
    if (watched == m_title && event->type() == QEvent::Resize)
        showTitle();
    return QWidget::eventFilter(watched, event);
}

void ScriptEditorView::showTitle() {
    const int room = m_title->width() > 0 ? m_title->width() : 600;
    const QString shown = m_title->fontMetrics().elidedText(m_fullTitle, Qt::ElideRight, room);
    m_title->setText(shown);
    m_title->setToolTip(shown == m_fullTitle ? QString() : m_fullTitle);
    m_title->setAccessibleDescription(m_fullTitle);
}

void ScriptEditorView::refresh() {
    const Script *s = m_env.store().selected();
    if (!s)
        return;
    const bool playing = m_env.scroll().isPlaying();
    m_fullTitle = s->title;
    showTitle();
    const double elapsed = m_env.scroll().session().elapsed();
    if (playing)
        m_status->setText(QStringLiteral("Playing now"));
    else if (m_env.scroll().offset() > 0 || elapsed >= 0.5)
        m_status->setText(QStringLiteral("Paused at ") + m_env.scroll().session().formatted());
    else
        m_status->setText(QStringLiteral("Ready to play"));
    m_play->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_play->setAccessibleName(m_play->text());
    m_favorite->setText(s->isFavorite ? QStringLiteral("Unfavorite") : QStringLiteral("Favorite"));
    m_favorite->setToolTip(s->isFavorite ? QStringLiteral("Remove from Favorites")
                                         : QStringLiteral("Add to Favorites"));
    m_favorite->setAccessibleName(m_favorite->text());
    const int words = m_env.store().selectedWordCount();
    // With the pace guide on, the reading takes the target; else the speed's time.
    const std::optional<double> paced = m_env.pace().pacedSeconds();
    const ReadEstimate estimate =
        paced ? ReadEstimate::forDuration(words, *paced) : m_env.scroll().estimate(words);
    m_summary->setText(words == 0 ? QStringLiteral("No words yet")
                                  : wordsText(words) +
                                        (paced ? QStringLiteral(" \u00B7 target ")
                                               : QStringLiteral(" \u00B7 about ")) +
                                        estimate.formatted() + QStringLiteral(" at ") +
                                        QString::number(estimate.roundedWordsPerMinute()) +
                                        QStringLiteral(" wpm"));
    const QLocale locale;
    const auto date = [&](double seconds) {
        return locale.toString(QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000)),
                               QLocale::ShortFormat);
    };
    m_details->setText(QStringLiteral("Words %1   Characters %2   Created %3   Last edited %4")
                           .arg(words)
                           .arg(s->body.size())
                           .arg(date(s->createdAt), date(s->updatedAt)));
}

void ScriptEditorView::applyClipboard(bool replaceAll) {
    const Script *s = m_env.store().selected();
    if (!s)
        return;
    const QString clip = ScriptImporter::normalize(QApplication::clipboard()->text());
    if (clip.isEmpty())
        return;
    const QString body =
        replaceAll || s->body.isEmpty() ? clip : s->body + QStringLiteral("\n\n") + clip;
    m_env.store().updateBody(body, s->id);
}

void ScriptEditorView::paste() {
    applyClipboard(false);
}

void ScriptEditorView::replace() {
    applyClipboard(true);
}

void ScriptEditorView::copy() {
    if (const Script *s = m_env.store().selected())
        QApplication::clipboard()->setText(s->body);
}
