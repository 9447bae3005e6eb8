#include "pages/NextPages.h"

#include "pages/ParceModeNtfsDlg.h"
#include "pages/PendingPage.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/RawRecoveryDialog.h"

WizardPage* createAdvancedOptionsPage(ParceModeNtfsDlg* modes) {
    return new PendingPage(modes, 136, QStringLiteral("Advanced options"));
}

WizardPage* createResultsPage(ParceModeNtfsDlg* modes) {
    return new PendingPage(modes, 136, modes->mode() == 3 ? QStringLiteral("Deep recovery")
                                                          : QStringLiteral("Standard recovery"));
}

WizardPage* createRawRecoveryPage(PopulateDriveDlg* volumes) { return new RawRecoveryDialog(volumes); }
