#include "OrvellKitUI/SpeedSlider.h"

#include "OrvellKitUI/Tokens.h"
#include "playback/SpeedCurve.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace SpeedSliderGeometry {

double travel(double width) {
    return std::max(0.0, width - thumbWidth);
}

double thumbOriginX(double t, double width) {
    return std::clamp(t, 0.0, 1.0) * travel(width);
}

double thumbCenterX(double t, double width) {
    return thumbOriginX(t, width) + thumbHalf;
}

double t(double x, double width) {
    const double span = travel(width);
    if (span <= 0)
        return 0;
    return std::clamp((x - thumbHalf) / span, 0.0, 1.0);
}

double tickX(int index, int count, double width) {
    if (count < 2)
        return width * 0.5;
    return std::clamp(static_cast<double>(index) / (count - 1), 0.0, 1.0) * travel(width) +
           thumbHalf;
}

} // namespace SpeedSliderGeometry

namespace SpeedSliderCommands {

std::optional<SpeedSliderCommand> fromKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        return SpeedSliderCommand::decrease;
    case Qt::Key_Right:
    case Qt::Key_Up:
        return SpeedSliderCommand::increase;
    case Qt::Key_Home:
        return SpeedSliderCommand::minimum;
    case Qt::Key_End:
        return SpeedSliderCommand::maximum;
    default:
        return std::nullopt;
    }
}

double apply(SpeedSliderCommand command, double t, bool coarse) {
    const double step = coarse ? 0.1 : 0.05;
    switch (command) {
    case SpeedSliderCommand::decrease:
        return std::clamp(t - step, 0.0, 1.0);
    case SpeedSliderCommand::increase:
        return std::clamp(t + step, 0.0, 1.0);
    case SpeedSliderCommand::minimum:
        return 0;
    case SpeedSliderCommand::maximum:
        return 1;
    }
    return t;
}

} // namespace SpeedSliderCommands

// For screen readers: a slider whose value is the speaking rate, read and
// set in words per minute, in the steps the arrows take.
class SpeedSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SpeedSliderAccessible(SpeedSlider *slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return QStringLiteral("%1 words per minute").arg(qRound(rate(slider()->t())));
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return qRound(rate(slider()->t())); }
    void setCurrentValue(const QVariant &value) override {
        slider()->edit(
            (value.toDouble() - SpeedCurve::minWordsPerMinute) / SpeedCurve::wordsPerMinuteSpan);
    }
    QVariant maximumValue() const override { return qRound(rate(1)); }
    QVariant minimumValue() const override { return qRound(rate(0)); }
    QVariant minimumStepSize() const override {
        return qRound(SpeedCurve::arrowStep * SpeedCurve::wordsPerMinuteSpan);
    }

private:
    static double rate(double t) { return SpeedCurve::wordsPerMinute(t); }
    SpeedSlider *slider() const { return static_cast<SpeedSlider *>(widget()); }
};

namespace {

QAccessibleInterface *speedSliderAccessible(const QString &className, QObject *object) {
    if (className == QLatin1StringView("SpeedSlider") && object && object->isWidgetType())
        return new SpeedSliderAccessible(static_cast<SpeedSlider *>(object));
    return nullptr;
}

} // namespace

SpeedSlider::SpeedSlider(QWidget *parent)
    : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(speedSliderAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Speed"));
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(28);
}

void SpeedSlider::setT(double t) {
    t = std::clamp(t, 0.0, 1.0);
    if (t == m_t)
        return;
    m_t = t;
    setAccessibleDescription(
        QStringLiteral("%1 words per minute").arg(qRound(SpeedCurve::wordsPerMinute(m_t))));
    QAccessibleValueChangeEvent event(this, qRound(SpeedCurve::wordsPerMinute(m_t)));
    QAccessible::updateAccessibility(&event);
    update();
    emit tChanged();
}

void SpeedSlider::edit(double t) {
    m_pulse.noteInteraction();
    setT(t);
    emit tEdited(m_t);
}

void SpeedSlider::mousePressEvent(QMouseEvent *event) {
    edit(SpeedSliderGeometry::t(event->position().x(), width()));
}

void SpeedSlider::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() & Qt::LeftButton)
        edit(SpeedSliderGeometry::t(event->position().x(), width()));
}

void SpeedSlider::keyPressEvent(QKeyEvent *event) {
    const auto command = SpeedSliderCommands::fromKey(event->key());
    if (!command) {
        QWidget::keyPressEvent(event);
        return;
    }
    edit(SpeedSliderCommands::apply(*command, m_t, event->modifiers() & Qt::ShiftModifier));
}

void SpeedSlider::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double mid = height() / 2.0;
    p.setPen(Qt::NoPen);
    p.setBrush(Tokens::sliderTrack());
    p.drawRoundedRect(QRectF(SpeedSliderGeometry::thumbHalf, mid - 2, std::max(0.0, w - 38), 4), 2,
                      2);
    p.setBrush(Tokens::sliderTick());
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(SpeedSliderGeometry::tickX(i, 6, w) - 1.5, mid + 6, 3, 5));
    const double cx = SpeedSliderGeometry::thumbCenterX(m_t, w);
    if (m_pulse.isPulsing) {
        p.setBrush(Tokens::pulseHalo());
        p.drawEllipse(QPointF(cx, mid), 17, 17);
    }
    p.setBrush(hasFocus() ? Tokens::brandBlue() : Tokens::primaryWhite());
    p.drawEllipse(QPointF(cx, mid), 10, 10);
}
