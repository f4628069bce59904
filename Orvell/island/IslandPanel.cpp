#include "Orvell/island/IslandPanel.h"

#include "Orvell/island/IslandAccessible.h"
#include "OrvellKitUI/Tokens.h"
#include "Platform/x11/X11Window.h"
#include "island/IslandLayoutModel.h"
#include "playback/ScrollEngine.h"
#include "reading/ScriptViewportModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr double scriptFadeSeconds = 0.16;
constexpr double dragMinimumDistance = 6;
constexpr double pulsePeriod = 0.9;
constexpr double controlFadeSeconds = 0.2;
// While paused the lookahead keeps breathing, drawn this often: a slow
// breath needs few frames.
constexpr int pausedBreathMs = 100;
constexpr int noticeMs = 2500;
constexpr int noticeProblemMs = 5000;

double easeOut(double t) {
    return 1 - (1 - t) * (1 - t);
}

double easeInOut(double t) {
    return t < 0.5 ? 2 * t * t : 1 - std::pow(-2 * t + 2, 2) / 2;
}

QRegion regionOf(const QPainterPath &path) {
    return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

} // namespace

IslandPanel::IslandPanel(IslandLayoutModel &model, ScrollEngine &scroll,
                         ScriptViewportModel &script, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                          Qt::NoDropShadowWindowHint)
    , m_model(model)
    , m_scroll(scroll)
    , m_script(script) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    m_composited = X11Window::hasCompositor();
    // Without a compositor a translucent window's clear parts are black, so
    // the silhouette becomes the window's shape instead.
    if (m_composited) {
        setAttribute(Qt::WA_TranslucentBackground);
        m_shadowStyle = X11Window::inputShapesPassClicks() ? Shadows::notchPanel()
                                                           : Shadows::close(Shadows::notchPanel());
    } else
        // paintEvent fills everything the shape shows: the window's own
        // background would be painted only to be covered, every frame.
        setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Orvell Island"));

    m_animationTimer.setTimerType(Qt::PreciseTimer);
    m_animationTimer.setInterval(16);
    connect(&m_animationTimer, &QTimer::timeout, this, &IslandPanel::animate);
    m_breathClock.start();
    m_breathTimer.setTimerType(Qt::CoarseTimer);
    m_breathTimer.setInterval(pausedBreathMs);
    connect(&m_breathTimer, &QTimer::timeout, this, &IslandPanel::scriptFrame);
    connect(&m_scroll, &ScrollEngine::isPlayingChanged, this, &IslandPanel::syncBreath);
    connect(&m_scroll, &ScrollEngine::countdownChanged, this, [this] {
        update(scriptArea().toAlignedRect().translated(-m_offset));
    });
    connect(&m_scroll, &ScrollEngine::isLiveChanged, this, &IslandPanel::syncBreath);
    connect(&m_script, &ScriptViewportModel::glowSourceChanged, this, &IslandPanel::syncBreath);
    // Notices and the first start's preview open the island for a while.
    for (QTimer *t : {&m_noticeTimer, &m_previewTimer})
        t->setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, this, &IslandPanel::closeNotice);
    connect(&m_previewTimer, &QTimer::timeout, this, &IslandPanel::endPreview);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    IslandAccessible::install();

    // Re-run syncTargets() whenever an observed value changes.
    connect(&m_model, &IslandLayoutModel::layoutChanged, this, [this] {
        m_outline.reset();
        syncTargets();
        updateScriptArea();
    });
    connect(&m_model, &IslandLayoutModel::isDraggingChanged, this, &IslandPanel::syncTargets);
    connect(&m_scroll, &ScrollEngine::isLiveChanged, this, [this] {
        syncTargets();
        updateShapes(); // the pill answers the pointer only between readings
    });
    // Scrolling and the light change the script area alone: only the part
    // of it that changed is painted again. A frame may move neither (the
    // pulse still breathes); the offset may move between frames.
    connect(&m_scroll, &ScrollEngine::offsetChanged, this, &IslandPanel::scriptFrame);
    connect(&m_scroll, &ScrollEngine::ticked, this, &IslandPanel::scriptFrame);
    connect(&m_script, &ScriptViewportModel::layoutChanged, this, qOverload<>(&QWidget::update));
    connect(&m_script, &ScriptViewportModel::glowSourceChanged, this,
            qOverload<>(&QWidget::update));

    const IslandSilhouette s =
        IslandSilhouette::forLayout(m_model.layout(), isOpen(), m_model.isDragging());
    m_width.reset(s.bodySize.width());
    m_height.reset(s.bodySize.height());
    m_fillet.reset(s.filletSize);
    m_topRadius.reset(s.topRadius);
    m_scriptOpacity = m_scriptOpacityTarget = m_scroll.isLive() ? 1 : 0;
    m_controls = m_controlsTarget = controlsWanted() ? 1 : 0;
    updateScriptArea();
}

