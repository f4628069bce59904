#include "OrvellKitUI/SchemePalette.h"

#include "OrvellKitUI/Tokens.h"

namespace {

struct Colours {
    QColor window, base, alternate, text, dimText, button, highlight, highlighted, link;
};

QPalette make(const Colours &c) {
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternate);
    p.setColor(QPalette::ToolTipBase, c.base);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::PlaceholderText, c.dimText);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, c.highlighted);
    p.setColor(QPalette::Link, c.link);
    p.setColor(QPalette::Light, c.button.lighter(130));
    p.setColor(QPalette::Midlight, c.button.lighter(115));
    p.setColor(QPalette::Mid, c.button.darker(130));
    p.setColor(QPalette::Dark, c.button.darker(160));
    p.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c.dimText);
    return p;
}

} // namespace

QPalette SchemePalette::dark() {
    return make({QColor(0x2b, 0x2b, 0x2e), QColor(0x1e, 0x1e, 0x20), QColor(0x26, 0x26, 0x29),
                 QColor(0xec, 0xec, 0xee), QColor(0x8e, 0x8e, 0x93), QColor(0x3a, 0x3a, 0x3e),
                 Tokens::brandBlue(), Qt::white, Tokens::lightBlue()});
}

QPalette SchemePalette::light() {
    return make({QColor(0xf2, 0xf2, 0xf4), Qt::white, QColor(0xf7, 0xf7, 0xf9),
                 QColor(0x1d, 0x1d, 0x1f), QColor(0x86, 0x86, 0x8b), QColor(0xe8, 0xe8, 0xeb),
                 Tokens::brandBlue(), Qt::white, Tokens::deepBlue()});
}
