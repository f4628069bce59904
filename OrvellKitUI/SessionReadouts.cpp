#include "OrvellKitUI/SessionReadouts.h"

#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/PaceGuide.h"

#include <QHBoxLayout>
#include <QLabel>

#include <cmath>

SessionReadouts::SessionReadouts(ScrollEngine &scroll, ScriptStore &store, QWidget *parent)
    : QWidget(parent)
    , m_scroll(scroll)
    , m_store(store) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_elapsed = new QLabel(this);
    m_elapsed->setAccessibleName(QStringLiteral("Elapsed reading time"));
    m_elapsed->setStyleSheet(QStringLiteral("color: white; font-weight: 600;"));
    m_estimate = new QLabel(this);
    m_estimate->setAccessibleName(QStringLiteral("Reading time and speaking rate"));
    m_estimate->setStyleSheet(QStringLiteral("color: rgba(255,255,255,166);"));
    row->addWidget(m_elapsed);
    row->addStretch(1);
    row->addWidget(m_estimate);
    connect(&scroll.session(), &SessionTimer::elapsedChanged, this,
            &SessionReadouts::refreshElapsed);
    for (auto signal : {&ScrollEngine::tChanged, &ScrollEngine::contentHeightChanged,
                        &ScrollEngine::viewportHeightChanged})
        connect(&scroll, signal, this, &SessionReadouts::refreshEstimate);
    connect(&store, &ScriptStore::selectedWordCountChanged, this,
            &SessionReadouts::refreshEstimate);
    refreshElapsed();
    refreshEstimate();
}

QString SessionReadouts::elapsedText() const {
    return m_elapsed->text();
}

QString SessionReadouts::estimateText() const {
    return m_estimate->text();
}

QString SessionReadouts::line(const ScrollEngine &scroll, int wordCount) {
    // No words yet: the rate the speed is set to, not "0 wpm".
    if (wordCount <= 0)
        return QStringLiteral("0:00  \u00B7  ") + QString::number(qRound(scroll.wordsPerMinute())) +
               QStringLiteral(" wpm");
    return scroll.estimate(wordCount).sessionLine();
}

void SessionReadouts::refreshElapsed() {
    // Called every frame while reading: only a new whole second is worth a
    // string and a repaint.
    const double elapsed = m_scroll.session().elapsed();
    // Rounded as the text rounds, so the text changes exactly when it would.
    const qint64 second =
        std::isfinite(elapsed) && std::abs(elapsed) < 1e15 ? std::llround(elapsed) : -1;
    if (second == m_shownSecond && !m_elapsed->text().isEmpty())
        return;
    m_shownSecond = second;
    m_elapsed->setText(m_scroll.session().formatted());
}

void SessionReadouts::followPace(PaceGuide &pace) {
    m_pace = &pace;
    // Not on every frame of the glow: the target moves only with the
    // script, its rhythm, the pauses and the guide being on.
    connect(&pace, &PaceGuide::rhythmStateChanged, this, &SessionReadouts::refreshEstimate);
    connect(&m_store, &ScriptStore::scriptsChanged, this, &SessionReadouts::refreshEstimate);
    refreshEstimate();
}

void SessionReadouts::refreshEstimate() {
    const int words = m_store.selectedWordCount();
    const std::optional<double> paced = m_pace ? m_pace->pacedSeconds() : std::nullopt;
    const QString text =
        paced ? ReadEstimate::forDuration(words, *paced).sessionLine() : line(m_scroll, words);
    if (text != m_estimate->text())
        m_estimate->setText(text);
}
