#include "raw/CarvedFileSaver.h"

#include <cerrno>
#include <cstring>

#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "output/ReportRecord.h"

ReportRecord carvedFileRecord(const CarvedFile& file, std::uint64_t volumeOffset, std::uint64_t volumeBytes) {
    ReportRecord record;
    record.carved = true;
    std::uint64_t fileOffset = 0;
    for (const CarvedRun& run : runsWithinVolume(file.runs, volumeBytes)) {
        record.runs.push_back({fileOffset, volumeOffset + run.start, run.length});
        fileOffset += run.length;
    }
    record.mtime = file.when ? file.when->localTime() : std::nullopt;
    return record;
}

bool CarvedFileSaver::save(readWriteInterface& source, const CarvedFile& file, std::uint64_t volumeBytes,
                           const std::string& category, const std::string& name, std::string& writtenPath,
                           std::string& error) {
    lastSavePartial_ = false;
    const std::vector<CarvedRun> runs = runsWithinVolume(file.runs, volumeBytes);
    if (runsLength(runs) == 0) {
        error = name + ": length 0, nothing to write";
        return false;
    }
    auto made = categories_.find(category);
    if (made == categories_.end() || !made->second.isOpen())
        made = categories_.insert_or_assign(category, outFolder_.subfolder(category, error)).first;
    const OutputFolder& folder = made->second;
    if (!folder.isOpen())
        return false;
    OutputFile out = folder.createFile(name, error);
    if (!out.isOpen())
        return false;
    writtenPath = out.path();
    const std::int64_t zerosBefore = source.zeroFilledBytes();
    constexpr std::uint32_t kPiece = myJpg::kChunkSize;
    buffer_.reserve(kPiece);
    // Read straight into the one page-aligned buffer: only the file's own bytes, not a read-ahead
    // window around each file.
    bool ok = forEachRunPiece(runs, kPiece, [&](std::uint64_t at, std::uint32_t piece) {
        if (!source.seekTo(static_cast<std::int64_t>(at)) ||
            (!source.read(buffer_.data(), piece) && source.lastReadCount() == 0)) {
            error = formatText("%s: read failed at byte %llu of the volume", writtenPath.c_str(),
                               static_cast<unsigned long long>(at));
            return false;
        }
        // A short read has zero-filled the rest: the file keeps its length and its place.
        if (!out.write(buffer_.data(), piece)) {
            error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
            return false;
        }
        return true;
    });
    lastSavePartial_ = source.zeroFilledBytes() != zerosBefore;
    const std::optional<std::time_t> taken = file.when ? file.when->localTime() : std::nullopt;
    if (!out.finish(std::nullopt, OutputFile::seconds(taken)) && ok) {
        error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
        ok = false;
    }
    return ok;
}
