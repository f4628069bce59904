#pragma once

#include <QString>

// Turns Markdown into the plain text a speaker reads: markup removed, the
// words of headings, lists, links, emphasis, code and tables kept.
namespace MarkdownStripper {
QString strip(const QString &markdown);
} // namespace MarkdownStripper