IslandSilhouette IslandPanel::currentSilhouette() const {
    IslandSilhouette s =
        IslandSilhouette::forLayout(m_model.layout(), isOpen(), m_model.isDragging());
    s.bodySize = QSizeF(m_width.value(), m_height.value());
    s.filletSize = m_fillet.value();
    s.topRadius = m_topRadius.value();
    return s;
}

QRect IslandPanel::drawnRect() const {
    const IslandLayout &l = m_model.layout();
    const QRectF body = currentSilhouette().path().boundingRect();
    QRectF drawn = body | l.hitTestPath(m_scroll.isLive()).boundingRect();
    if (m_controls > 0 || controlsWanted())
        drawn |= l.controlRect(0) | l.controlRect(1);
    if (castsShadow())
        drawn |= body.marginsAdded(QMarginsF(DropShadow::bleed(*m_shadowStyle)));
    // A pixel more on each side for the antialiased edge.
    QRect whole = drawn.toAlignedRect().adjusted(-1, -1, 1, 1);
    if (!m_frame.isNull())
        whole &= QRect(QPoint(), m_frame.size());
    return whole.isEmpty() ? QRect(0, 0, 1, 1) : whole;
}

bool IslandPanel::castsShadow() const {
    return m_shadowStyle && (!m_model.layout().isFlush() || m_model.isDragging());
}

void IslandPanel::setShadowStyle(std::optional<ShadowStyle> style) {
    m_shadowStyle = style;
    applyFrame();
    update();
}

void IslandPanel::setFrame(const QRect &frame) {
    m_frame = frame;
    applyFrame();
}

void IslandPanel::applyFrame() {
    if (m_frame.isNull())
        return;
    const QRect drawn = drawnRect();
    const QRect window(m_frame.topLeft() + drawn.topLeft(), drawn.size());
    if (drawn.topLeft() == m_offset && geometry() == window)
        return;
    m_offset = drawn.topLeft();
    setGeometry(window);
    updateShapes();
    update();
}

void IslandPanel::syncTargets() {
    const IslandSilhouette s =
        IslandSilhouette::forLayout(m_model.layout(), isOpen(), m_model.isDragging());
    m_width.setTarget(s.bodySize.width());
    m_height.setTarget(s.bodySize.height());
    m_fillet.setTarget(s.filletSize);
    m_topRadius.setTarget(s.topRadius);
    m_scriptOpacityTarget = m_scroll.isLive() || m_previewing ? 1 : 0;
    m_controlsTarget = controlsWanted() ? 1 : 0;
    if (!isVisible()) {
        finishAnimations();
        return;
    }
    if (!m_animationTimer.isActive()) {
        m_animationClock.start();
        m_animationTimer.start();
    }
}

void IslandPanel::finishAnimations() {
    m_width.reset(m_width.target());
    m_height.reset(m_height.target());
    m_fillet.reset(m_fillet.target());
    m_topRadius.reset(m_topRadius.target());
    m_scriptOpacity = m_scriptOpacityTarget;
    m_controls = m_controlsTarget;
    m_animationTimer.stop();
    applyFrame();
    updateShapes();
    update();
}

