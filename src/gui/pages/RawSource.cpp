#include "pages/RawSource.h"

#include "pages/DriveParsingModes.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"

namespace {
/// The drive the volume list page walked.
std::string drivePathOf(const WizardPage* volumes) {
    const auto* modes = volumes != nullptr ? qobject_cast<const DriveParsingModes*>(volumes->previousPage()) : nullptr;
    return modes != nullptr ? modes->drivePath() : std::string();
}

RawSource fromVolumeList(const PopulateDriveDlg* list) {
    const VolumeRecord* record = list->currentRecord();
    if (record == nullptr)  // no volume chosen (none was found): the whole drive
        return RawSource{drivePathOf(list), 0, {}, true};
    return RawSource{drivePathOf(list), record->startSector, record->sizeBytes, false, record->sectorCount};
}
}  // namespace

RawSource rawSourceFrom(const WizardPage* previous) {
    if (const auto* list = qobject_cast<const PopulateDriveDlg*>(previous))
        return fromVolumeList(list);
    if (const auto* modes = qobject_cast<const ParceModeNtfsDlg*>(previous)) {
        const VolumeRecord& record = modes->recordCopy();
        if (const auto* list = qobject_cast<const PopulateDriveDlg*>(modes->previousPage()))
            return RawSource{drivePathOf(list), record.startSector, record.sizeBytes, false, record.sectorCount};
        // A volume of the first page (a partition, or an image of one) is read on its own.
        return RawSource{record.deviceName, 0, record.sizeBytes, true};
    }
    if (const auto* first = qobject_cast<const Physical_DriveDialog*>(previous)) {
        if (const VolumeRecord* volume = first->selectedVolume())
            return RawSource{volume->deviceName, 0, volume->sizeBytes, true};
        return RawSource{first->selectedDrivePath(), 0, {}, true};
    }
    return {};
}
