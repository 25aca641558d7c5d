#pragma once

#include "tools/printersim/simmodel.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The simulator's state file: JSON with one readable field per value, so a
// newcomer can look at it and edit it by hand.

QJsonObject stateToJson(const SimState& state);
// Takes every usable field; a field that is missing or unusable keeps its
// value in `state` and is named in `problems` (for example "print.density").
void stateFromJson(const QJsonObject& json, SimState& state, QStringList& problems);

enum class StateLoad {
    Loaded,
    Missing, // no file yet: `state` unchanged
    Partial, // some fields kept their defaults; see the message
    Corrupt, // unreadable or not a JSON object: `state` unchanged
};

// `state` holds the defaults on entry; `message` explains Partial and Corrupt.
// A corrupt file is renamed to `path` + ".corrupt", so that hand edits with a
// typo are not lost when the state is next saved.
StateLoad loadStateFile(const QString& path, SimState& state, QString& message);
// Writes a temporary file and renames it over `path`, so a crash never leaves
// half a file behind.
bool saveStateFile(const QString& path, const SimState& state, QString& error);
