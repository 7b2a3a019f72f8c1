// The JSON form of VitrionSettings: thirty-three keys, pretty-printed in ascending key order. A file is
// read key by key: a key holding a value of its type gives that field, any other keeps its default,
// so a hand-edited file missing a key loses nothing else.
#pragma once

#include "VitrionSettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// Every key of the record, or nothing (with the reason in *failure) when a value has no JSON form (a
// NaN or an infinity).
std::optional<QJsonObject> settingsObject(const VitrionSettings& settings, QString* failure);
// The file's bytes for a whole record, or nothing as settingsObject.
std::optional<QByteArray> encodeSettings(const VitrionSettings& settings, QString* failure);
// The members whose values differ between two records, as after holds them; nothing (with the
// reason) when a changed value has no JSON form.
std::optional<QJsonObject> changedMembers(const VitrionSettings& before, const VitrionSettings& after,
                                          QString* failure);
// The bytes of an object, pretty-printed with sorted keys.
QByteArray settingsBytes(const QJsonObject& object);

// The object a file's bytes hold, or nothing (with the parser's reason in *failure) when they are not
// one JSON object in valid UTF-8: such a file cannot be read at all.
std::optional<QJsonObject> parseSettingsObject(const QByteArray& json, QString* failure = nullptr);
// The record an object gives: each key of the record that holds a value of its type (a number, a
// text, a switch, an enumeration text from its table), over the defaults; a scrollback count
// outside its range takes the nearer end. Other keys are ignored.
VitrionSettings settingsFromObject(const QJsonObject& object);
// Both: the record a file's bytes give, or nothing when they cannot be parsed.
std::optional<VitrionSettings> decodeSettings(const QByteArray& json);
