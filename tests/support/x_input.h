#pragma once
// A real mouse click from the window system: button events sent through the X server to
// the top-level window, so they take the way a user's click takes (event queue, modality,
// the input filters of the event loop that picks them up). Link with xcb.

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QPoint>
#include <QWidget>

namespace testsupport {

// Returns false when the application does not run on X11.
inline bool x_click(QWidget* w, QPoint local) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return false;
  xcb_connection_t* c = x11->connection();
  const QPoint in_window = w->mapTo(w->window(), local);
  const QPoint global = w->mapToGlobal(local);
  const auto win = static_cast<xcb_window_t>(w->window()->winId());
  for (int type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
    xcb_button_press_event_t ev{};
    ev.response_type = static_cast<uint8_t>(type);
    ev.detail = 1;  // left button
    ev.time = XCB_CURRENT_TIME;
    ev.root = 0;
    ev.event = win;
    ev.child = XCB_NONE;
    ev.event_x = static_cast<int16_t>(in_window.x());
    ev.event_y = static_cast<int16_t>(in_window.y());
    ev.root_x = static_cast<int16_t>(global.x());
    ev.root_y = static_cast<int16_t>(global.y());
    ev.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
    ev.same_screen = 1;
    xcb_send_event(c, 0, win,
                   type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS
                                            : XCB_EVENT_MASK_BUTTON_RELEASE,
                   reinterpret_cast<const char*>(&ev));
  }
  xcb_flush(c);
  return true;
}

// The centre of a widget.
inline bool x_click(QWidget* w) { return x_click(w, w->rect().center()); }

}  // namespace testsupport
