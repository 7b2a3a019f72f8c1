// Encoding and decoding of the settings file, one key at a time through one table. QJsonDocument
// writes doubles in their shortest round-trip form, so every number reads back to the same value.
#include "SettingsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QUtf8StringView>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// One key: how its field becomes a JSON value (nothing when it has no JSON form) and how a value
// becomes the field again (false when the value is not of the key's type).
struct Field {
    const char* key;
    std::function<std::optional<QJsonValue>(const VitrionSettings&)> encode;
    std::function<bool(const QJsonValue&, VitrionSettings&)> decode;
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

Field numberField(const char* key, double VitrionSettings::*member)
{
    return {key,
            [member](const VitrionSettings& s) -> std::optional<QJsonValue> {
                // JSON has no form for it; writing null would lose the key's value next time.
                return std::isfinite(s.*member) ? std::optional(QJsonValue(s.*member)) : std::nullopt;
            },
            [member](const QJsonValue& value, VitrionSettings& s) {
                if (!value.isDouble()) { // an integer in the file is a double here too
                    return false;
                }
                s.*member = value.toDouble();
                return true;
            }};
}

// A text or a switch: stored as the JSON value of its own type.
template <typename Value>
Field plainField(const char* key, Value VitrionSettings::*member, bool (QJsonValue::*isItsType)() const)
{
    return {key, [member](const VitrionSettings& s) { return std::optional(QJsonValue(s.*member)); },
            [member, isItsType](const QJsonValue& value, VitrionSettings& s) {
                if (!(value.*isItsType)()) {
                    return false;
                }
                s.*member = value.toVariant().template value<Value>();
                return true;
            }};
}

template <typename Enumeration>
Field enumerationField(const char* key, Enumeration VitrionSettings::*member,
                       std::optional<Enumeration> (*fromRawValue)(const QString&))
{
    return {key,
            [member](const VitrionSettings& s) { return std::optional(QJsonValue(rawValue(s.*member))); },
            [member, fromRawValue](const QJsonValue& value, VitrionSettings& s) {
                const auto known = value.isString() ? fromRawValue(value.toString()) : std::nullopt;
                if (known) {
                    s.*member = *known;
                }
                return known.has_value();
            }};
}

// A count from a hand-edited file: any number is clamped into the range and rounded; anything else
// keeps the default.
Field countField(const char* key, qint64 VitrionSettings::*member, qint64 low, qint64 high)
{
    return {key, [member](const VitrionSettings& s) { return std::optional(QJsonValue(s.*member)); },
            [member, low, high](const QJsonValue& value, VitrionSettings& s) {
                if (!value.isDouble()) {
                    return false;
                }
                s.*member = std::llround(std::clamp(value.toDouble(), double(low), double(high)));
                return true;
            }};
}

std::optional<ColorScheme> schemeFromJson(const QJsonValue& value);

QJsonValue colorList(const std::array<quint32, 16>& colors)
{
    QJsonArray list;
    for (quint32 color : colors) {
        list.append(ColorSchemes::hex(color));
    }
    return list;
}

// Sixteen "#rrggbb" texts, or nothing.
std::optional<std::array<quint32, 16>> colorsFromList(const QJsonValue& value)
{
    const QJsonArray list = value.toArray();
    if (!value.isArray() || list.size() != 16) {
        return std::nullopt;
    }
    std::array<quint32, 16> colors{};
    for (int i = 0; i < 16; ++i) {
        const auto color = ColorSchemes::fromHex(list[i].toString());
        if (!color) {
            return std::nullopt;
        }
        colors[std::size_t(i)] = *color;
    }
    return colors;
}

// A value with a form of its own in the file: `read` gives nothing for a value it cannot take.
template <typename Value>
Field formField(const char* key, Value VitrionSettings::*member, QJsonValue (*write)(const Value&),
                std::optional<Value> (*read)(const QJsonValue&))
{
    return {key, [member, write](const VitrionSettings& s) { return std::optional(write(s.*member)); },
            [member, read](const QJsonValue& value, VitrionSettings& s) {
                const std::optional<Value> taken = read(value);
                if (taken) {
                    s.*member = *taken;
                }
                return taken.has_value();
            }};
}

QJsonValue hexValue(const quint32& color)
{
    return ColorSchemes::hex(color);
}

std::optional<quint32> colorFromValue(const QJsonValue& value)
{
    return ColorSchemes::fromHex(value.toString());
}

// A colour that may be none: "#rrggbb", or "" for none.
QJsonValue optionalHex(const std::optional<quint32>& color)
{
    return color ? ColorSchemes::hex(*color) : QString();
}

// The colour or none (also for a scheme without the key); nothing when the value is neither.
std::optional<std::optional<quint32>> optionalColor(const QJsonValue& value)
{
    if (value.isUndefined()) {
        return std::optional<quint32>();
    }
    const auto color = ColorSchemes::fromHex(value.toString());
    if (!value.isString() || (!color && !value.toString().isEmpty())) {
        return std::nullopt;
    }
    return color;
}

QJsonObject schemeObject(const ColorScheme& scheme)
{
    return QJsonObject{{"name", scheme.name},
                       {"ansiColors", colorList(scheme.ansi)},
                       {"foreground", ColorSchemes::hex(scheme.foreground)},
                       {"background", ColorSchemes::hex(scheme.background)},
                       {"cursorColor", ColorSchemes::hex(scheme.cursor)},
                       {"selectionColor", optionalHex(scheme.selection)},
                       {"selectionTextColor", optionalHex(scheme.selectionText)}};
}

std::optional<ColorScheme> schemeFromJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const auto ansi = colorsFromList(object.value("ansiColors"));
    const auto foreground = ColorSchemes::fromHex(object.value("foreground").toString());
    const auto background = ColorSchemes::fromHex(object.value("background").toString());
    const auto cursor = ColorSchemes::fromHex(object.value("cursorColor").toString());
    const auto selection = optionalColor(object.value("selectionColor"));
    const auto selectionText = optionalColor(object.value("selectionTextColor"));
    const QString name = object.value("name").toString();
    if (name.isEmpty() || !ansi || !foreground || !background || !cursor || !selection || !selectionText) {
        return std::nullopt;
    }
    return ColorScheme{name, *ansi, *foreground, *background, *cursor, *selection, *selectionText};
}

