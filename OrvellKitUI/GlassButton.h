#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTimer>

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
    // A halo that breathes until the pulse is stopped.
    void setPulsing(bool pulsing);
    bool isPulsing() const { return m_pulsing; }
    void setTint(const QColor &tint);

    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    Glyph m_glyph;
    int m_diameter;
    bool m_faint = false;
    bool m_hover = false;
    bool m_pulsing = false;
    QTimer m_breath;
    QElapsedTimer m_breathClock;
    QColor m_tint;
};

// The deck's card: rounded, dark glass with a thin light edge.
namespace GlassCard {
void paint(class QPainter &painter, const QRectF &rect, double radius);
}
