// The ntfs reader on small volumes built in code, including the layouts Windows writes and
// mkntfs does not, and hostile bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "RecordingSinks.h"
#include "disk/MemoryReadSeek.h"
#include "fs/ntfs/Lznt1.h"
#include "fs/ntfs/ntfs.h"
#include "ntfs/NtfsVolumeBuilder.h"
#include "output/OutputFile.h"

using namespace ntfs_bytes;
namespace fs = std::filesystem;

namespace {
/// A reader over bytes, walked as the Standard (or Deep) mode walks it.
struct Walked {
    explicit Walked(Bytes bytes, std::uint32_t mode = 1) : source(std::move(bytes)) {
        reader = std::make_unique<ntfs>(ReaderInput{source, {}, source.byteSize(), progress, notifier});
        reader->readBootSector();
        reader->scanMode = mode;
        if (mode == 3)
            reader->deepScan();
        else
            reader->locateMft();
        reader->buildEntryList();
        reader->parseEntries();
    }
    const NtfsEntry& entry(std::uint64_t i) const { return reader->entryList.at(i); }
    std::uint64_t find(const std::string& name) const {
        for (const NtfsEntry& e : reader->entryList)
            if (e.named && e.name == name)
                return e.selfIndex;
        return ~std::uint64_t{0};
    }
    std::vector<std::string> childNames(std::uint64_t folder) const {
        std::vector<std::string> names;
        const auto& list = reader->entryList;
        for (std::uint64_t c = list.at(folder).firstChild; c != 0 && c < list.size() && names.size() < list.size();
             c = list[c].nextSibling)
            names.push_back(list[c].name);
        return names;
    }
    /// The entry's content as saved, or "<failed>".
    std::string saved(std::uint64_t index) {
        MemoryOutput saved;
        OutputFile file = saved.file();
        if (!reader->writeEntry(index, file))
            return "<failed>";
        return saved.bytes(std::size_t{64} << 20);
    }
    MemoryReadSeek source;
    RecordingProgress progress;
    RecordingNotifier notifier;
    std::unique_ptr<ntfs> reader;
};

Bytes pattern(std::size_t size, unsigned seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<unsigned char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return out;
}
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

constexpr std::uint32_t kCluster = 4096;
}  // namespace

