#include "OrvellKitUI/Blur.h"
#include "OrvellKitUI/ScriptRenderer.h"

#include "support/IslandFixture.h"

#include <QPainter>

#include <gtest/gtest.h>

using island_fixture::script;

TEST(ScriptRenderer, aFrameReusesTheLinesItRendered) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScriptLayout::Key key{script, 364, 24, 5.0 / 3.0};
    auto layout = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    ScriptRenderer renderer;
    QImage canvas(364, 150, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    renderer.paint(p, QRectF(0, 0, 364, 150), layout, 0, ScriptRenderer::Glow{10, 20, 0.5});
    const size_t lines = renderer.cachedLineCount();
    EXPECT_GT(lines, 0u);
    renderer.paint(p, QRectF(0, 0, 364, 150), layout, 0, ScriptRenderer::Glow{12, 22, 0.6});
    EXPECT_EQ(renderer.cachedLineCount(), lines);
    // A new layout starts a new cache.
    auto other = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    renderer.paint(p, QRectF(0, 0, 364, 150), other, 500, std::nullopt);
    EXPECT_LE(renderer.cachedLineCount(), lines + 2);
}

TEST(ScriptRenderer, aFrameLooksAsAFreshRendererDrawsIt) {
    const ScriptLayout::Key key{script, 364, 24, 5.0 / 3.0};
    auto layout = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    struct Frame {
        double offset;
        std::optional<ScriptRenderer::Glow> glow;
    };
    const auto lit = [](double front, double end, double pulse = 0.5) {
        return std::optional(ScriptRenderer::Glow{front, end, pulse});
    };
    // One renderer follows a reading: the text scrolls by fractions of a
    // pixel and by jumps, back and forth; the light moves a frame at a time
    // along a line (where only what it crossed is composed again), its
    // lookahead jumps a word and spans two lines, the pulse breathes while
    // nothing else moves, the guide comes and goes. Each frame repaints only
    // the part its renderer says changed, over the frame before, and must
    // then look as a renderer that never saw the earlier ones draws it, at
    // either pixel ratio and on an area off the pixel grid.
    const std::vector<Frame> frames = {
        {45, lit(30, 42)},        {45.3, lit(30.4, 42)},  {45.3, lit(30.4, 42, 0.7)},
        {45.4, lit(31.9, 42)},    {46.4, lit(33, 50)},    {47, lit(44, 75)},
        {47.1, lit(45, 75, 0.3)}, {80, lit(200, 212)},    {125, lit(300, 312)},
        {81.5, std::nullopt},     {81.6, std::nullopt},   {82.25, std::nullopt},
        {140, std::nullopt},      {40, lit(60, 72)},      {300, lit(420, 440)},
        {300.2, lit(421, 440)},   {300.2, lit(421, 440)},
    };
    for (const double dpr : {1.0, 2.0}) {
        for (const QRectF area : {QRectF(0, 0, 364, 150), QRectF(3.5, 2.25, 350, 139.5)}) {
            const auto blank = [&] {
                QImage canvas((QSizeF(370, 156) * dpr).toSize(),
                              QImage::Format_ARGB32_Premultiplied);
                canvas.setDevicePixelRatio(dpr);
                canvas.fill(Qt::red);
                return canvas;
            };
            const QRect cover = area.toAlignedRect();
            ScriptRenderer following;
            QImage shown = blank();
            int partial = 0, unchanged = 0;
            for (const Frame &frame : frames) {
                const QRect changed =
                    following.prepare(area, layout, frame.offset, frame.glow, dpr);
                EXPECT_TRUE(cover.contains(changed) || changed.isEmpty());
                partial += !changed.isEmpty() && changed != cover;
                unchanged += changed.isEmpty();
                if (!changed.isEmpty()) {
                    QPainter p(&shown);
                    p.setClipRect(changed);
                    following.paint(p, area, layout, frame.offset, frame.glow);
                }
                ScriptRenderer fresh;
                QImage expected = blank();
                {
                    QPainter p(&expected);
                    fresh.paint(p, area, layout, frame.offset, frame.glow);
                }
                EXPECT_EQ(shown, expected) << "offset " << frame.offset << ", front "
                                           << (frame.glow ? frame.glow->front : -1) << ", ratio "
                                           << dpr << ", area at " << area.x();
                // The whole area is painted: nothing of the canvas shows through.
                const QRect covered =
                    QRectF(area.topLeft() * dpr, area.size() * dpr).toAlignedRect();
                const QImage inside = expected.copy(covered).convertToFormat(QImage::Format_RGB32);
                long showing = 0;
                for (int y = 0; y < inside.height(); ++y)
                    for (int x = 0; x < inside.width(); ++x)
                        showing += inside.pixel(x, y) == qRgb(255, 0, 0);
                EXPECT_EQ(showing, 0) << "offset " << frame.offset;
            }
            // While the text keeps its pixel row, a frame repaints around the
            // light, and nothing at all when nothing moved.
            EXPECT_GE(partial, dpr == 1 ? 3 : 2) << "ratio " << dpr;
            EXPECT_GE(unchanged, 1) << "ratio " << dpr;
        }
    }
}

TEST(Blur, spreadsTheSameWayAcrossAndDown) {
    // Rows and columns are blurred by different loops; a shape and its
    // mirror across the diagonal must come out as mirrors of each other,
    // but for the rounding of each pass.
    QImage shape(61, 47, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter p(&shape);
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 20));
        p.drawText(QRect(0, 0, 61, 47), Qt::AlignCenter, QStringLiteral("Rg"));
        p.fillRect(QRect(0, 0, 3, 9), Qt::white); // against the edges too
    }
    const auto mirrored = [](const QImage &image) {
        QImage out(image.height(), image.width(), image.format());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                out.setPixel(y, x, image.pixel(x, y));
        return out;
    };
    const auto lit = [](const QImage &image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qAlpha(image.pixel(x, y)) > 0;
        return n;
    };
    for (const double radius : {2.0, 6.0}) {
        const QImage blurred = mirrored(blurredWhite(shape, radius));
        const QImage expected = blurredWhite(mirrored(shape), radius);
        int worst = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                worst = std::max(
                    worst, std::abs(qAlpha(blurred.pixel(x, y)) - qAlpha(expected.pixel(x, y))));
                // Still white: premultiplied, each colour equals the alpha.
                const QRgb raw = reinterpret_cast<const QRgb *>(blurred.constScanLine(y))[x];
                EXPECT_EQ(qRed(raw), qAlpha(raw));
            }
        EXPECT_LE(worst, 3) << radius;
        EXPECT_GT(lit(blurred), lit(shape) * 3 / 2) << radius;
    }
}
