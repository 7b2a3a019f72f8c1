// The JSON form of VitrionSettings: twenty-one keys, pretty-printed in ascending key order. The
// eighteen that every file has are decoded all-or-nothing; the three scrollback keys, added later,
// may be missing.
#pragma once

#include "VitrionSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The file's bytes for a record, or nothing (with the reason in *failure) when a value has no JSON
// form (a NaN or an infinity).
std::optional<QByteArray> encodeSettings(const VitrionSettings& settings, QString* failure);

// The record held by a file's bytes, or nothing when any of the eighteen keys is missing, null, of
// the wrong type, or an enumeration text outside its table. A scrollback key that is missing or of
// the wrong type takes its default, a number outside its range the nearer end. Keys not in the
// record are ignored.
std::optional<VitrionSettings> decodeSettings(const QByteArray& json);
