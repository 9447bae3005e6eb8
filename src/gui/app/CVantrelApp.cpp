#include "app/CVantrelApp.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cerrno>

#include "disk/FileReadSeek.h"
#include "disk/SourceOpener.h"

#include "app/AdminRights.h"
#include "app/WizardWindow.h"
#include "pages/Physical_DriveDialog.h"

namespace {
/// Forwards the core's messages to the application's message boxes, on the window thread.
class GuiNotifier final : public Notifier {
public:
    void inform(const std::string& text, const std::string& caption) override {
        const QString qText = QString::fromStdString(text), qCaption = QString::fromStdString(caption);
        auto show = [=] { theApp()->message(qText, QMessageBox::Information, nullptr, qCaption); };
        if (QThread::currentThread() == theApp()->thread())
            show();
        else
            QMetaObject::invokeMethod(theApp(), show, Qt::BlockingQueuedConnection);
    }
    bool ask(const std::string& question) override {
        const QString qText = QString::fromStdString(question);
        bool answer = false;
        auto ask = [&] { answer = theApp()->question(qText); };
        if (QThread::currentThread() == theApp()->thread())
            ask();
        else
            QMetaObject::invokeMethod(theApp(), ask, Qt::BlockingQueuedConnection);
        return answer;
    }
};
}  // namespace

/// Keeps the sector source's messages until the page knows why the open failed.
class CollectingNotifier final : public Notifier {
public:
    void inform(const std::string& text, const std::string&) override { texts.push_back(text); }
    bool ask(const std::string&) override { return false; }
    std::vector<std::string> texts;
};

CVantrelApp::CVantrelApp(int& argc, char** argv)
    : QApplication(argc, argv), notifier_(new GuiNotifier), sourceMessages_(new CollectingNotifier) {
    setApplicationVersion(QStringLiteral(PICTORVA_VERSION));
    deviceSource = [] { return Devices{enumeratePhysicalDrives(), enumerateVolumes()}; };
}

void CVantrelApp::replaceSource() {
    currentSource.reset();
    currentSource = std::make_unique<FileReadSeek>(sourceMessages_.get());
}

bool CVantrelApp::openCurrentSource(const std::string& path) {
    // The path's content decides the source: a disk image container is read through its library.
    currentSource = sourceFor(path, sourceMessages_.get());
    sourceMessages_->texts.clear();
    deviceSectorCount = 0;
    if (currentSource->open(path)) {
        deviceSectorCount = currentSource->deviceSectorCount();
        currentSourcePath = path;
        return true;
    }
    const QString reason = QString::fromStdString(currentSource->openFailure());
    QString hint;
    if (currentSource->openError() == EACCES || currentSource->openError() == EPERM)
        hint = QStringLiteral("\nReading a disk needs the rights to open it: run Pictorva as root or "
                              "as a member of the disk group.");
    for (const std::string& text : sourceMessages_->texts)
        message(QString::fromStdString(text) + QStringLiteral("\n\n") + QString::fromStdString(path) +
                QStringLiteral(": ") + reason + hint);
    return false;
}

CVantrelApp::~CVantrelApp() {
    wizard_.reset();
    currentSource.reset();
}

bool CVantrelApp::startUp(bool anotherInstance, const QStringList& images) {
    rootName = "ROOT";
    volumeSelected = 0;
    deviceSectorCount = 0;
    if (anotherInstance) {
        message(QStringLiteral("Another instance of application is already running"));
        return false;
    }
    setApplicationName(QStringLiteral("PictorvaReg.0"));
    setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    wizard_ = std::make_unique<WizardWindow>();
    auto* first = new Physical_DriveDialog;
    formattedDrive = 0;
    searchPattern.clear();
    wizard_->start(first);
    for (const QString& image : images)
        first->addImage(image, Physical_DriveDialog::ImageRole::Guess);
    wizard_->show();
    return true;
}

int CVantrelApp::InitInstance(bool anotherInstance, const QStringList& images) {
    if (!startUp(anotherInstance, images))
        return 1;
    const int result = exec();
    wizard_.reset();
    return result;
}

void CVantrelApp::message(const QString& text, QMessageBox::Icon icon, QWidget* owner, const QString& caption) {
    if (messageHook) {
        messageHook(text, caption, icon);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

bool CVantrelApp::question(const QString& text, QWidget* owner) {
    if (questionHook)
        return questionHook(text);
    return QMessageBox::question(owner, QString::fromLatin1(kApplicationTitle), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool CVantrelApp::openUrl(const QUrl& url) {
    if (urlHook)
        return urlHook(url);
    return QDesktopServices::openUrl(url);
}

void CVantrelApp::openGuide(QWidget* owner) {
    const QUrl guide = guideUrl();
    const QString path = QDir::toNativeSeparators(guide.toLocalFile());
    if (!QFileInfo::exists(path)) {
        message(QStringLiteral("The user guide is missing: it belongs in\n%1").arg(path), QMessageBox::Warning, owner);
        return;
    }
    if (!openUrl(guide))
        message(QStringLiteral("No web browser could be started to show the user guide. Open it in any browser:\n%1")
                    .arg(path),
                QMessageBox::Information, owner);
}

QString CVantrelApp::executableName() const { return QFileInfo(applicationFilePath()).completeBaseName(); }

QUrl CVantrelApp::docsPage(const QString& name) const {
    // Beside the program in the build tree, ../share/doc/pictorva from an installed bin/, else the sources.
    const QDir programFolder(applicationDirPath());
    for (const QString& path : {programFolder.filePath(QStringLiteral("docs/") + name),
                                programFolder.filePath(QStringLiteral("../share/doc/pictorva/") + name)}) {
        if (QFileInfo::exists(path))
            return QUrl::fromLocalFile(QDir::cleanPath(path));
    }
    return QUrl::fromLocalFile(QDir(QStringLiteral(PICTORVA_SOURCE_DOCS)).filePath(name));
}

QUrl CVantrelApp::guideUrl() const { return docsPage(QStringLiteral("user-guide.html")); }
QUrl CVantrelApp::homepageUrl() const { return docsPage(QStringLiteral("index.html")); }
QUrl CVantrelApp::productsUrl() const { return docsPage(QStringLiteral("products.html")); }

bool CVantrelApp::lacksRights(const std::string& devicePath) const {
    return rightsCheck ? rightsCheck(devicePath) : lacksReadRights(devicePath);
}

bool CVantrelApp::restartAsAdministrator(QWidget* owner) {
    const AdminCommand command = administratorCommand(applicationFilePath());
    if (launchHook)
        return launchHook(command.program, command.arguments);
    if (!QProcess::startDetached(command.program, command.arguments)) {
        message(QStringLiteral("Pictorva could not be started as administrator: %1 is not installed.\n\n"
                               "Start it with sudo, or add your user to the disk group.")
                    .arg(command.program),
                QMessageBox::Information, owner);
        return false;
    }
    // The new instance takes its own lock as root; this one ends now that it runs.
    if (wizard_)
        wizard_->endApplication();
    return true;
}