TEST(NtfsRunList, DecodesPairsAsTheVolumeStoresThem) {
    struct Case {
        const char* what;
        Bytes runs;
        std::uint64_t lastVcn;
        std::vector<RunPair> expected;
    };
    const std::vector<Case> cases{
        {"one run", {0x21, 0x04, 0x10, 0x00, 0x00}, 3, {{16, 4, false}}},
        {"3-byte negative delta", {0x31, 0x02, 0x00, 0x00, 0x10, 0x31, 0x02, 0x00, 0x00, 0xF0, 0x00}, 3,
         {{0x100000, 2, false}, {0x100000 - 0x100000, 2, true}}},
        {"hole keeps the running cluster", {0x11, 0x02, 0x20, 0x01, 0x03, 0x11, 0x01, 0x01, 0x00}, 5,
         {{0x20, 2, false}, {0, 3, true}, {0x21, 1, false}}},
        {"runs past the VCN span are dropped", {0x11, 0x02, 0x20, 0x11, 0x05, 0x10, 0x00}, 3, {{0x20, 2, false}}},
        {"header 0 ends", {0x00, 0x11, 0x02, 0x20}, 3, {}},
        {"offset size 9 ends", {0x91, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 3, {}},
    };
    for (const Case& c : cases) {
        Volume volume(kCluster, 2048, 4);
        volume.withSystemRecords().put(Record(20).fileName(5, "f").nonResidentData(c.runs, 0, c.lastVcn, 4096));
        Walked w(volume.bytes());
        w.reader->volumeSize = std::uint64_t{1} << 40;  // room for the large cluster numbers
        EXPECT_EQ(w.reader->readRunList(4 * kCluster + 20 * 1024, 0x80), c.expected) << c.what;
    }
}

TEST(NtfsRunList, ClusterNumbersBeyondTwoToTheThirtyOneStayExact) {
    // 8 TiB and more with 4 KiB clusters: a 5-byte cluster number.
    const std::int64_t far = (std::int64_t{1} << 33) + 5;
    Volume volume(kCluster, 2048, 4);
    volume.withSystemRecords().put(Record(20).fileName(5, "f").nonResidentData(encodeRuns({{far, 3}}), 0, 2, 4096));
    Walked w(volume.bytes());
    w.reader->volumeSize = std::uint64_t{1} << 50;
    EXPECT_EQ(w.reader->readRunList(4 * kCluster + 20 * 1024, 0x80), (std::vector<RunPair>{{far, 3, false}}));
    // On the real (small) volume the same run lies outside and is never read: it is a hole.
    w.reader->volumeSize = 2048 * kCluster;
    EXPECT_EQ(w.reader->readRunList(4 * kCluster + 20 * 1024, 0x80), (std::vector<RunPair>{{0, 3, true}}));
}

TEST(NtfsFixup, PutsTheSectorEndsBack) {
    Record record(9);
    record.fileName(5, std::string(300, 'x'));  // long enough to cross the first sector end
    const Bytes stored = record.bytes();
    ASSERT_EQ(stored[510], 0x01);
    Bytes fixed(1024);
    ntfs::applyFixup(fixed.data(), ByteView(stored.data(), stored.size()), 1024);
    EXPECT_EQ(fixed[510], stored[0x32]);
    EXPECT_EQ(fixed[511], stored[0x33]);
    EXPECT_EQ(fixed[1022], stored[0x34]);
    // A count that claims more sectors than the record has stops at the record's end.
    Bytes lying = stored;
    putLe(lying, 0x06, 0xFFFF, 2);
    ntfs::applyFixup(fixed.data(), ByteView(lying.data(), lying.size()), 1024);
    EXPECT_EQ(fixed[510], stored[0x32]);
}

TEST(NtfsRecords, LinksTheSystemFilesAndOrphansAsTheWalkMakesThem) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(8, 3).fileName(5, "DCIM", 1, true))
        .put(Record(10).fileName(8, "a.jpg"))
        .put(Record(12).fileName(8, "b.jpg"))
        .put(Record(14).fileName(6, "under-a-file.jpg"))  // parent 6 is a file
        .put(Record(16).fileName(9999, "far.jpg"))         // parent past the MFT
        .put(Record(18).fileName(30, "later-file-parent.jpg"))
        .put(Record(30).fileName(5, "plain.txt"));
    Walked w(volume.bytes());
    const ntfs& r = *w.reader;
    EXPECT_EQ(r.rootIndex, 5u);
    EXPECT_EQ(r.orphanIndex, 32u);
    // Record 0 would set firstChild to 0 ("none"): record 1 comes first, ORPHAN_ENTRY last.
    EXPECT_EQ(w.childNames(5), (std::vector<std::string>{"$MFTMirr", "$LogFile", "$Volume", "$AttrDef", "$Bitmap", "$Boot",
                                                          "DCIM", "plain.txt", "ORPHAN_ENTRY"}));
    EXPECT_EQ(w.childNames(8), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    // Orphans in reverse index order; the first one met ends the chain with all ones.
    EXPECT_EQ(w.childNames(r.orphanIndex),
              (std::vector<std::string>{"later-file-parent.jpg", "far.jpg", "under-a-file.jpg"}));
    EXPECT_EQ(w.entry(w.find("under-a-file.jpg")).nextSibling, ~std::uint64_t{0});
    EXPECT_EQ(w.entry(5).firstChild, 1u);  // the root is never its own child
}

TEST(NtfsRecords, AShortNameNeverReplacesTheLongNameInEitherOrder) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(10).fileName(5, "IMG_20240101_LONG.jpeg", 1).fileName(5, "IMG_20~1.JPE", 2))
        .put(Record(11).fileName(5, "IMG_20~2.JPE", 2).fileName(5, "Holiday picture.jpeg", 1))
        .put(Record(12).fileName(5, "posix name.png", 0).fileName(5, "POSIXN~1.PNG", 2))
        .put(Record(13).fileName(5, "ONLYDOS.TXT", 2))
        .put(Record(14).fileName(5, "both.jpg", 3));
    Walked w(volume.bytes());
    EXPECT_EQ(w.entry(10).name, "IMG_20240101_LONG.jpeg");
    EXPECT_EQ(w.entry(11).name, "Holiday picture.jpeg");
    EXPECT_EQ(w.entry(12).name, "posix name.png");
    EXPECT_EQ(w.entry(13).name, "ONLYDOS.TXT");
    EXPECT_EQ(w.entry(14).name, "both.jpg");
    // Each is linked once under the root.
    const auto names = w.childNames(5);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Holiday picture.jpeg"), 1);
}

