// Reading and following the desktop's colour-scheme preference.
#include "DesktopStyle.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace {

const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorScheme = QStringLiteral("color-scheme");

// The window colour of the application's palette: dark when it is below mid lightness.
bool paletteIsDark()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

} // namespace

DesktopStyle::DesktopStyle(const QDBusConnection& connection, QObject* parent)
    : QObject(parent), bus(connection), dark(paletteIsDark())
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    if (bus.isConnected()) {
        // A slot of QDBusMessage: QtDBus takes it for any signature and the arguments are read here.
        bus.connect(QLatin1String(portalService), QLatin1String(portalPath), QLatin1String(settingsInterface),
                    QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QDBusMessage)));
        waiting = true;
        ask(QStringLiteral("ReadOne"));
    }
}

bool DesktopStyle::prefersDark() const
{
    return dark;
}

// Asked without waiting: a portal that is slow to start must not hold up the window. ReadOne is the
// newer method; an older portal has only Read, whose answer is wrapped in one more variant.
void DesktopStyle::ask(const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(portalService), QLatin1String(portalPath), QLatin1String(settingsInterface), method);
    call << appearance << colorScheme;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, method](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            take(reply.arguments().constFirst());
        } else if (method == QLatin1String("ReadOne") &&
                   reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
            ask(QStringLiteral("Read"));
            return;
        }
        if (waiting) { // no portal, or no answer it could give: the palette decides
            waiting = false;
            update(true);
        }
    });
}

void DesktopStyle::take(const QVariant& value)
{
    // Unwraps variants (one from ReadOne, two from Read) down to the number.
    QVariant inner = value;
    for (int depth = 0; depth < 3; ++depth) {
        if (inner.canConvert<QDBusVariant>() && inner.userType() == qMetaTypeId<QDBusVariant>()) {
            inner = inner.value<QDBusVariant>().variant();
        } else if (inner.userType() == qMetaTypeId<QDBusArgument>()) {
            inner = qdbus_cast<QDBusVariant>(inner.value<QDBusArgument>()).variant();
        }
    }
    bool ok = false;
    const uint preference = inner.toUInt(&ok);
    if (!ok || preference > 2) {
        return; // not a preference this knows: the palette goes on deciding
    }
    portal = preference;
    waiting = false;
    update(true);
}

void DesktopStyle::settingChanged(const QDBusMessage& message)
{
    // (namespace, key, value): other settings of the desktop are not ours.
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == appearance &&
        arguments[1].toString() == colorScheme) {
        take(arguments[2]);
    }
}

bool DesktopStyle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        update();
    }
    return QObject::eventFilter(watched, event);
}

void DesktopStyle::update(bool settled)
{
    if (waiting) {
        return; // the portal's answer decides first
    }
    // No preference (0), or no portal: the palette the desktop gave the application.
    const bool now = portal && *portal != 0 ? *portal == 1 : paletteIsDark();
    if (now != dark || (settled && !announced)) {
        announced = true;
        dark = now;
        emit changed(dark);
    }
}
