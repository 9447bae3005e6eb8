#pragma once
// The wizard's pages by their numbers: a page keeps the number of the page it came from, which
// decides where some pages go next and back.

inline constexpr int kDrivesPageNumber = 130;           // drives, volumes and images to recover from
inline constexpr int kVolumeListPageNumber = 134;       // the volumes found on a drive
inline constexpr int kVolumeInfoPageNumber = 135;       // the chosen volume's particulars
inline constexpr int kRecoveryModePageNumber = 136;     // Standard, Advanced, Deep or the signature search
inline constexpr int kResultsPageNumber = 139;          // the found files of a volume
inline constexpr int kRawRecoveryPageNumber = 151;      // the signature search
inline constexpr int kDriveScanModePageNumber = 152;    // how a drive is searched for volumes
inline constexpr int kAdvancedOptionsPageNumber = 153;  // the lost structures found, to choose from
