// Encoding and decoding of the settings file. QJsonDocument writes doubles in their shortest
// round-trip form, so every number reads back to the same value.
#include "SettingsJson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUtf8StringView>

#include <algorithm>
#include <cmath>

namespace {

// One field: its key and how it moves between the record and a JSON value.
struct DoubleField {
    const char* key;
    double VitrionSettings::*member;
};

// The double fields in record order; configurationVersion, the texts and the enumerations are
// handled on their own because their JSON types differ.
constexpr DoubleField doubleFields[] = {
    {"opacity", &VitrionSettings::opacity},         {"blur", &VitrionSettings::blur},
    {"saturation", &VitrionSettings::saturation},   {"tintRed", &VitrionSettings::tintRed},
    {"tintGreen", &VitrionSettings::tintGreen},     {"tintBlue", &VitrionSettings::tintBlue},
    {"textRed", &VitrionSettings::textRed},         {"textGreen", &VitrionSettings::textGreen},
    {"textBlue", &VitrionSettings::textBlue},       {"fontSize", &VitrionSettings::fontSize},
    {"lineSpacing", &VitrionSettings::lineSpacing}, {"cornerRadius", &VitrionSettings::cornerRadius},
    {"padding", &VitrionSettings::padding},
};

std::optional<qint64> wholeNumber(const QJsonValue& value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    // toInteger falls back to its argument when the number is not a representable whole number,
    // so two different fallbacks agree only for a genuine whole number.
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1)) {
        return std::nullopt;
    }
    return first;
}

std::optional<QString> text(const QJsonValue& value)
{
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

// Scrollback keys (camel case like the rest), optional so that files written before them load as
// they did.
const QString scrollbackLinesKey = QStringLiteral("scrollbackLines");
const QString scrollbackUnlimitedKey = QStringLiteral("scrollbackUnlimited");
const QString scrollbackMegabytesKey = QStringLiteral("scrollbackMegabytes");

// A count from a hand-edited file: any number is clamped into the range and rounded; anything else
// keeps the fallback.
qint64 clampedCount(const QJsonValue& value, qint64 fallback, qint64 low, qint64 high)
{
    if (!value.isDouble()) {
        return fallback;
    }
    return std::llround(std::clamp(value.toDouble(), double(low), double(high)));
}

} // namespace

std::optional<QByteArray> encodeSettings(const VitrionSettings& settings, QString* failure)
{
    QJsonObject object;
    object.insert(QStringLiteral("configurationVersion"), settings.configurationVersion);
    for (const DoubleField& field : doubleFields) {
        const double value = settings.*field.member;
        if (!std::isfinite(value)) {
            // JSON has no form for it; writing null would make the whole file unreadable next time.
            if (failure) {
                *failure = QStringLiteral("the value of \"%1\" is not a finite number").arg(field.key);
            }
            return std::nullopt;
        }
        object.insert(QLatin1String(field.key), value);
    }
    object.insert(QStringLiteral("material"), rawValue(settings.material));
    object.insert(QStringLiteral("fontName"), settings.fontName);
    object.insert(QStringLiteral("cursorStyle"), rawValue(settings.cursorStyle));
    object.insert(QStringLiteral("shell"), settings.shell);
    object.insert(scrollbackLinesKey, settings.scrollbackLines);
    object.insert(scrollbackUnlimitedKey, settings.scrollbackUnlimited);
    object.insert(scrollbackMegabytesKey, settings.scrollbackMegabytes);
    // QJsonObject keeps its keys in ascending order; Indented puts one member per line.
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<VitrionSettings> decodeSettings(const QByteArray& json)
{
    // The file is UTF-8; the parser would quietly replace broken sequences, so they fail here.
    if (!QUtf8StringView(json).isValidUtf8()) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    VitrionSettings settings;

    const auto version = wholeNumber(object.value(QStringLiteral("configurationVersion")));
    if (!version) {
        return std::nullopt;
    }
    settings.configurationVersion = *version;

    for (const DoubleField& field : doubleFields) {
        const QJsonValue value = object.value(QLatin1String(field.key));
        if (!value.isDouble()) { // an integer in the file is a double here too
            return std::nullopt;
        }
        settings.*field.member = value.toDouble();
    }

    const auto material = text(object.value(QStringLiteral("material")));
    const auto fontName = text(object.value(QStringLiteral("fontName")));
    const auto cursorStyle = text(object.value(QStringLiteral("cursorStyle")));
    const auto shell = text(object.value(QStringLiteral("shell")));
    if (!material || !fontName || !cursorStyle || !shell) {
        return std::nullopt;
    }
    const auto glass = glassMaterialFromRawValue(*material);
    const auto cursor = cursorStyleFromRawValue(*cursorStyle);
    if (!glass || !cursor) {
        return std::nullopt;
    }
    settings.material = *glass;
    settings.fontName = *fontName;
    settings.cursorStyle = *cursor;
    settings.shell = *shell;

    settings.scrollbackLines = clampedCount(object.value(scrollbackLinesKey), settings.scrollbackLines, 0,
                                            VitrionSettings::maximumScrollbackLines);
    const QJsonValue unlimited = object.value(scrollbackUnlimitedKey);
    settings.scrollbackUnlimited = unlimited.isBool() ? unlimited.toBool() : settings.scrollbackUnlimited;
    settings.scrollbackMegabytes = clampedCount(
        object.value(scrollbackMegabytesKey), settings.scrollbackMegabytes,
        VitrionSettings::minimumScrollbackMegabytes, VitrionSettings::maximumScrollbackMegabytes);
    return settings;
}
