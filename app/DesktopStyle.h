// The desktop's light or dark style: the freedesktop settings portal's colour-scheme preference on
// the session bus, followed while it changes, else the lightness of the application's window colour.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <optional>

class DesktopStyle : public QObject {
    Q_OBJECT
public:
    static constexpr const char* portalService = "org.freedesktop.portal.Desktop";
    static constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* settingsInterface = "org.freedesktop.portal.Settings";

    // Asks the portal on `bus` (without waiting for it) and listens for its changes.
    explicit DesktopStyle(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);

    bool prefersDark() const;
    // True until the portal has answered or failed to: prefersDark() is the palette's guess till then,
    // and changed() tells the answer once it comes, even when it agrees.
    bool asking() const { return waiting; }
    // The portal's answer: 0 no preference, 1 dark, 2 light; none while it has not answered.
    std::optional<uint> portalPreference() const { return portal; }

signals:
    void changed(bool dark);

public slots:
    // The portal's SettingChanged signal (QtDBus connects only public slots).
    void settingChanged(const QDBusMessage& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ask(const QString& method);
    void take(const QVariant& value);
    void update(bool settled = false);

    QDBusConnection bus;
    std::optional<uint> portal;
    bool dark = true;
    bool waiting = false;
    bool announced = false;
};
