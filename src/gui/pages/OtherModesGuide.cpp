#include "pages/OtherModesGuide.h"

#include <QCheckBox>
#include <QPushButton>

#include "app/WizardWindow.h"
#include "pages/DeadEndGuide.h"
#include "pages/ParceModeNtfsDlg.h"

void showOtherModes(DeadEndGuide* guide, bool advanced) {
    guide->findChild<QPushButton*>(QStringLiteral("advancedHint"))->setVisible(advanced);
    guide->showHint(advanced ? QStringLiteral("No photo, audio or video file was found in this volume's file system. "
                                              "When the card was formatted or its file system is damaged, Advanced "
                                              "mode searches for the lost structures and shows the files they still "
                                              "name; the search by file signatures finds photos by their contents.")
                             : QStringLiteral("No photo, audio or video file was found with this choice. Go Back to "
                                              "try another structure, or search by file signatures: it finds photos "
                                              "by their contents whatever happened to the file system."));
}

void restartFromModes(WizardWindow* wizard, ParceModeNtfsDlg* modes, std::optional<ScanMode> mode) {
    wizard->popTo(modes);
    if (mode == ScanMode::Advanced) {
        modes->chooseAdvanced();
        if (modes->formattedBox()->isVisibleTo(modes))
            modes->formattedBox()->setChecked(true);
    } else {
        modes->chooseSignatureSearch();
    }
    modes->next();
}
