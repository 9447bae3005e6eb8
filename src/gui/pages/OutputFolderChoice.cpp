#include "pages/OutputFolderChoice.h"

#include <QFileDialog>

#include "app/CVantrelApp.h"

bool OutputFolderChoice::choose(const std::function<QString(QWidget*)>& ask) {
    CVantrelApp& app = *theApp();
    path_ = ask ? ask(parent_) : QFileDialog::getExistingDirectory(parent_, QStringLiteral("Please choose a folder."));
    if (path_.isEmpty()) {
        app.message(QStringLiteral("select output folder"), QMessageBox::Information, parent_, QString());
        return false;
    }
    // Refused where it is chosen, before any question about the save; opening refuses it again.
    const std::string refusal = OutputFolder::refusal(path_.toStdString(), app.currentSourcePath);
    if (!refusal.empty()) {
        app.message(QString::fromStdString(refusal), QMessageBox::Warning, parent_);
        path_.clear();
        return false;
    }
    return true;
}

OutputFolder OutputFolderChoice::open() const {
    std::string error;
    OutputFolder folder = OutputFolder::open(path_.toStdString(), theApp()->currentSourcePath, error);
    if (!folder.isOpen())
        theApp()->message(QString::fromStdString(error), QMessageBox::Warning, parent_);
    return folder;
}