void IslandPanel::animate() {
    const double dt = std::min(0.1, m_animationClock.restart() / 1000.0);
    for (Spring *s : {&m_width, &m_height, &m_fillet, &m_topRadius})
        s->step(dt);
    const auto approach = [](double value, double target, double step) {
        return target > value ? std::min(target, value + step) : std::max(target, value - step);
    };
    m_scriptOpacity = approach(m_scriptOpacity, m_scriptOpacityTarget, dt / scriptFadeSeconds);
    m_controls = approach(m_controls, m_controlsTarget, dt / controlFadeSeconds);
    const bool settled = m_width.isSettled() && m_height.isSettled() && m_fillet.isSettled() &&
                         m_topRadius.isSettled() && m_scriptOpacity == m_scriptOpacityTarget &&
                         m_controls == m_controlsTarget;
    // The animation timer only runs while something moves.
    if (settled)
        m_animationTimer.stop();
    // The window grows and shrinks with the silhouette, overshoot included.
    applyFrame();
    updateShapes();
    update();
}

std::optional<ScriptRenderer::Glow> IslandPanel::glow() const {
    const GlowSource *source = m_script.glowSource();
    if (!source)
        return std::nullopt;
    // The lookahead breathes between 0.25 and 0.95, 0.9 s each way, paused
    // or not: the next words keep drawing the eye.
    // The time is taken once a frame, so a frame painted again looks the same.
    const double t = std::fmod(m_breathSeconds / pulsePeriod, 2.0);
    const double phase = easeInOut(t < 1 ? t : 2 - t);
    return ScriptRenderer::Glow{source->glowFront(), source->lookaheadEnd(), 0.25 + 0.7 * phase};
}

void IslandPanel::scriptFrame() {
    if (m_animationTimer.isActive()) {
        update(); // the silhouette moves too
        return;
    }
    if (!isVisible() || easeOut(m_scriptOpacity) <= 0 || !m_script.layout())
        return;
    m_breathSeconds = m_breathClock.elapsed() / 1000.0;
    const std::optional<ScriptRenderer::Glow> light = glow();
    const QRect changed = m_renderer.prepare(scriptArea(), m_script.layout(), m_scroll.offset(),
                                             light, devicePixelRatioF());
    if (!changed.isEmpty() && !presentDirectly(changed, light))
        update(changed.translated(-m_offset));
}

IslandPanel::Outline &IslandPanel::outline() {
    const IslandSilhouette shape = currentSilhouette();
    if (!m_outline || !(m_outline->silhouette == shape))
        m_outline = Outline{shape, shape.path(), std::nullopt, false, std::nullopt};
    return *m_outline;
}

bool IslandPanel::liesInsideBody(const QRectF &r) {
    const QPainterPath &body = outline().path;
    const IslandLayout &l = m_model.layout();
    return body.contains(r.topLeft()) && body.contains(r.topRight()) &&
           body.contains(r.bottomLeft()) && body.contains(r.bottomRight()) &&
           (l.placement.kind == IslandPlacement::Kind::topCenter ||
            !(r.intersects(l.controlRect(0)) || r.intersects(l.controlRect(1))));
}

bool IslandPanel::presentDirectly(const QRect &changed,
                                  const std::optional<ScriptRenderer::Glow> &light) {
    // Whole device pixels only, so that the part painted is exactly the
    // part shown; and only a script at full strength inside the body, which
    // covers every pixel of its area.
    const double dpr = devicePixelRatioF();
    QWindow *window = windowHandle();
    // A notice is drawn over the script by Qt's painting.
    if (!window || !window->isExposed() || m_scriptOpacity < 1 || dpr != std::round(dpr) ||
        !m_notice.text.isEmpty() || m_scroll.isCountingDown())
        return false;
    const QRectF area = scriptArea();
    const QRect cover = area.toAlignedRect();
    Outline &o = outline();
    if (!o.scriptInside)
        o.scriptInside = liesInsideBody(cover);
    if (!*o.scriptInside)
        return false;
    const int scale = static_cast<int>(dpr);
    const QSize size = cover.size() * scale;
    const auto key = std::pair(size, window->winId());
    if (!m_presenter || m_presenter->size() != size || m_presenter->window() != key.second) {
        m_presenter.reset();
        if (m_presenterRefused == key)
            return false;
        m_presenter = X11FramePresenter::create(window, size);
        if (!m_presenter) {
            m_presenterRefused = key;
            return false;
        }
    }
    QImage &image = m_presenter->next();
    image.setDevicePixelRatio(dpr);
    {
        QPainter p(&image);
        p.translate(-QPointF(cover.topLeft()));
        p.setClipRect(changed);
        m_renderer.paint(p, area, m_script.layout(), m_scroll.offset(), light);
    }
    m_presenter->present(
        QRect((changed.topLeft() - cover.topLeft()) * scale, changed.size() * scale),
        (changed.topLeft() - m_offset) * scale);
    m_presented = true;
    return true;
}

