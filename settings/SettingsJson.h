// The JSON form of VitrionSettings: eighteen keys, pretty-printed in ascending key order, decoded
// all-or-nothing.
#pragma once

#include "VitrionSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The file's bytes for a record, or nothing (with the reason in *failure) when a value has no JSON
// form (a NaN or an infinity).
std::optional<QByteArray> encodeSettings(const VitrionSettings& settings, QString* failure);

// The record held by a file's bytes, or nothing when any of the eighteen keys is missing, null, of
// the wrong type, or an enumeration text outside its table. Keys not in the record are ignored.
std::optional<VitrionSettings> decodeSettings(const QByteArray& json);
