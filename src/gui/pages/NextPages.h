#pragma once
// The pages after the volume choice, which come with the browser, advanced-options and raw
// recovery work. Each is made in one place, so plugging in the real page is a one-line change.

class WizardPage;
class ParceModeNtfsDlg;
class PopulateDriveDlg;

/// Dialog 153 (Advanced mode).
WizardPage* createAdvancedOptionsPage(ParceModeNtfsDlg* modes);
/// Dialog 139 (Standard and Deep modes).
WizardPage* createResultsPage(ParceModeNtfsDlg* modes);
/// Dialog 151 (a volume treated as "RAW").
WizardPage* createRawRecoveryPage(PopulateDriveDlg* volumes);
