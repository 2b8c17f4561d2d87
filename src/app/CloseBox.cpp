#include "app/CloseBox.h"

#include "device/SignalWatch.h"
#include "ui/main/frmMainMenu.h"
#include "ui/setup/frmCommSetup.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

#ifdef VNT_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <qguiapplication_platform.h>

namespace {
xcb_atom_t atomNamed(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

class CloseBoxFilter : public QObject, public QAbstractNativeEventFilter {
public:
    CloseBoxFilter(frmMainMenu &main, xcb_connection_t *connection)
        : QObject(&main), main_(&main), protocols_(atomNamed(connection, "WM_PROTOCOLS")),
          deleteWindow_(atomNamed(connection, "WM_DELETE_WINDOW"))
    {
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t" || !main_ || deleteWindow_ == XCB_ATOM_NONE)
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->format != 32 || client->type != protocols_ || client->data.data32[0] != deleteWindow_ ||
            client->window != xcb_window_t(main_->winId()))
            return false;
        // Not under a modal window: the system delivers it as any close.
        if (!QApplication::activeModalWidget())
            return false;
        QTimer::singleShot(0, main_, [main = main_] {
            if (main)
                main->requestClose();
        });
        return true;
    }

private:
    QPointer<frmMainMenu> main_;
    xcb_atom_t protocols_;
    xcb_atom_t deleteWindow_;
};
} // namespace

void watchCloseBox(frmMainMenu &main)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    auto *filter = new CloseBoxFilter(main, x11->connection());
    qApp->installNativeEventFilter(filter);
}
#else
void watchCloseBox(frmMainMenu &) {}
#endif

namespace {
void endOnSignal(int signal)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        if (auto *main = qobject_cast<frmMainMenu *>(w)) {
            main->requestClose();
            // Declined only for a question outside any run (the records a save run kept):
            // answering it would discard them, so it stays unanswered and they stay kept.
            if (!main->closeRequested() && main->isVisible())
                ::_exit(128 + signal);
            return;
        }
        if (auto *setup = qobject_cast<frmCommSetup *>(w)) {
            setup->close(); // its close box: as "Cancel", also while the handshake waits
            return;
        }
    }
    QCoreApplication::exit(128 + signal);
}
} // namespace

std::unique_ptr<SignalWatch> closeOnSignals()
{
    auto watch = std::make_unique<SignalWatch>();
    watch->catchFromNow();
    // Out of the notifier first: closing runs the closing sequence's own waits.
    watch->caught = [](int signal) { QTimer::singleShot(0, qApp, [signal] { endOnSignal(signal); }); };
    return watch;
}
