// Whether a compositing manager runs for the window's screen, followed live: on X11 the owner of
// the _NET_WM_CM_S<screen> selection (EWMH), watched through XFixes selection events.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

class QWindow;

class CompositingWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit CompositingWatcher(QObject* parent = nullptr);
    ~CompositingWatcher() override;

    // Starts following the compositor of the window's screen (the native window must exist). On
    // Wayland the compositor is the display server, so the answer is always yes; on other
    // platforms (offscreen, framebuffers) always no.
    void watch(QWindow* window);
    bool isActive() const { return active; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void activeChanged(bool active);

private:
    void setActive(bool value);
    void readOwner();

    bool active = false;
    bool filtering = false;
    std::uint32_t selectionAtom = 0;
    std::uint8_t xfixesFirstEvent = 0;
};
