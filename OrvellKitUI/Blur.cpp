#include "OrvellKitUI/Blur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One box pass of half-width r along the n samples of a row from `start`.
void boxPass(std::vector<int> &data, int start, int n, int r, std::vector<int> &tmp) {
    if (r <= 0 || n <= 0)
        return;
    tmp.resize(static_cast<size_t>(n));
    const int width = 2 * r + 1;
    long sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += data[static_cast<size_t>(start + std::clamp(i, 0, n - 1))];
    for (int i = 0; i < n; ++i) {
        tmp[static_cast<size_t>(i)] = static_cast<int>(sum / width);
        const int out = std::clamp(i - r, 0, n - 1);
        const int in = std::clamp(i + r + 1, 0, n - 1);
        sum += data[static_cast<size_t>(start + in)] -
               data[static_cast<size_t>(start + out)];
    }
    for (int i = 0; i < n; ++i)
        data[static_cast<size_t>(start + i)] = tmp[static_cast<size_t>(i)];
}

// The same pass down every column at once, a row at a time, so memory is
// read in order rather than a row's width apart.
void boxPassDown(std::vector<int> &data, int w, int h, int r, std::vector<int> &out,
                 std::vector<int> &sum) {
    if (r <= 0 || h <= 0)
        return;
    const int width = 2 * r + 1;
    out.resize(data.size());
    sum.assign(static_cast<size_t>(w), 0);
    const auto row = [&](int y) {
        return data.data() + static_cast<size_t>(std::clamp(y, 0, h - 1)) * static_cast<size_t>(w);
    };
    for (int i = -r; i <= r; ++i) {
        const int *src = row(i);
        for (int x = 0; x < w; ++x)
            sum[static_cast<size_t>(x)] += src[x];
    }
    for (int y = 0; y < h; ++y) {
        int *o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        const int *in = row(y + r + 1);
        const int *gone = row(y - r);
        for (int x = 0; x < w; ++x) {
            o[x] = sum[static_cast<size_t>(x)] / width;
            sum[static_cast<size_t>(x)] += in[x] - gone[x];
        }
    }
    data.swap(out);
}

} // namespace

QImage blurredWhite(const QImage &source, double radius) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width();
    const int h = image.height();
    if (w == 0 || h == 0 || !(radius > 0))
        return image;
    // The radius is taken as two standard deviations, in device pixels.
    const double sigma = radius * image.devicePixelRatio() / 2;
    const int box =
        std::max(1, static_cast<int>(std::lround(std::sqrt(12 * sigma * sigma / 3 + 1))));
    const int r = box / 2;

    std::vector<int> alpha(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[static_cast<size_t>(y * w + x)] = qAlpha(line[x]);
    }
    std::vector<int> tmp, sums;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            boxPass(alpha, y * w, w, r, tmp);
        boxPassDown(alpha, w, h, r, tmp, sums);
    }
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = alpha[static_cast<size_t>(y * w + x)];
            line[x] = qRgba(a, a, a, a);
        }
    }
    return image;
}
