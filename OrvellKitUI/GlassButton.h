#pragma once

#include <QAbstractButton>

// A round button of the deck's glass style with a glyph drawn by a function;
// hover brightens it. Its accessible name is its label.
class GlassButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Glyph { play, pause, restart, close, menu, voice, minus, plus };

    GlassButton(Glyph glyph, const QString &label, int diameter, QWidget *parent = nullptr);

    void setGlyph(Glyph glyph);
    Glyph glyph() const { return m_glyph; }
    void setLabel(const QString &label);
    // Drawn faint (a stepper at its bound), still clickable.
    void setFaint(bool faint);
    bool isFaint() const { return m_faint; }
    void setPulsing(bool pulsing);
    void setTint(const QColor &tint);

    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    Glyph m_glyph;
    int m_diameter;
    bool m_faint = false;
    bool m_hover = false;
    bool m_pulsing = false;
    QColor m_tint;
};

// The deck's card: rounded, dark glass with a thin light edge.
namespace GlassCard {
void paint(class QPainter &painter, const QRectF &rect, double radius);
}
