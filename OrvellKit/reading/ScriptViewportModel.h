#pragma once

#include "reading/ReadingFrame.h"
#include "text/GlowSource.h"

#include <QObject>
#include <QSizeF>

#include <memory>

// The script the island shows, laid out at the island's script area: it
// keeps one layout for the selected text, the font settings and the width,
// rebuilds it only when one of them changes, and tells the scroll engine the
// content and viewport heights. The glow comes from whichever mode is on.
class ScriptViewportModel : public QObject {
    Q_OBJECT

public:
    ScriptViewportModel(SelectedScript &script, ReadingPreferences &prefs, ScrollEngine &scroll,
                        QObject *parent = nullptr);

    void setViewportSize(const QSizeF &size);
    QSizeF viewportSize() const { return m_size; }
    std::shared_ptr<const ScriptLayout> layout() const { return m_frame.layout(); }

    // The script's headings ("# …" lines), in order; none in a script
    // without them.
    std::vector<ScriptMarkup::Heading> sections() const;
    // Puts the next (+1) or previous (-1) heading on the reading line; in a
    // script without headings, the next or previous paragraph. Playing goes
    // on; the guides take up from there. False when there is nowhere to go.
    bool jumpToSection(int direction);
    // Puts the line holding a character on the reading line.
    void jumpToLocation(int location);

    // The source that lights the text, or null for plain text.
    GlowSource *glowSource() const { return m_glow; }
    void setGlowSource(GlowSource *source);

signals:
    void layoutChanged();
    void glowSourceChanged();

private:
    void sync();

    ReadingFrame m_frame;
    ScrollEngine &m_scroll;
    QSizeF m_size;
    GlowSource *m_glow = nullptr;
};
