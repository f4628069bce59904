#include "OrvellKitUI/StatusIcon.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {
constexpr int spinnerSteps = 12;
}

StatusIcon::StatusIcon(QWidget *parent)
    : QWidget(parent) {
    setFixedSize(sizeHint());
    m_spin.setInterval(1000 / spinnerSteps);
    m_spin.setTimerType(Qt::CoarseTimer);
    connect(&m_spin, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spinnerSteps;
        update();
    });
    setState(State::none);
}

void StatusIcon::setState(State state) {
    m_state = state;
    setVisible(state != State::none);
    switch (state) {
    case State::none:
        setAccessibleName(QString());
        break;
    case State::busy:
        setAccessibleName(QStringLiteral("Working"));
        break;
    case State::done:
        setAccessibleName(QStringLiteral("Done"));
        break;
    case State::problem:
        setAccessibleName(QStringLiteral("Problem"));
        break;
    }
    syncSpin();
    update();
}

void StatusIcon::syncSpin() {
    if (m_state == State::busy && isVisible())
        m_spin.start();
    else
        m_spin.stop();
}

void StatusIcon::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    syncSpin();
}

void StatusIcon::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    syncSpin();
}

void StatusIcon::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const QColor text = palette().color(QPalette::WindowText);
    switch (m_state) {
    case State::none:
        return;
    case State::busy: {
        // Twelve spokes, the leading one darkest, the trail fading behind it.
        const QPointF c = r.center();
        for (int i = 0; i < spinnerSteps; ++i) {
            QColor spoke = text;
            spoke.setAlphaF(0.15 + 0.85 * ((i + spinnerSteps - m_step) % spinnerSteps) /
                                       double(spinnerSteps - 1));
            p.save();
            p.translate(c);
            p.rotate(360.0 * i / spinnerSteps);
            p.setPen(QPen(spoke, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -r.height() / 2 + 0.5), QPointF(0, -r.height() / 4));
            p.restore();
        }
        return;
    }
    case State::done: {
        const QIcon themed = QIcon::fromTheme(QStringLiteral("emblem-ok-symbolic"));
        if (!themed.isNull()) {
            themed.paint(&p, rect());
            return;
        }
        p.setPen(QPen(QColor(52, 168, 83), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(r.left() + r.width() * 0.1, r.top() + r.height() * 0.55);
        tick.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.85);
        tick.lineTo(r.left() + r.width() * 0.95, r.top() + r.height() * 0.2);
        p.drawPath(tick);
        return;
    }
    case State::problem:
        QIcon::fromTheme(QStringLiteral("dialog-warning"),
                         style()->standardIcon(QStyle::SP_MessageBoxWarning))
            .paint(&p, rect());
        return;
    }
}
