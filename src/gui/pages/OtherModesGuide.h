#pragma once
// What the results page offers when a scan found no photo, audio or video: Advanced mode (where
// the volume has it and it was not the mode used) and the search by file signatures, each taking
// the user back through the recovery mode page.

#include <optional>

#include "browser/ReaderRegistry.h"

class DeadEndGuide;
class ParceModeNtfsDlg;
class WizardWindow;

/// Shows guide's hint and its "Advanced mode" button when advanced is offered.
void showOtherModes(DeadEndGuide* guide, bool advanced);

/// Goes back to modes and on in Advanced mode (ticking "formatted" where offered: the usual
/// reason for an empty tree), or without mode in the search by file signatures.
void restartFromModes(WizardWindow* wizard, ParceModeNtfsDlg* modes, std::optional<ScanMode> mode);
