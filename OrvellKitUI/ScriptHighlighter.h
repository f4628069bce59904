#pragma once

#include <QSyntaxHighlighter>

// Shows a script's cues ("[pause]") and section headings ("# Opening") in
// the editor as the island draws them: cues italic and quiet, headings bold,
// their "#" marker faint.
class ScriptHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit ScriptHighlighter(QTextDocument *document);

    // Off: brackets are plain text.
    void setCues(bool cues);

protected:
    void highlightBlock(const QString &text) override;

private:
    bool m_cues = true;
};
