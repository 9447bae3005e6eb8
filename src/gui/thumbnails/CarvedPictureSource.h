#pragma once
// The bytes of carved files for the thumbnail loader: each file's runs on the volume, read
// through a cursor of the loader's own on the shared medium, beside the carving worker's and the
// page's preview and Save.

#include <QByteArray>
#include <QHash>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "raw/CarvedFile.h"

class PositionedSource;
class readWriteInterface;

class CarvedPictureSource {
public:
    /// The volume of medium from firstByte on, volumeBytes long.
    CarvedPictureSource(std::shared_ptr<PositionedSource> medium, std::int64_t firstByte, std::uint64_t volumeBytes);
    ~CarvedPictureSource();

    /// Makes key stand for the carved file of runs (window thread).
    void add(quint64 key, std::vector<CarvedRun> runs);
    /// At most limit leading bytes of key's file, cut at the volume's end (loader thread). Empty
    /// when key is unknown or the medium cannot be read there.
    std::optional<QByteArray> read(quint64 key, qint64 limit);

private:
    const std::shared_ptr<PositionedSource> medium_;
    const std::int64_t firstByte_;
    const std::uint64_t volumeBytes_;
    std::mutex mutex_;
    QHash<quint64, std::vector<CarvedRun>> runs_;
    std::unique_ptr<readWriteInterface> source_;  // made on first use, on the loader's thread
};