TEST(NtfsRecords, AHardLinkKeepsTheNameThatGoesWithItsParent) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(8, 3).fileName(5, "A", 1, true))
        .put(Record(9, 3).fileName(5, "B", 1, true))
        .put(Record(10).fileName(8, "in-a.jpg").fileName(9, "in-b.jpg"));
    Walked w(volume.bytes());
    EXPECT_EQ(w.childNames(8), std::vector<std::string>{"in-a.jpg"});
}

TEST(NtfsRecords, HostileAttributesAndLoopingParentsEndCleanly) {
    Bytes zeroLength(0x18, 0);
    putLe(zeroLength, 0, 0x30, 4);  // length stays 0
    Bytes pastTheRecord(0x18, 0);
    putLe(pastTheRecord, 0, 0x30, 4);
    putLe(pastTheRecord, 4, 0x2000, 4);
    Bytes valuePastAttribute(0x20, 0);
    putLe(valuePastAttribute, 0, 0x30, 4);
    putLe(valuePastAttribute, 4, 0x20, 4);
    putLe(valuePastAttribute, 0x10, 0x400, 4);
    putLe(valuePastAttribute, 0x14, 0x18, 2);
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(10).appendUnpadded(zeroLength))
        .put(Record(11).appendUnpadded(pastTheRecord))
        .put(Record(12).appendUnpadded(valuePastAttribute))
        .put(Record(20, 3).fileName(21, "loop-a", 1, true))
        .put(Record(21, 3).fileName(20, "loop-b", 1, true))
        .put(Record(22, 3).fileName(22, "self", 1, true));
    Walked w(volume.bytes());
    for (std::uint64_t i : {10u, 11u, 12u})
        EXPECT_FALSE(w.entry(i).named) << i;
    // The loop does not hang anything below itself: each chain ends.
    EXPECT_LE(w.childNames(20).size(), 1u);
    EXPECT_LE(w.childNames(21).size(), 1u);
    EXPECT_EQ(w.entry(22).firstChild, 0u);
}

TEST(NtfsRecords, AnMftWithoutDataGivesOnlyOrphanEntry) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords().put(Record(0).fileName(5, "$MFT"));
    Walked w(volume.bytes());
    EXPECT_TRUE(w.reader->mftRunList.empty());
    ASSERT_EQ(w.reader->entryList.size(), 1u);
    EXPECT_EQ(w.reader->entryList[0].name, "ORPHAN_ENTRY");
}

TEST(NtfsRecords, SlotsAreBoundedByTheMftsRealSize) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords().put(Record(0).fileName(5, "$MFT").nonResidentData(
        encodeRuns({{4, 0x7FFFFFFF}}), 0, 0x7FFFFFFE, 16 * 1024));  // runs claim 8 TiB
    Walked w(volume.bytes());
    EXPECT_EQ(w.reader->entryList.size(), 16u + 1);
}

