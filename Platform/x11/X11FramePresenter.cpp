#include "Platform/x11/X11FramePresenter.h"

#include "Platform/x11/X11Window.h"

#include <QLoggingCategory>
#include <QWindow>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcPresenter, "org.orvell.Orvell.X11FramePresenter")

namespace {

using X11Window::connection;

template <typename T> struct Reply {
    T *p = nullptr;
    ~Reply() { std::free(p); }
    T *operator->() const { return p; }
    explicit operator bool() const { return p; }
};

// Whether pixels of a window of `depth` are 32-bit words, blue in the low
// byte, as QImage's RGB32 and ARGB32 hold them on this machine.
bool takesBgra(const xcb_setup_t *setup, xcb_visualid_t visual, std::uint8_t depth) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32))
        return false;
    bool format = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth)
            format = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    if (!format)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == visual)
                    return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                           v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                           v.data->blue_mask == 0xff;
    return false;
}

} // namespace

std::unique_ptr<X11FramePresenter> X11FramePresenter::create(QWindow *window, QSize size) {
    xcb_connection_t *c = connection();
    if (!c || !window || size.isEmpty() || size.width() > 8192 || size.height() > 8192)
        return nullptr;
    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(c, &xcb_shm_id);
    if (!shm || !shm->present)
        return nullptr;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const Reply<xcb_get_geometry_reply_t> geometry{
        xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr)};
    const Reply<xcb_get_window_attributes_reply_t> attributes{
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr)};
    if (!geometry || !attributes ||
        !takesBgra(xcb_get_setup(c), attributes->visual, geometry->depth))
        return nullptr;

    std::unique_ptr<X11FramePresenter> p(new X11FramePresenter);
    p->m_size = size;
    p->m_window = id;
    p->m_depth = geometry->depth;
    p->m_gc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, p->m_gc, id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    const auto bytes = static_cast<std::size_t>(size.width()) * size.height() * 4;
    for (Buffer &b : p->m_buffers) {
        const int shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (shmid < 0)
            return nullptr;
        void *memory = shmat(shmid, nullptr, 0);
        if (memory == reinterpret_cast<void *>(-1)) {
            shmctl(shmid, IPC_RMID, nullptr);
            return nullptr;
        }
        const std::uint32_t segment = xcb_generate_id(c);
        xcb_generic_error_t *error =
            xcb_request_check(c, xcb_shm_attach_checked(c, segment, shmid, false));
        // Gone once both sides let go, also if this process dies.
        shmctl(shmid, IPC_RMID, nullptr);
        if (error) {
            std::free(error);
            shmdt(memory);
            qCInfo(lcPresenter) << "the X server cannot share memory with this process";
            return nullptr;
        }
        b.segment = segment;
        b.memory = memory;
        b.image =
            QImage(static_cast<uchar *>(memory), size.width(), size.height(), size.width() * 4,
                   p->m_depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    }
    return p;
}

X11FramePresenter::~X11FramePresenter() {
    xcb_connection_t *c = connection();
    for (Buffer &b : m_buffers) {
        b.image = QImage();
        if (c && b.shown)
            xcb_discard_reply(c, *b.shown);
        if (c && b.segment)
            xcb_shm_detach(c, b.segment);
        if (b.memory)
            shmdt(b.memory);
    }
    if (c && m_gc)
        xcb_free_gc(c, m_gc);
    if (c)
        xcb_flush(c);
}

QImage &X11FramePresenter::next() {
    Buffer &b = m_buffers[m_next];
    if (b.shown) {
        // Two frames on, the reply has long arrived: this rarely waits.
        if (xcb_connection_t *c = connection())
            std::free(
                xcb_get_input_focus_reply(c, xcb_get_input_focus_cookie_t{*b.shown}, nullptr));
        b.shown.reset();
    }
    return b.image;
}

void X11FramePresenter::present(const QRect &part, QPoint at) {
    xcb_connection_t *c = connection();
    Buffer &b = m_buffers[m_next];
    const QRect r = part & b.image.rect();
    if (!c || r.isEmpty())
        return;
    xcb_shm_put_image(c, m_window, m_gc, static_cast<std::uint16_t>(m_size.width()),
                      static_cast<std::uint16_t>(m_size.height()),
                      static_cast<std::uint16_t>(r.x()), static_cast<std::uint16_t>(r.y()),
                      static_cast<std::uint16_t>(r.width()), static_cast<std::uint16_t>(r.height()),
                      static_cast<std::int16_t>(at.x() + r.x() - part.x()),
                      static_cast<std::int16_t>(at.y() + r.y() - part.y()), m_depth,
                      XCB_IMAGE_FORMAT_Z_PIXMAP, 0, b.segment, 0);
    b.shown = xcb_get_input_focus(c).sequence;
    xcb_flush(c);
    m_next ^= 1;
}
