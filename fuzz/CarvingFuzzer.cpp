// Arbitrary bytes as a signature settings file followed by a volume: the loader must refuse or
// load, and the engine must carve every loaded signature over the volume without reading
// outside its buffers, also when the volume size claims more than the source holds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/Notifier.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "raw/MemoryTree.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    // Byte 0: records in the settings part (whole records keep most inputs past the length check);
    // byte 1: how far the volume size overstates the source, in MiB.
    const std::size_t fileBytes = std::min<std::size_t>(size - 2, std::size_t{data[0]} * signature_layout::kRecordSize);
    const ByteView file(data + 2, fileBytes);
    SilentNotifier quiet;
    myJpg engine;
    for (const auto role : {SignatureFileRole::Default, SignatureFileRole::User})
        if (const auto records = signatureRecordsFromBytes(file, role, quiet))
            appendSignatureRecords(*records, engine, quiet);
    if (engine.signatureCount() == 0)
        return 0;
    MemoryReadSeek source(std::vector<unsigned char>(data + 2 + fileBytes, data + size));
    readWriteInterface cursor{SourceVolume(source)};
    MemoryTree tree;
    engine.sectorSource = &cursor;
    engine.treeControl = &tree;
    engine.notifier = &quiet;
    engine.volumeByteCount = source.byteSize() + static_cast<std::int64_t>(data[1] % 4) * 1048576;
    engine.runCarving();
    for (const CarvedFile& f : engine.carvedFiles())
        (void)engine.carvedFileName(f);
    return 0;
}