TEST(NtfsContent, SavesResidentPlainSparseAndWindowsLayouts) {
    const Bytes plain = pattern(5000, 1);
    const Bytes listedHead = pattern(2 * kCluster, 2);
    const Bytes listedTail = pattern(kCluster + 100, 3);
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(10).standardInformation(132000000000000000ull, 133000000000000000ull, 133100000000000000ull)
                 .fileName(5, "ten.txt")
                 .residentData("0123456789")
                 .residentData("[ZoneTransfer]", "Zone.Identifier"))
        .put(Record(11).fileName(5, "plain.bin").nonResidentData(encodeRuns({{100, 2}}), 0, 1, plain.size()))
        .put(Record(12).fileName(5, "sparse.bin").nonResidentData(encodeRuns({{102, 1}, {-1, 2}, {103, 1}}), 0, 3,
                                                                      4 * kCluster, 0))
        // $DATA in two extension records named by the base record's $ATTRIBUTE_LIST.
        .put(Record(13).fileName(5, "listed.jpg").attributeList({{0x30, 0, 13}, {0x80, 0, 14}, {0x80, 2, 15}}))
        .put(Record(14).baseRecord(13).nonResidentData(encodeRuns({{110, 2}}), 0, 1, listedHead.size() + listedTail.size()))
        .put(Record(15).baseRecord(13).nonResidentData(encodeRuns({{120, 2}}), 2, 3, 0))
        .put(Record(16).fileName(5, "empty.txt"))
        .data(100, plain)
        .data(102, Bytes(kCluster, 'a'))
        .data(103, Bytes(kCluster, 'd'))
        .data(110, listedHead)
        .data(120, listedTail);
    Walked w(volume.bytes());
    EXPECT_EQ(w.saved(10), "0123456789");
    EXPECT_EQ(w.reader->realDataSize(10), 10u);
    EXPECT_EQ(w.saved(11), text(plain));
    EXPECT_EQ(w.saved(12), std::string(kCluster, 'a') + std::string(2 * kCluster, '\0') + std::string(kCluster, 'd'));
    EXPECT_EQ(w.saved(13), text(listedHead) + text(listedTail));
    EXPECT_EQ(w.reader->realDataSize(13), listedHead.size() + listedTail.size());
    EXPECT_EQ(w.saved(16), "");
    // hasData starts clear for every save: a directory after a file is no "directory with data".
    EXPECT_EQ(w.saved(5), "");
    EXPECT_TRUE(w.notifier.messages.empty());
    EXPECT_EQ(w.reader->details(w.entry(10)).attributes, "-A");
}

TEST(NtfsContent, ClustersOf512BytesAnd64KiB) {
    for (std::uint32_t cluster : {512u, 65536u}) {
        const Bytes content = pattern(3 * cluster + 17, cluster);
        const std::uint64_t mftCluster = cluster == 512 ? 64 : 2;
        Volume volume(cluster, cluster == 512 ? 1024 : 16, mftCluster);
        volume.withSystemRecords()
            .put(Record(10).fileName(5, "photo.jpg").nonResidentData(encodeRuns({{cluster == 512 ? 200 : 8, 4}}), 0, 3,
                                                                      content.size()))
            .data(cluster == 512 ? 200 : 8, content);
        Walked w(volume.bytes());
        EXPECT_EQ(w.reader->clusterSize, cluster);
        ASSERT_EQ(w.find("photo.jpg"), 10u) << cluster;
        EXPECT_EQ(w.saved(10), text(content)) << cluster;
    }
}

TEST(NtfsContent, CompressedUnitsStoredCompressedRawAndSparse) {
    // Unit 0: LZNT1 (a chunk of 4096 'x' as one literal and back-references), unit 1 stored
    // raw (all 16 clusters allocated), unit 2 all sparse.
    Bytes chunk{0x00, 0x00, 0x02, 'x'};  // flags: literal then a reference
    // token: displacement 1, length up to the chunk end (4 bits length at position 1... use the widest split)
    const std::uint16_t token = (0 << 12) | (4095 - 3);
    chunk.push_back(token & 0xFF);
    chunk.push_back(token >> 8);
    putLe(chunk, 0, 0xB000 | (chunk.size() - 3), 2);
    const std::uint32_t cluster = 512;
    const std::uint64_t unit = 16 * cluster;
    const Bytes raw = pattern(unit, 9);
    Volume volume(cluster, 2048, 64);
    volume.withSystemRecords()
        .put(Record(10).fileName(5, "c.txt").nonResidentData(
            encodeRuns({{300, 1}, {-1, 15}, {400, 16}, {-1, 16}}), 0, 47, 3 * unit - 100, 0x0001, 4))
        .data(300, chunk)
        .data(400, raw);
    Walked w(volume.bytes());
    const std::string saved = w.saved(10);
    ASSERT_EQ(saved.size(), 3 * unit - 100);
    EXPECT_EQ(saved.substr(0, 4096), std::string(4096, 'x'));
    EXPECT_EQ(saved.substr(4096, unit - 4096), std::string(unit - 4096, '\0'));
    EXPECT_EQ(saved.substr(unit, unit), text(raw));
    EXPECT_EQ(saved.substr(2 * unit), std::string(unit - 100, '\0'));
}

