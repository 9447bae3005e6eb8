#pragma once
// The pages after the volume choice, which come with the browser, advanced-options and raw
// recovery work. Each is made in one place, so plugging in the real page is a one-line change.

class WizardPage;
class ParceModeNtfsDlg;

/// Dialog 153 (Advanced mode).
WizardPage* createAdvancedOptionsPage(ParceModeNtfsDlg* modes);
/// Dialog 139 (Standard and Deep modes).
WizardPage* createResultsPage(ParceModeNtfsDlg* modes);
/// Dialog 151: a volume treated as "RAW" (from the volume list, 134), the signature search of the
/// recovery mode page (136), or of a whole drive, volume or image of the first page (130).
WizardPage* createRawRecoveryPage(WizardPage* from, int fromPageNumber);
