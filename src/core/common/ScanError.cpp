#include "common/ScanError.h"

std::string scanErrorText(const ScanError& error) {
    switch (error.kind) {
    case ScanFailure::NoReader:
        return "can not parse unknown volume";
    case ScanFailure::NotThisFormat:
        return "Selected Drive is not in " + error.detail + " Format";
    case ScanFailure::NoStructureFound:
        return error.detail.empty() ? "No File system Entry Found.Process cannot be continued..." : error.detail;
    case ScanFailure::NoSuchStructure:
        return "no " + error.detail;
    case ScanFailure::Aborted:
        return "Scanning process Aborted....";
    case ScanFailure::ModeNotOffered:
    case ScanFailure::Unreadable:
        break;
    }
    return error.detail.empty() ? "the volume could not be read" : error.detail;
}