bool IslandPanel::eventFilter(QObject *watched, QEvent *event) {
    // What was shown past the backing store is not in it: before Qt shows
    // the window again from it, the script area is painted anew there.
    if (event->type() == QEvent::Expose && watched == windowHandle() && m_presented) {
        m_presented = false;
        update(scriptArea().toAlignedRect().translated(-m_offset));
    }
    return QWidget::eventFilter(watched, event);
}

QRectF IslandPanel::scriptArea() const {
    return m_model.layout().scriptArea();
}

void IslandPanel::updateScriptArea() {
    const QSizeF size = scriptArea().size();
    if (size.width() > 0 && size.height() > 0)
        m_script.setViewportSize(size);
    updateShapes();
}

void IslandPanel::updateShapes() {
    if (!windowHandle() || !X11Window::isAvailable())
        return;
    const IslandLayout &l = m_model.layout();
    const QRegion input =
        regionOf(l.hitTestPath(m_scroll.isLive(), pillAnswers())).translated(-m_offset);
    if (m_composited) {
        X11Window::setShapes(windowHandle(), nullptr, input);
        return;
    }
    QPainterPath drawn = currentSilhouette().path();
    if (l.placement.kind != IslandPlacement::Kind::topCenter) {
        drawn.addRect(l.controlRect(0));
        drawn.addRect(l.controlRect(1));
    }
    const QRegion bounding = regionOf(drawn).translated(-m_offset);
    X11Window::setShapes(windowHandle(), &bounding, input);
}

void IslandPanel::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    updateShapes();
    syncBreath();
    if (windowHandle())
        windowHandle()->installEventFilter(this); // once: a second install only moves it
    if (!m_keptAbove && windowHandle() && X11Window::isAvailable()) {
        // The island bypasses the window manager, so nobody else keeps it on top.
        X11Window::keepAbove(windowHandle());
        m_keptAbove = true;
    }
}

void IslandPanel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateShapes();
}

