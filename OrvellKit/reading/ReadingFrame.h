#pragma once

#include "playback/ScrollEngine.h"
#include "reading/SelectedScript.h"
#include "settings/ReadingPreferences.h"
#include "text/ScriptLayout.h"
#include "text/ScriptWords.h"

#include <QPointer>

#include <memory>

// What every reader of the selected script shares: its words, the layout the
// island draws at a width (one object per key, so a script is laid out once
// for everyone), and the scroll's follow target, which it clears only when
// it set it.
class ReadingFrame {
public:
    void attach(SelectedScript &script, ReadingPreferences &prefs, ScrollEngine &scroll);

    // Calls `sync` whenever the script or the typography changes.
    template <typename Receiver> void observe(Receiver *receiver, void (Receiver::*sync)()) {
        QObject::connect(m_script.data(), &SelectedScript::changed, receiver, sync);
        QObject::connect(m_prefs.data(), &ReadingPreferences::fontSizeChanged, receiver, sync);
        QObject::connect(m_prefs.data(), &ReadingPreferences::lineHeightMultipleChanged, receiver,
                         sync);
        QObject::connect(m_prefs.data(), &ReadingPreferences::bracketsAreCuesChanged, receiver,
                         sync);
    }

    SelectedScript *script() const { return m_script; }
    ReadingPreferences *prefs() const { return m_prefs; }
    ScrollEngine *scroll() const { return m_scroll; }
    std::optional<double> targetSeconds() const;

    // Takes the script's current text; true when it changed, and then the
    // words are new and the layout is dropped.
    bool readText();
    const ScriptWords &words() const { return *m_words; }
    // Whether the last change of text was an edit of the same script (and
    // not another script chosen).
    bool wasEdited() const { return m_edited; }
    // Where a word of the text before the edit stands in the new one, by
    // character position: the words before and after the edited stretch keep
    // their place; those inside it go to where the edit is.
    int wordAfterEdit(int oldWord) const;
    // The word whose line the reading line crosses at a scroll offset.
    static int wordAtReadingLine(const ScriptLayout &layout, const ScriptWords &words,
                                 double offset, double viewportHeight);
    // The first word on the reading line or below it: where a reader put
    // at a heading (which has no words) or a paragraph starts reading.
    static int wordFromReadingLine(const ScriptLayout &layout, const ScriptWords &words,
                                   double offset, double viewportHeight);
    // The line the reading line crosses, and the offset that puts a line there.
    static int lineAtReadingLine(const ScriptLayout &layout, double offset,
                                 double viewportHeight);
    static double offsetForLine(const ScriptLayout &layout, int line, double viewportHeight,
                                double contentHeight);

    // The width the text is laid out at: the island's script area.
    double width() const { return m_width; }
    // True when it changed.
    bool setWidth(double width);
    // Lays the words out at the width with the reading settings; true when
    // the layout is a new one.
    bool layOut();
    void dropLayout() { m_layout.reset(); }
    const std::shared_ptr<const ScriptLayout> &layout() const { return m_layout; }

    // Puts word `word`'s line on the reading line; needs a layout.
    void aim(int word);
    // Clears the follow target if this frame set it.
    void release();

    // The key for a text at a width with the reading settings, bounded so a
    // value edited into the settings by hand cannot make the text unreadable.
    static ScriptLayout::Key keyFor(const QString &text, double width,
                                    const ReadingPreferences &prefs);

private:
    // GUI thread only.
    static std::shared_ptr<const ScriptWords> sharedWords(const QString &text, bool cues);

    QPointer<SelectedScript> m_script;
    QPointer<ReadingPreferences> m_prefs;
    QPointer<ScrollEngine> m_scroll;
    // Shared by every frame that reads the same text: an edit segments the
    // script once, not once per reader.
    std::shared_ptr<const ScriptWords> m_words = std::make_shared<const ScriptWords>();
    std::shared_ptr<const ScriptWords> m_previousWords = m_words;
    QString m_identity;
    bool m_edited = false;
    std::shared_ptr<const ScriptLayout> m_layout;
    double m_width = 0;
    bool m_drivesScroll = false;
};
