#pragma once
// One MFT record slot as the reader keeps it: its place on the volume, what its $FILE_NAME said,
// and the index links that make the folder tree (0 means "none" for firstChild and nextSibling).

#include <array>
#include <cstdint>
#include <string>

struct NtfsEntry {
    // Largest fields first: a volume of a million files holds a million of these.
    std::string name;                 ///< UTF-8 file name; meaningful only when named
    std::uint64_t recordOffset = 0;   ///< byte offset of the record from the volume's first byte
    std::uint64_t parentIndex = 0;    ///< parent's entry index (signed in spirit: the 48-bit reference sign-extended)
    std::uint64_t size = 0;           ///< allocated size from $FILE_NAME
    std::uint64_t selfIndex = 0;
    std::uint64_t firstChild = 0;
    std::uint64_t nextSibling = 0;    ///< 0 or all ones end a chain

    // Taken from the record while it is in memory, so the list texts need no second read.
    std::uint64_t creationTime = 0;   ///< $STANDARD_INFORMATION file times (100 ns since 1601, UTC)
    std::uint64_t modificationTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t dataSize = 0;       ///< real size of the unnamed $DATA held in this record
    std::uint64_t baseRecord = 0;     ///< non-zero in an extension record: the record number of its base
    std::array<char, 4> signature{};  ///< the record's first four bytes ("FILE" for a valid record)
    std::uint16_t recordFlags = 0;    ///< bit 0 in use (clear = deleted), bit 1 directory
    std::uint16_t fileAttributes = 0; ///< $FILE_NAME flags, low 16 bits
    char kind = 0;                    ///< 'D' for a directory
    std::uint8_t orphaned = 0;        ///< parent not linkable: hung under ORPHAN_ENTRY
    bool named = false;               ///< a $FILE_NAME gave a name (possibly empty)
    std::uint8_t nameSpace = 0;       ///< namespace of the name kept
    bool dataInRecord = false;        ///< this record holds the start of the unnamed $DATA
    bool hasAttributeListAttr = false;

    bool isFileRecord() const { return signature == std::array<char, 4>{'F', 'I', 'L', 'E'}; }
};