const std::vector<Field>& fields()
{
    static const std::vector<Field> all{
        {"configurationVersion",
         [](const VitrionSettings& s) { return std::optional(QJsonValue(s.configurationVersion)); },
         [](const QJsonValue& value, VitrionSettings& s) {
             const auto version = wholeNumber(value);
             if (version) {
                 s.configurationVersion = *version;
             }
             return version.has_value();
         }},
        numberField("opacity", &VitrionSettings::opacity),
        numberField("blur", &VitrionSettings::blur),
        numberField("saturation", &VitrionSettings::saturation),
        numberField("tintRed", &VitrionSettings::tintRed),
        numberField("tintGreen", &VitrionSettings::tintGreen),
        numberField("tintBlue", &VitrionSettings::tintBlue),
        numberField("textRed", &VitrionSettings::textRed),
        numberField("textGreen", &VitrionSettings::textGreen),
        numberField("textBlue", &VitrionSettings::textBlue),
        enumerationField("material", &VitrionSettings::material, &glassMaterialFromRawValue),
        plainField("fontName", &VitrionSettings::fontName, &QJsonValue::isString),
        numberField("fontSize", &VitrionSettings::fontSize),
        numberField("lineSpacing", &VitrionSettings::lineSpacing),
        enumerationField("cursorStyle", &VitrionSettings::cursorStyle, &cursorStyleFromRawValue),
        numberField("cornerRadius", &VitrionSettings::cornerRadius),
        numberField("padding", &VitrionSettings::padding),
        plainField("shell", &VitrionSettings::shell, &QJsonValue::isString),
        plainField("closeOnShellExit", &VitrionSettings::closeOnShellExit, &QJsonValue::isBool),
        // Written since programs could set the clipboard; older files keep the default.
        plainField("allowClipboardWrites", &VitrionSettings::allowClipboardWrites, &QJsonValue::isBool),
        // Written since the history gained a limit; older files keep the defaults.
        countField("scrollbackLines", &VitrionSettings::scrollbackLines, 0,
                   VitrionSettings::maximumScrollbackLines),
        plainField("scrollbackUnlimited", &VitrionSettings::scrollbackUnlimited, &QJsonValue::isBool),
        countField("scrollbackMegabytes", &VitrionSettings::scrollbackMegabytes,
                   VitrionSettings::minimumScrollbackMegabytes, VitrionSettings::maximumScrollbackMegabytes),
        // Written since shell integration; older files keep the defaults.
        plainField("shellIntegration", &VitrionSettings::shellIntegration, &QJsonValue::isBool),
        countField("notifyAfterSeconds", &VitrionSettings::notifyAfterSeconds, 0,
                   VitrionSettings::maximumNotifyAfterSeconds),
        // Written since colour schemes; older files keep the defaults (and no minimum contrast).
        formField("ansiColors", &VitrionSettings::ansiColors, &colorList, &colorsFromList),
        formField("cursorColor", &VitrionSettings::cursorColor, &hexValue, &colorFromValue),
        formField("selectionColor", &VitrionSettings::selectionColor, &optionalHex, &optionalColor),
        formField("selectionTextColor", &VitrionSettings::selectionTextColor, &optionalHex, &optionalColor),
        plainField("colorScheme", &VitrionSettings::colorScheme, &QJsonValue::isString),
        plainField("followDesktop", &VitrionSettings::followDesktop, &QJsonValue::isBool),
        plainField("lightScheme", &VitrionSettings::lightScheme, &QJsonValue::isString),
        plainField("darkScheme", &VitrionSettings::darkScheme, &QJsonValue::isString),
        numberField("minimumContrast", &VitrionSettings::minimumContrast),
        {"importedSchemes",
         [](const VitrionSettings& s) {
             QJsonArray list;
             for (const ColorScheme& scheme : s.importedSchemes) {
                 list.append(schemeObject(scheme));
             }
             return std::optional(QJsonValue(list));
         },
         [](const QJsonValue& value, VitrionSettings& s) {
             if (!value.isArray()) {
                 return false;
             }
             // A scheme that does not read whole is left out; the others stay.
             s.importedSchemes.clear();
             for (const QJsonValue& entry : value.toArray()) {
                 if (const auto scheme = schemeFromJson(entry)) {
                     ColorSchemes::keepImported(s, *scheme);
                 }
             }
             return true;
         }},
    };
    return all;
}

