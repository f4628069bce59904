#include "OrvellKitUI/GlassButton.h"

#include "OrvellKitUI/AttractPulseState.h"
#include "OrvellKitUI/PanelCursor.h"
#include "OrvellKitUI/Tokens.h"

#include <QPainter>
#include <QPainterPath>

GlassButton::GlassButton(Glyph glyph, const QString &label, int diameter, QWidget *parent)
    : QAbstractButton(parent)
    , m_glyph(glyph)
    , m_diameter(diameter) {
    setLabel(label);
    setFixedSize(diameter, diameter);
    setCursor(Qt::PointingHandCursor);
    // The deck never takes the focus from the presentation.
    setFocusPolicy(Qt::NoFocus);
    // A slow breath: a frame every 50 ms is smooth enough, and only while it pulses.
    m_breath.setInterval(50);
    m_breath.setTimerType(Qt::CoarseTimer);
    connect(&m_breath, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void GlassButton::showEvent(QShowEvent *) {
    if (m_pulsing)
        m_breath.start();
}

void GlassButton::hideEvent(QHideEvent *) {
    m_breath.stop();
}

void GlassButton::setGlyph(Glyph glyph) {
    if (glyph == m_glyph)
        return;
    m_glyph = glyph;
    update();
}

void GlassButton::setLabel(const QString &label) {
    setAccessibleName(label);
    setToolTip(label);
}

void GlassButton::setFaint(bool faint) {
    if (faint == m_faint)
        return;
    m_faint = faint;
    update();
}

void GlassButton::setPulsing(bool pulsing) {
    if (pulsing == m_pulsing)
        return;
    m_pulsing = pulsing;
    m_breathClock.start();
    if (pulsing && isVisible())
        m_breath.start();
    else
        m_breath.stop();
    update();
}

void GlassButton::setTint(const QColor &tint) {
    m_tint = tint;
    update();
}

void GlassButton::enterEvent(QEnterEvent *) {
    m_hover = true;
    PanelCursor::shared().controlEntered(this);
    update();
}

void GlassButton::leaveEvent(QEvent *) {
    m_hover = false;
    PanelCursor::shared().controlExited(this);
    update();
}

void GlassButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(m_faint ? 0.4 : 1.0);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (m_pulsing) {
        p.save();
        p.setOpacity(p.opacity() * AttractPulseState::breath(m_breathClock.elapsed() / 1000.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Tokens::pulseHalo());
        p.drawEllipse(r);
        p.restore();
    }
    const QColor fill = m_tint.isValid() ? m_tint : Tokens::controlFill();
    p.setBrush(m_hover ? fill.lighter(160) : fill);
    p.setPen(QPen(Tokens::controlStroke(), 1));
    p.drawEllipse(
        r.adjusted(m_pulsing ? 3 : 0, m_pulsing ? 3 : 0, m_pulsing ? -3 : 0, m_pulsing ? -3 : 0));

    const double s = r.width();
    const QPointF c = r.center();
    p.setPen(QPen(Tokens::primaryWhite(), std::max(1.5, s / 16), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Tokens::primaryWhite());
    const double u = s / 6; // glyph unit
    switch (m_glyph) {
    case Glyph::play: {
        QPainterPath tri;
        tri.moveTo(c + QPointF(-0.8 * u, -1.1 * u));
        tri.lineTo(c + QPointF(1.2 * u, 0));
        tri.lineTo(c + QPointF(-0.8 * u, 1.1 * u));
        tri.closeSubpath();
        p.drawPath(tri);
        break;
    }
    case Glyph::pause:
        p.drawRect(QRectF(c.x() - 0.9 * u, c.y() - u, 0.55 * u, 2 * u));
        p.drawRect(QRectF(c.x() + 0.35 * u, c.y() - u, 0.55 * u, 2 * u));
        break;
    case Glyph::restart: {
        p.setBrush(Qt::NoBrush);
        const QRectF arc(c.x() - u, c.y() - u, 2 * u, 2 * u);
        p.drawArc(arc, 100 * 16, 290 * 16);
        const QPointF tip = c + QPointF(-0.2 * u, -u);
        p.drawLine(tip, tip + QPointF(0.5 * u, -0.4 * u));
        p.drawLine(tip, tip + QPointF(0.5 * u, 0.4 * u));
        break;
    }
    case Glyph::close:
        p.drawLine(c + QPointF(-0.7 * u, -0.7 * u), c + QPointF(0.7 * u, 0.7 * u));
        p.drawLine(c + QPointF(0.7 * u, -0.7 * u), c + QPointF(-0.7 * u, 0.7 * u));
        break;
    case Glyph::menu:
        for (int i = -1; i <= 1; ++i)
            p.drawEllipse(c + QPointF(i * 0.8 * u, 0), 0.15 * u, 0.15 * u);
        break;
    case Glyph::voice: {
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(c.x() - 0.4 * u, c.y() - 1.1 * u, 0.8 * u, 1.5 * u), 0.4 * u,
                          0.4 * u);
        p.drawArc(QRectF(c.x() - 0.8 * u, c.y() - 0.9 * u, 1.6 * u, 1.6 * u), 200 * 16, 140 * 16);
        p.drawLine(c + QPointF(0, 0.7 * u), c + QPointF(0, 1.1 * u));
        break;
    }
    case Glyph::minus:
        p.drawLine(c + QPointF(-0.7 * u, 0), c + QPointF(0.7 * u, 0));
        break;
    case Glyph::plus:
        p.drawLine(c + QPointF(-0.7 * u, 0), c + QPointF(0.7 * u, 0));
        p.drawLine(c + QPointF(0, -0.7 * u), c + QPointF(0, 0.7 * u));
        break;
    }
}

namespace GlassCard {

void paint(QPainter &painter, const QRectF &rect, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Tokens::cardStroke(), 1));
    painter.setBrush(Tokens::cardFill());
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

} // namespace GlassCard
