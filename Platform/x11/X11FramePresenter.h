#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>

class QWindow;

// Shows frames of a part of a window straight on the X server, past Qt's
// backing store, which asks the server for a round trip before each paint
// over what it showed the frame before. Two shared-memory images are drawn
// in turn, so a frame only waits in the rare case that the server has not
// yet read the image it showed two frames ago.
//
// What is shown this way is not in Qt's backing store: whoever presents must
// have Qt paint the part again before Qt shows it (the window exposed).
class X11FramePresenter {
public:
    // Null where the window is not on X11, or the server cannot share
    // memory or takes pixels in another layout than 32-bit BGRA.
    static std::unique_ptr<X11FramePresenter> create(QWindow *window, QSize size);
    ~X11FramePresenter();
    X11FramePresenter(const X11FramePresenter &) = delete;
    X11FramePresenter &operator=(const X11FramePresenter &) = delete;

    QSize size() const { return m_size; }
    // The X window it draws on: a window Qt made again needs a new presenter.
    std::uint32_t window() const { return m_window; }
    // The image to draw the next frame in, `size()` device pixels; it holds
    // an older frame, or nothing.
    QImage &next();
    // Shows `part` of the image next() gave, its top left at `at` in the
    // window (device pixels).
    void present(const QRect &part, QPoint at);

private:
    struct Buffer {
        std::uint32_t segment = 0;
        void *memory = nullptr;
        QImage image;
        // A request sent after the image was shown: its reply means the
        // server has read the image.
        std::optional<unsigned> shown;
    };

    X11FramePresenter() = default;

    QSize m_size;
    std::uint32_t m_window = 0;
    std::uint32_t m_gc = 0;
    std::uint8_t m_depth = 0;
    Buffer m_buffers[2];
    int m_next = 0;
};