TEST(NtfsLznt1, LyingStreamsStayInsideTheirBounds) {
    std::vector<std::uint8_t> out(64, 0xEE);
    struct Case {
        const char* what;
        Bytes input;
        std::size_t capacity;
        std::size_t produced;
        bool failed;
    };
    const std::vector<Case> cases{
        {"stored chunk", {0x02, 0x30, 'a', 'b', 'c'}, 64, 3, false},
        {"chunk past the input", {0xFF, 0xBF, 'a'}, 64, 0, true},
        {"reference before the start", {0x02, 0xB0, 0x01, 0x00, 0x00}, 64, 0, true},
        {"reference cut at capacity", {0x03, 0xB0, 0x02, 'z', 0xFF, 0x0F}, 10, 10, true},
        {"literal at capacity", {0x02, 0xB0, 0x00, 'a', 'b'}, 1, 1, false},
        {"header 0 ends", {0x00, 0x00, 0x02, 0x30, 'a'}, 64, 0, false},
    };
    for (const Case& c : cases) {
        const Lznt1Result r = lznt1Decompress(ByteView(c.input.data(), c.input.size()), out.data(), c.capacity);
        EXPECT_EQ(r.produced, c.produced) << c.what;
        EXPECT_EQ(r.failed, c.failed) << c.what;
    }
}

TEST(NtfsDeep, FilesBeforeTheFirstFolderStayUnderOrphanEntry) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords()
        .put(Record(8).fileName(5, "early.jpg"))
        .put(Record(9, 3).fileName(5, "DCIM", 1, true))
        .put(Record(10).fileName(9, "a.jpg"))
        .put(Record(11, 3).fileName(9, "100", 1, true))
        .put(Record(12).fileName(11, "b.jpg"));
    Bytes bytes = volume.bytes();
    std::fill(bytes.begin(), bytes.begin() + 512, 0);  // no boot sector
    Walked w(bytes, 3);
    const ntfs& r = *w.reader;
    const auto top = w.childNames(r.orphanIndex);
    // Head insertion: the latest folder first; the files met before any folder stay reachable.
    EXPECT_EQ(top.front(), "100");
    EXPECT_NE(std::find(top.begin(), top.end(), "early.jpg"), top.end());
    EXPECT_NE(std::find(top.begin(), top.end(), "$MFT"), top.end()) << ::testing::PrintToString(top);
    EXPECT_EQ(w.childNames(w.find("DCIM")), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(w.childNames(w.find("100")), std::vector<std::string>{"b.jpg"});
}

TEST(NtfsFinder, ReportsEveryMftStartInVolumeOrderUpToTheMaximum) {
    Volume volume(kCluster, 512, 4);
    volume.withSystemRecords();
    Bytes bytes = volume.bytes();
    // A second complete copy of the first records further on.
    std::copy(bytes.begin() + 4 * kCluster, bytes.begin() + 4 * kCluster + 8 * 1024, bytes.begin() + 300 * kCluster);
    for (std::uint64_t max : {3u, 1u}) {
        MemoryReadSeek source(bytes);
        RecordingProgress progress;
        SilentNotifier notifier;
        ntfs reader(ReaderInput{source, {}, source.byteSize(), progress, notifier});
        reader.readBootSector();
        EXPECT_EQ(reader.findMftRecords(max), max == 3 ? 2u : 1u);
        EXPECT_EQ(reader.foundMftRecords[0].recordOffset, 4 * kCluster);
        if (max == 3) {
            EXPECT_EQ(reader.foundMftRecords[1].recordOffset, 300 * kCluster);
        }
        EXPECT_TRUE(reader.selectFoundMft(0));
        EXPECT_FALSE(reader.searchMftWhileScanning);
    }
}

TEST(NtfsStop, DeepScanKeepsTheFlagTheFinderClearsIt) {
    Volume volume(kCluster, 256, 4);
    volume.withSystemRecords();
    MemoryReadSeek source(volume.bytes());
    RecordingProgress progress;
    SilentNotifier notifier;
    ntfs reader(ReaderInput{source, {}, source.byteSize(), progress, notifier});
    reader.readBootSector();
    reader.stopFlag.set();
    reader.scanMode = 3;
    EXPECT_FALSE(reader.deepScan());
    EXPECT_TRUE(reader.stopFlag.isSet());
    reader.parseEntries();  // the ORPHAN_ENTRY step still runs
    EXPECT_EQ(reader.entryList.back().name, "ORPHAN_ENTRY");
    EXPECT_EQ(reader.findMftRecords(3), 0u);
    EXPECT_FALSE(reader.stopFlag.isSet());
}
