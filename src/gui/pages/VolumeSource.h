#pragma once
// The sector source as the results and advanced options pages read a chosen volume: opened on
// the volume itself for a lettered volume, addressed from the volume's first byte, and the
// volume's length in bytes.

#include <QString>
#include <cstdint>

#include "disk/SourceVolume.h"
#include "disk/VolumeRecord.h"

/// Opens the current source on record's device when a lettered volume was chosen and gives the
/// volume on it and its length (its table entry's or boot sector's, else its size in whole MiB,
/// kept inside the medium). False when no source is open (the pages then ask for a restart).
bool prepareVolumeSource(const VolumeRecord& record, std::int64_t& volumeBytes, SourceVolume& volume);

inline const QString kRestartText = QStringLiteral("Please Restart the program to re begin necessary initialization...");
