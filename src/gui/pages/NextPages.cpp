#include "pages/NextPages.h"

#include "app/PageNumbers.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/VolumeScanDlg.h"
#include "pages/advanceOptions.h"
#include "pages/RawRecoveryDialog.h"

WizardPage* createAdvancedOptionsPage(ParceModeNtfsDlg* modes) { return new advanceOptions(modes); }

WizardPage* createResultsPage(ParceModeNtfsDlg* modes) { return new VolumeScanDlg(modes, kRecoveryModePageNumber); }

WizardPage* createRawRecoveryPage(WizardPage* from, int fromPageNumber) {
    return new RawRecoveryDialog(from, fromPageNumber);
}
