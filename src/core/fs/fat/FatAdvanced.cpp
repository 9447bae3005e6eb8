#include "fs/fat/FatAdvanced.h"

#include "browser/ReaderRegistry.h"

bool runFat16Advanced(Fat16Class&, const AdvancedChoice&, ProgressSink&, std::string& error) {
    error = "the advanced mode is not available for FAT12/16 volumes yet";
    return false;
}
bool runFat32Advanced(Fat32Class&, const AdvancedChoice&, ProgressSink&, std::string& error) {
    error = "the advanced mode is not available for FAT32 volumes yet";
    return false;
}
