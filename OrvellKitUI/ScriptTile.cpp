#include "OrvellKitUI/ScriptTile.h"

#include <QPixmap>
#include <algorithm>

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

void ScriptTile::paint(QPainter &p, const QRectF &r, const QString &initials,
                       const Tokens::TileColors &colors) {
    const double size = std::min(r.width(), r.height());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colors.fill);
    p.drawRoundedRect(r, size * 0.22, size * 0.22);
    QFont font = p.font();
    font.setPixelSize(std::max(1, static_cast<int>(size * 0.42)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(colors.ink);
    p.drawText(r, Qt::AlignCenter, initials);
}

void ScriptTile::paintEvent(QPaintEvent *) {
    QPainter p(this);
    paint(p, QRectF(rect()), m_initials, m_colors);
}

QIcon ScriptTile::icon(const QString &title, const QUuid &id, int size) {
    QIcon out;
    // Sharp on a scaled display too.
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paint(p, QRectF(0, 0, size * scale, size * scale), initials(title), colors(id));
        p.end();
        out.addPixmap(pixmap);
    }
    return out;
}
