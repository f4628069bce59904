#pragma once

#include "OrvellKitUI/DropShadow.h"
#include "OrvellKitUI/ScriptRenderer.h"
#include "OrvellKitUI/Spring.h"
#include "Platform/x11/X11FramePresenter.h"
#include "island/IslandShapes.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class IslandLayoutModel;
class ScriptViewportModel;
class ScrollEngine;

// The island's window: the black silhouette hanging from the top edge, the
// script inside it and, away from top centre, two small buttons. It never
// takes focus, and clicks outside its hit-test path reach the window below.
class IslandPanel : public QWidget {
    Q_OBJECT

public:
    IslandPanel(IslandLayoutModel &model, ScrollEngine &scroll, ScriptViewportModel &script,
                QWidget *parent = nullptr);

    // The rectangle the window may be dragged within (the display), if any.
    std::function<std::optional<QRect>()> dragBounds;

    // The silhouette as currently drawn (mid-animation included).
    IslandSilhouette currentSilhouette() const;

    // Where the layout's whole frame lies on the desktop. The window itself
    // covers only the part of it that is drawn, so that nothing beside the
    // island takes clicks, on desktops without input shapes too (XWayland).
    void setFrame(const QRect &frame);
    QRect frame() const { return m_frame; }
    // The drawn part, in the frame's coordinates.
    QRect drawnRect() const;
    // The shadow cast away from the top edge; none where nothing blends the
    // window's clear parts.
    void setShadowStyle(std::optional<ShadowStyle> style);
    bool castsShadow() const;
    // Moves every animation to its end at once (for tests and screenshots).
    void finishAnimations();

    // A short sentence shown on the island for a few seconds; between
    // readings the island opens to show it.
    void showNotice(const QString &text, bool problem);
    QString notice() const { return m_notice.text; }
    void closeNotice();
    // Opens the island on the script's first lines for a while (first start).
    void showPreview(int ms);
    void endPreview();
    // Whether the island shows its full body (reading, a notice or a preview).
    bool isOpen() const;
    // How far the two buttons have faded in, 0 to 1.
    double controlsShown() const { return m_controls; }
    // The hint shown when the pointer rests on the idle pill.
    std::function<QString()> idleHint;
    // The two buttons' accessible names.
    static QString controlName(int index);
    std::optional<int> controlAt(QPointF p) const;
    // A button on the desktop, and what pressing it does (for assistive technology).
    QRect controlRectOnScreen(int index) const;
    void pressControl(int index);

signals:
    // The window's new top-left corner when a drag ends.
    void dragCommitted(QPoint topLeft);
    // The two small buttons.
    void hideClicked();
    void resetPositionClicked();
    // The idle pill was clicked.
    void pillClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void syncTargets();
    void animate();
    void updateShapes();
    void updateScriptArea();
    // Brings the script up to the current frame and repaints what changed.
    void scriptFrame();
    // Shows what changed of the frame `prepare` made with `light` straight
    // on the X server; false where it cannot, and Qt is to paint it.
    bool presentDirectly(const QRect &changed, const std::optional<ScriptRenderer::Glow> &light);
    // The outline for the current silhouette, made when it changed.
    struct Outline;
    Outline &outline();
    // Whether a rectangle lies inside the body, clear of the buttons: there
    // the rectangle is the silhouette.
    bool liesInsideBody(const QRectF &r);
    // The light over the script now, if a mode lights it.
    std::optional<ScriptRenderer::Glow> glow() const;
    // Where the script is drawn, in the frame's coordinates.
    QRectF scriptArea() const;
    QRectF noticeRect() const;
    void paintNotice(QPainter &p);
    void paintCountdown(QPainter &p);
    bool controlsWanted() const;
    bool pillAnswers() const;
    // Whether a point (frame coordinates) is on the idle pill, which answers the pointer.
    bool onPill(QPointF at) const;
    void syncBreath();
    void applyFrame();
    QPoint frameOrigin() const;

    IslandLayoutModel &m_model;
    ScrollEngine &m_scroll;
    ScriptViewportModel &m_script;
    ScriptRenderer m_renderer;

    Spring m_width, m_height, m_fillet, m_topRadius;
    double m_scriptOpacity = 0;
    double m_scriptOpacityTarget = 0;
    double m_controls = 0;
    double m_controlsTarget = 0;
    struct Notice {
        QString text;
        bool problem = false;
    } m_notice;
    QTimer m_noticeTimer;
    bool m_previewing = false;
    QTimer m_previewTimer;
    // The lookahead's breath runs on the wall clock; while paused a slow
    // timer keeps it going.
    QElapsedTimer m_breathClock;
    double m_breathSeconds = 0;
    QTimer m_breathTimer;
    QTimer m_animationTimer;
    QElapsedTimer m_animationClock;
    bool m_composited = false;
    bool m_keptAbove = false;
    std::optional<ShadowStyle> m_shadowStyle;
    DropShadow m_shadow;

    // The layout's frame on the desktop (null until placed), and where the
    // window starts within it: painting and events are in frame coordinates.
    QRect m_frame;
    QPoint m_offset;

    std::optional<QPointF> m_pressAt;
    std::optional<QPointF> m_grab;

    // The outline last painted, and whether the rectangle last painted lies
    // inside its body: a scrolling frame asks the same question every time,
    // and a curved outline is costly to build and to test.
    struct Outline {
        IslandSilhouette silhouette;
        QPainterPath path;
        std::optional<QRectF> dirty;
        bool insideBody = false;
        // Whether the script area lies inside the body, once asked.
        std::optional<bool> scriptInside;
    };
    std::optional<Outline> m_outline;

    // Frames of the script shown past Qt's backing store (X11).
    std::unique_ptr<X11FramePresenter> m_presenter;
    // Where a presenter could not be made: not asked again.
    std::optional<std::pair<QSize, WId>> m_presenterRefused;
    // A frame was shown past the backing store since Qt last painted the
    // script area on an expose.
    bool m_presented = false;
};