void IslandPanel::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_composited) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.translate(-m_offset);
    const IslandLayout &l = m_model.layout();
    const QPainterPath &silhouette = outline().path;
    // A scrolling frame repaints only the script area, well inside the body:
    // there a rectangle is the silhouette, without the cost of filling and
    // clipping to the curved outline.
    const QRectF dirty = QRectF(event->rect()).translated(m_offset);
    // Within a rectangle inside the body, any rectangle is.
    if (!(m_outline->dirty && m_outline->insideBody && m_outline->dirty->contains(dirty))) {
        m_outline->dirty = dirty;
        m_outline->insideBody = liesInsideBody(dirty);
    }
    const bool insideBody = m_outline->insideBody;
    const double opacity = easeOut(m_scriptOpacity);
    const QRectF area = scriptArea();
    // The script paints every pixel of its area itself.
    const bool scriptCovers =
        opacity > 0 && m_script.layout() && area.toAlignedRect().contains(dirty.toAlignedRect());
    if (!insideBody) {
        if (castsShadow())
            m_shadow.paint(p, silhouette, *m_shadowStyle);
        p.fillPath(silhouette, Tokens::panelFill());
    }
    else if (!scriptCovers)
        p.fillRect(dirty, Tokens::panelFill());

    if (opacity > 0) {
        // The light can move between a frame and its paint (a voice result
        // arriving): what that changed beyond this paint is painted next.
        const std::optional<ScriptRenderer::Glow> light = glow();
        const QRect late = m_renderer.prepare(area, m_script.layout(), m_scroll.offset(), light,
                                              devicePixelRatioF());
        if (!(QRegion(late.translated(-m_offset)) - event->region()).isEmpty())
            QMetaObject::invokeMethod(
                this, [this, late] { update(late.translated(-m_offset)); }, Qt::QueuedConnection);
        p.save();
        if (insideBody)
            p.setClipRect(dirty);
        else
            p.setClipPath(silhouette);
        p.setOpacity(opacity);
        m_renderer.paint(p, area, m_script.layout(), m_scroll.offset(), light);
        p.restore();
    }

    if (m_controls > 0) {
        // The buttons fade and grow in (0.8 to full size) as the island
        // leaves top centre, and out again as it returns.
        const double shown = easeOut(m_controls);
        for (int i = 0; i < 2; ++i) {
            const QRectF r = l.controlRect(i);
            const QPointF c = r.center();
            p.save();
            p.setOpacity(shown);
            p.translate(c);
            p.scale(0.8 + 0.2 * shown, 0.8 + 0.2 * shown);
            p.translate(-c);
            p.setPen(QPen(Tokens::controlStroke(), 1));
            p.setBrush(Tokens::controlFill());
            p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
            p.setPen(QPen(Tokens::controlGlyph(), 1.6, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            if (i == 0) { // hide: a cross
                p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
                p.drawLine(c + QPointF(4, -4), c + QPointF(-4, 4));
            } else { // back to top centre: a turning arrow
                QPainterPath arrow;
                arrow.moveTo(c + QPointF(4.5, 3.5));
                arrow.cubicTo(c + QPointF(4.5, -1), c + QPointF(1, -3), c + QPointF(-4, -3));
                arrow.moveTo(c + QPointF(-1.5, -5.5));
                arrow.lineTo(c + QPointF(-4, -3));
                arrow.lineTo(c + QPointF(-1.5, -0.5));
                p.drawPath(arrow);
            }
            p.restore();
        }
    }
    if (m_scroll.countdownNumber() > 0)
        paintCountdown(p);
    if (!m_notice.text.isEmpty())
        paintNotice(p);
}

void IslandPanel::paintCountdown(QPainter &p) {
    // The number alone: the first lines come when it is done.
    const QRectF area = scriptArea();
    p.save();
    p.setClipRect(area);
    p.fillRect(area, Tokens::panelFill());
    QFont font = this->font();
    font.setPixelSize(static_cast<int>(std::min(72.0, area.height() * 0.6)));
    font.setWeight(QFont::Bold);
    p.setFont(font);
    p.setPen(Tokens::primaryWhite());
    p.drawText(area, Qt::AlignCenter, QString::number(m_scroll.countdownNumber()));
    p.restore();
}

QRectF IslandPanel::noticeRect() const {
    const QRectF area = scriptArea();
    if (!m_scroll.isLive()) // the island opened for it: the middle
        return area;
    // Over a reading: a band along the bottom, clear of the reading line.
    const double h = std::min(area.height(), 34.0);
    return QRectF(area.left(), area.bottom() - h, area.width(), h);
}

void IslandPanel::paintNotice(QPainter &p) {
    // Drawn only once the island has opened around it.
    const QRectF r = noticeRect();
    if (!(m_height.value() >= r.bottom() - m_model.layout().bodyOrigin.y() - 1))
        return;
    QFont font = this->font();
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    p.save();
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(m_notice.text, Qt::ElideRight, r.width() - 28);
    const double w = std::min(r.width(), metrics.horizontalAdvance(text) + 28);
    const QRectF pill(r.center().x() - w / 2, r.center().y() - 14, w, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(m_notice.problem ? QColor(90, 60, 0, 235) : QColor(40, 40, 46, 235));
    p.drawRoundedRect(pill, 14, 14);
    p.setPen(m_notice.problem ? QColor(0xFF, 0xD4, 0x79) : Tokens::primaryWhite());
    p.drawText(pill, Qt::AlignCenter, text);
    p.restore();
}

bool IslandPanel::isOpen() const {
    return m_scroll.isLive() || m_previewing || !m_notice.text.isEmpty();
}

bool IslandPanel::controlsWanted() const {
    return m_model.layout().placement.kind != IslandPlacement::Kind::topCenter;
}

bool IslandPanel::pillAnswers() const {
    return !m_scroll.isLive();
}

bool IslandPanel::onPill(QPointF at) const {
    return pillAnswers() && m_model.layout().pillRect().contains(at);
}

void IslandPanel::showNotice(const QString &text, bool problem) {
    m_notice = {text, problem};
    m_noticeTimer.start(problem ? noticeProblemMs : noticeMs);
    syncTargets();
    update();
}

void IslandPanel::closeNotice() {
    m_noticeTimer.stop();
    m_notice = {};
    syncTargets();
    update();
}

void IslandPanel::endPreview() {
    m_previewTimer.stop();
    m_previewing = false;
    syncTargets();
}

void IslandPanel::showPreview(int ms) {
    m_previewing = true;
    m_previewTimer.start(ms);
    syncTargets();
}

void IslandPanel::syncBreath() {
    const bool breathes = isVisible() && m_scroll.isLive() && !m_scroll.isPlaying() &&
                          m_script.glowSource() != nullptr;
    if (breathes && !m_breathTimer.isActive())
        m_breathTimer.start();
    else if (!breathes)
        m_breathTimer.stop();
}

bool IslandPanel::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        const QPointF at = static_cast<QHelpEvent *>(event)->pos() + m_offset;
        QString tip;
        if (const auto control = controlAt(at))
            tip = controlName(*control);
        else if (onPill(at) && idleHint)
            tip = idleHint();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

QRect IslandPanel::controlRectOnScreen(int index) const {
    return m_model.layout().controlRect(index).toAlignedRect().translated(frameOrigin());
}

void IslandPanel::pressControl(int index) {
    if (index == 0)
        emit hideClicked();
    else
        emit resetPositionClicked();
}

QString IslandPanel::controlName(int index) {
    return index == 0 ? QStringLiteral("Hide the island")
                      : QStringLiteral("Move the island back to the top centre");
}

std::optional<int> IslandPanel::controlAt(QPointF point) const {
    const IslandLayout &l = m_model.layout();
    if (!controlsWanted())
        return std::nullopt;
    for (int i = 0; i < 2; ++i)
        if (l.controlRect(i).contains(point))
            return i;
    return std::nullopt;
}

void IslandPanel::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressAt = event->globalPosition();
    m_grab.reset();
}

void IslandPanel::mouseMoveEvent(QMouseEvent *event) {
    if (!m_pressAt || !(event->buttons() & Qt::LeftButton)) {
        // Over a panel that never becomes active the pointer is ours to set.
        const QPointF at = event->position() + m_offset;
        setCursor(controlAt(at) || onPill(at) ? Qt::PointingHandCursor : Qt::OpenHandCursor);
        return;
    }
    // The idle pill is clicked, not dragged: only a reading island moves.
    if (pillAnswers() && !controlAt(*m_pressAt - QPointF(frameOrigin())))
        return;
    const QPointF global = event->globalPosition();
    if (!m_grab) {
        if (QLineF(*m_pressAt, global).length() < dragMinimumDistance)
            return;
        // Measured from the frame's corner, which is what a drag moves.
        m_grab = *m_pressAt - QPointF(frameOrigin());
        setCursor(Qt::ClosedHandCursor);
        m_model.beginDrag();
    }
    QPointF origin = global - *m_grab;
    const QSize size = m_frame.isNull() ? this->size() : m_frame.size();
    if (dragBounds) {
        if (const auto bounds = dragBounds()) {
            origin.setX(
                std::clamp<double>(origin.x(), bounds->left(),
                                   std::max(bounds->left(), bounds->right() + 1 - size.width())));
            origin.setY(
                std::clamp<double>(origin.y(), bounds->top(),
                                   std::max(bounds->top(), bounds->bottom() + 1 - size.height())));
        }
    }
    if (m_frame.isNull()) {
        move(origin.toPoint());
    } else {
        m_frame.moveTopLeft(origin.toPoint());
        applyFrame();
        move(m_frame.topLeft() + m_offset);
    }
}

QPoint IslandPanel::frameOrigin() const {
    return m_frame.isNull() ? pos() : m_frame.topLeft();
}

void IslandPanel::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool dragged = m_grab.has_value();
    m_pressAt.reset();
    m_grab.reset();
    if (dragged) {
        setCursor(Qt::OpenHandCursor);
        m_model.endDrag();
        emit dragCommitted(frameOrigin());
        return;
    }
    const QPointF at = event->position() + m_offset;
    if (const auto control = controlAt(at)) {
        pressControl(*control);
    } else if (onPill(at)) {
        emit pillClicked();
    }
}