QString noJsonForm(const char* key)
{
    return QStringLiteral("the value of \"%1\" is not a finite number").arg(QLatin1String(key));
}

} // namespace

std::optional<QJsonObject> settingsObject(const VitrionSettings& settings, QString* failure)
{
    QJsonObject object;
    for (const Field& field : fields()) {
        const auto value = field.encode(settings);
        if (!value) {
            if (failure) {
                *failure = noJsonForm(field.key);
            }
            return std::nullopt;
        }
        object.insert(QLatin1String(field.key), *value);
    }
    return object;
}

std::optional<QByteArray> encodeSettings(const VitrionSettings& settings, QString* failure)
{
    const auto object = settingsObject(settings, failure);
    return object ? std::optional(settingsBytes(*object)) : std::nullopt;
}

std::optional<QJsonObject> changedMembers(const VitrionSettings& before, const VitrionSettings& after,
                                          QString* failure)
{
    QJsonObject changed;
    for (const Field& field : fields()) {
        const auto now = field.encode(after);
        if (now == field.encode(before)) {
            continue;
        }
        if (!now) {
            if (failure) {
                *failure = noJsonForm(field.key);
            }
            return std::nullopt;
        }
        changed.insert(QLatin1String(field.key), *now);
    }
    return changed;
}

QByteArray settingsBytes(const QJsonObject& object)
{
    // QJsonObject keeps its keys in ascending order; Indented puts one member per line.
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<QJsonObject> parseSettingsObject(const QByteArray& json, QString* failure)
{
    // The file is UTF-8; the parser would quietly replace broken sequences, so they fail here.
    if (!QUtf8StringView(json).isValidUtf8()) {
        if (failure) {
            *failure = QStringLiteral("it is not valid UTF-8");
        }
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        if (failure) {
            *failure = QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset);
        }
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (failure) {
            *failure = QStringLiteral("it holds no JSON object");
        }
        return std::nullopt;
    }
    return document.object();
}

VitrionSettings settingsFromObject(const QJsonObject& object)
{
    VitrionSettings settings;
    for (const Field& field : fields()) {
        const auto found = object.constFind(QLatin1String(field.key));
        if (found != object.constEnd()) {
            field.decode(*found, settings); // a value of another type leaves the default
        }
    }
    // A file from before colour schemes draws its colours exactly as it did.
    if (!object.isEmpty() && !object.contains(QLatin1String("ansiColors")) &&
        !object.contains(QLatin1String("minimumContrast"))) {
        settings.minimumContrast = VitrionSettings::minimumContrastOff;
    }
    return settings;
}

std::optional<VitrionSettings> decodeSettings(const QByteArray& json)
{
    const auto object = parseSettingsObject(json);
    return object ? std::optional(settingsFromObject(*object)) : std::nullopt;
}
