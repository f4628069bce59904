#include "OrvellKitUI/ScriptTile.h"

#include <QPainter>

ScriptTile::ScriptTile(const QString &title, const QUuid &id, int size, QWidget *parent)
    : QWidget(parent)
    , m_initials(initials(title))
    , m_colors(colors(id))
    , m_size(size) {
    setFixedSize(size, size);
    setAccessibleName(title);
}

QString ScriptTile::initials(const QString &title) {
    QString kept;
    for (const QChar c : title)
        if (c.isLetterOrNumber()) {
            kept += c;
            if (kept.size() == 2)
                break;
        }
    if (kept.isEmpty())
        return QStringLiteral("\u00B7");
    QString out = kept.left(1).toUpper();
    if (kept.size() > 1)
        out += kept.mid(1, 1).toLower();
    return out;
}

Tokens::TileColors ScriptTile::colors(const QUuid &id) {
    int sum = 0;
    for (const char byte : id.toRfc4122())
        sum += static_cast<unsigned char>(byte);
    return Tokens::tilePalette(sum % 6);
}

void ScriptTile::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(m_colors.fill);
    p.drawRoundedRect(QRectF(rect()), m_size * 0.22, m_size * 0.22);
    QFont font = p.font();
    font.setPixelSize(static_cast<int>(m_size * 0.42));
    font.setBold(true);
    p.setFont(font);
    p.setPen(m_colors.ink);
    p.drawText(rect(), Qt::AlignCenter, m_initials);
}
