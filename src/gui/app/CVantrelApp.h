#pragma once
// The application object: Qt's application plus the process-wide state every page and reader
// reaches (ApplicationState). It runs start-up, owns the wizard window, and is the one place
// message boxes, questions and web pages go through, so tests can answer them.

#include <QApplication>
#include <QMessageBox>
#include <QUrl>
#include <functional>
#include <memory>

#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "disk/DeviceEnumeration.h"

class WizardWindow;

class CVantrelApp : public QApplication, public ApplicationState {
    Q_OBJECT
public:
    CVantrelApp(int& argc, char** argv);
    ~CVantrelApp() override;

    static CVantrelApp* instance() { return static_cast<CVantrelApp*>(QCoreApplication::instance()); }

    /// Start-up up to the first page: state reset, the second-instance refusal (false: the
    /// application ends), the settings name, the wizard window with the drive selection page.
    /// images are disk images given on the command line, added to the first page.
    bool startUp(bool anotherInstance, const QStringList& images = {});
    /// startUp, then the event loop until the end of the application.
    int InitInstance(bool anotherInstance, const QStringList& images);

    WizardWindow* wizard() const { return wizard_.get(); }

    /// A message box with caption "Pictorva" (or caption) and the given icon.
    void message(const QString& text, QMessageBox::Icon icon = QMessageBox::Information, QWidget* owner = nullptr,
                 const QString& caption = QString::fromLatin1(kApplicationTitle));
    /// A Yes/No question with the question icon; true for Yes.
    bool question(const QString& text, QWidget* owner = nullptr);
    /// Opens a web page (the user guide, the product pages) in the browser; false when no
    /// browser could be started.
    bool openUrl(const QUrl& url);
    /// Help: the user guide in the browser, or, when none can show it, where the guide is.
    void openGuide(QWidget* owner = nullptr);
    /// The executable's name, the caption of a few messages.
    QString executableName() const;

    QUrl guideUrl() const;     ///< "Help"
    QUrl homepageUrl() const;  ///< "Software Homepage", and the page shown after Close
    QUrl productsUrl() const;  ///< "Explore more data recovery products"

    /// Destroys the current sector source and puts a fresh, unopened one in its place.
    void replaceSource();
    /// Opens the current sector source with path (the device sector count follows). On failure
    /// the source's "Invalid handle ..." is shown with the operating system's reason.
    bool openCurrentSource(const std::string& path);
    /// The path the current sector source was last opened with.
    std::string currentSourcePath;

    /// The core's message boxes (the sector source's "Invalid handle ...") as this app shows them;
    /// safe to call from a worker thread.
    Notifier& notifier() { return *notifier_; }

    // Tests answer message boxes and questions and catch web pages through these.
    std::function<void(const QString& text, const QString& caption, QMessageBox::Icon)> messageHook;
    std::function<bool(const QString& question)> questionHook;
    std::function<bool(const QUrl&)> urlHook;  ///< returns whether a browser "opened" the page

    /// The drives and volumes the first page lists; the system's unless a test sets its own.
    struct Devices {
        std::vector<PhysicalDrive> drives;
        std::vector<VolumeRecord> volumes;
    };
    std::function<Devices()> deviceSource;

    /// Whether this user lacks the rights to read a drive or volume (lacksReadRights unless a test
    /// sets its own).
    std::function<bool(const std::string& devicePath)> rightsCheck;
    bool lacksRights(const std::string& devicePath) const;
    /// Starts the wizard again as root through pkexec and ends this one; false with a message when
    /// pkexec could not be started. A test catches the start in launchHook (nothing starts or ends).
    bool restartAsAdministrator(QWidget* owner = nullptr);
    std::function<bool(const QString& program, const QStringList& arguments)> launchHook;

private:
    QUrl docsPage(const QString& name) const;
    std::unique_ptr<Notifier> notifier_;
    std::unique_ptr<class CollectingNotifier> sourceMessages_;
    std::unique_ptr<WizardWindow> wizard_;
};

inline CVantrelApp* theApp() { return CVantrelApp::instance(); }
