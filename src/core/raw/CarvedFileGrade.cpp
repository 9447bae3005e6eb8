#include "raw/CarvedFileGrade.h"

#include "raw/VolumeByteSource.h"

std::optional<formats::PictureGrade> gradeCarvedFile(readWriteInterface& source, std::uint64_t volumeBytes, const CarvedFile& file,
                                                     std::string_view type) {
    if (!formats::isPictureExtension(type))
        return std::nullopt;
    VolumeByteSource bytes(source, volumeBytes);
    bytes.setCandidateRuns(file.runs);
    return formats::gradePicture(bytes, file.length());
}
