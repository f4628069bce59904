#pragma once

#include <QImage>

// A Gaussian-like blur (three box passes each way) of a premultiplied
// image whose colour is its alpha: white text on transparent.
QImage blurredWhite(const QImage &image, double radius);
