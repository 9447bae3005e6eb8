#include <CLI/CLI.hpp>
#include <cstdio>
#include <vector>

#include "Commands.h"
#include "disk/BootSectorProbe.h"
#include "disk/DeviceEnumeration.h"
#include "disk/FileReadSeek.h"

void registerDrivesCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand("drives", "List physical drives, then volumes");
    command->callback([&exitCode] {
        for (const PhysicalDrive& drive : enumeratePhysicalDrives()) {
            FileReadSeek probe;
            const bool opened = probe.open(drive.devicePath);
            const std::string size =
                volumeSizeText(opened ? static_cast<unsigned long long>(probe.byteSize()) : drive.sysfsBytes);
            std::vector<unsigned char> first(1536, 0);
            if (opened)
                probe.readAt(0, first);
            const std::string fileSystem = opened ? boot_sector::describeDisk(ByteView(first.data(), first.size())) : "";
            std::printf("drive\t%d\t%s\t%s\t%s\n", drive.index, drive.displayName().c_str(), fileSystem.c_str(),
                        size.c_str());
        }
        for (const VolumeRecord& volume : enumerateVolumes())
            std::printf("volume\t%s\t%s\t%s\t%s\n", volume.deviceName.c_str(), volume.rootPath.c_str(),
                        volume.fileSystem.c_str(), volumeSizeText(volume).c_str());
        exitCode = 0;
    });
}
