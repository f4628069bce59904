#pragma once

#include "OrvellKitUI/Tokens.h"

#include <QIcon>
#include <QUuid>
#include <QWidget>

// A script's square tile: two letters of its title on a colour picked from
// its id, so a script keeps its colour whatever it is called.
class ScriptTile : public QWidget {
    Q_OBJECT

public:
    ScriptTile(const QString &title, const QUuid &id, int size, QWidget *parent = nullptr);

    static QString initials(const QString &title);
    static Tokens::TileColors colors(const QUuid &id);
    // The tile as an icon, for rows in a list.
    static QIcon icon(const QString &title, const QUuid &id, int size);
    static void paint(QPainter &p, const QRectF &r, const QString &initials,
                      const Tokens::TileColors &colors);

    QSize sizeHint() const override { return {m_size, m_size}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_initials;
    Tokens::TileColors m_colors;
    int m_size;
};
