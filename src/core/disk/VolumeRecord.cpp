#include "disk/VolumeRecord.h"

#include "common/TextFormat.h"

std::string volumeSizeText(const VolumeRecord& record) {
    const auto megabytes = static_cast<long long>(record.sizeBytes >> 20);
    switch (record.sizeForm) {
    case VolumeSizeForm::MegabytesWide: return formatText("%lld   MB", megabytes);
    case VolumeSizeForm::MegabytesNarrow: return formatText("%lld  MB", megabytes);
    case VolumeSizeForm::Megabytes: return formatText("%lld", megabytes);
    }
    return {};
}
