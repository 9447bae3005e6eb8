#include "app/WizardPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/CTessalyAboutDlg.h"
#include "app/ReadSettingsDlg.h"
#include "app/CVantrelApp.h"
#include "app/QtProgressSink.h"
#include "app/WizardWindow.h"

WizardPage::WizardPage(WizardPage* previous, int previousPageNumber)
    : previous_(previous), previousPageNumber_(previousPageNumber), body_(new QVBoxLayout),
      buttons_(new QHBoxLayout), sink_(new QtProgressSink(this)) {
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 12);
    layout->setSpacing(10);
    body_->setSpacing(8);
    layout->addLayout(body_, 1);

    auto* help = new QToolButton;
    help->setObjectName(QStringLiteral("helpButton"));
    help->setText(QStringLiteral("Help"));
    help->setPopupMode(QToolButton::InstantPopup);
    help->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(help);
    connect(menu->addAction(QStringLiteral("Help")), &QAction::triggered, this, [this] { theApp()->openGuide(this); });
    connect(menu->addAction(QStringLiteral("Settings...")), &QAction::triggered, this, [this] {
        ReadSettingsDlg settings(this);
        settings.exec();
    });
    connect(menu->addAction(QStringLiteral("Software Homepage")), &QAction::triggered, this,
            [] { theApp()->openUrl(theApp()->homepageUrl()); });
    connect(menu->addAction(QStringLiteral("About")), &QAction::triggered, this, [this] {
        CTessalyAboutDlg about(this);
        about.exec();
    });
    help->setMenu(menu);

    auto* link = new QLabel(QStringLiteral("<a href='products'>Explore more data recovery products</a>"));
    link->setObjectName(QStringLiteral("productLink"));
    connect(link, &QLabel::linkActivated, this, [] { theApp()->openUrl(theApp()->productsUrl()); });

    buttons_->addWidget(help);
    buttons_->addSpacing(8);
    buttons_->addWidget(link);
    buttons_->addStretch(1);
    layout->addLayout(buttons_);
}

WizardPage::~WizardPage() { closeWorkers(); }

QPushButton* WizardPage::addButton(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text);
    if (objectName != nullptr)
        button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    button->setMinimumWidth(88);
    buttons_->addWidget(button);
    return button;
}

void WizardPage::addProgressArea() {
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setMinimumHeight(status_->fontMetrics().height() + 4);
    progress_ = new QProgressBar;
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(16);
    body_->addWidget(status_);
    body_->addWidget(progress_);
    connect(sink_, &QtProgressSink::statusChanged, status_, &QLabel::setText);
    connect(sink_, &QtProgressSink::rangeChanged, progress_, [this](qint64 low, qint64 high) {
        if (progressHeld_)
            return;
        progress_->setRange(static_cast<int>(std::clamp<qint64>(low, INT_MIN, INT_MAX)),
                            static_cast<int>(std::clamp<qint64>(high, INT_MIN, INT_MAX)));
    });
    connect(sink_, &QtProgressSink::positionChanged, progress_, [this](qint64 position) {
        if (progressHeld_)
            return;
        progress_->setValue(static_cast<int>(std::clamp<qint64>(position, INT_MIN, INT_MAX)));
    });
}

void WizardPage::addWorkerButtons() {
    pauseButton_ = addButton(QStringLiteral("Pause"), "pauseButton");
    resumeButton_ = addButton(QStringLiteral("Resume"), "resumeButton");
    stopButton_ = addButton(QStringLiteral("Stop"), "stopButton");
    pauseButton_->setToolTip(QStringLiteral("Pause"));
    resumeButton_->setToolTip(QStringLiteral("Resume"));
    stopButton_->setToolTip(QStringLiteral("Stop"));
    connect(pauseButton_, &QPushButton::clicked, this, &WizardPage::pauseWorker);
    connect(resumeButton_, &QPushButton::clicked, this, &WizardPage::resumeWorker);
    showPauseState();
}

void WizardPage::showWorkerControls(bool shown) {
    for (QWidget* widget : {static_cast<QWidget*>(progress_), static_cast<QWidget*>(pauseButton_),
                            static_cast<QWidget*>(resumeButton_), static_cast<QWidget*>(stopButton_)})
        if (widget != nullptr)
            widget->setVisible(shown);
    if (shown)
        progressHeld_ = false;
    showPauseState();
}

void WizardPage::showStopped(long long found, const char* what) {
    showWorkerControls(false);
    if (progress_ != nullptr)
        progress_->setVisible(true);
    setStatus(QStringLiteral("Stopped by user: %1 %2 found so far").arg(found).arg(QString::fromLatin1(what)));
}

void WizardPage::showPauseState() {
    const bool paused = gate_.paused();
    if (pauseButton_ != nullptr)
        pauseButton_->setEnabled(!paused);
    if (resumeButton_ != nullptr)
        resumeButton_->setEnabled(paused);
}

void WizardPage::releasePause() {
    gate_.resume();
    showPauseState();
}

void WizardPage::holdForStop() {
    progressHeld_ = true;
    releasePause();
}

void WizardPage::waitForWorkers() {
    if (!worker_.joinable())
        return;
    releasePause();
    worker_.join();
}

void WizardPage::runWorker(std::function<void()> work, std::function<void()> onDone) {
    waitForWorkers();
    worker_ = std::thread([this, work = std::move(work), onDone = std::move(onDone)]() mutable {
        work();
        if (*closing_)
            return;
        // Dropped by Qt when the page has gone meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, onDone = std::move(onDone)] {
                waitForWorkers();
                if (!*closing_ && onDone)
                    onDone();
            },
            Qt::QueuedConnection);
    });
}

void WizardPage::closeWorkers() {
    *closing_ = true;
    stopWorkers();
    waitForWorkers();
}

void WizardPage::setStatus(const QString& text) {
    if (status_ != nullptr)
        status_->setText(text);
}

QString WizardPage::status() const { return status_ != nullptr ? status_->text() : QString(); }

void WizardPage::pauseWorker() {
    if (!working() || gate_.paused())
        return;
    gate_.pause();
    showPauseState();
    setStatus(QStringLiteral("Pause button pressed"));
}

void WizardPage::resumeWorker() {
    if (!working() || !gate_.paused())
        return;
    releasePause();
    setStatus(QStringLiteral("Resume button pressed"));
}

WizardWindow* WizardPage::wizard() const { return theApp()->wizard(); }

bool WizardPage::showNext(WizardPage* next) {
    if (!next->initialise()) {
        delete next;
        return false;
    }
    wizard()->push(next);
    return true;
}

void WizardPage::goBack() {
    if (previous_ != nullptr)
        wizard()->pop(this);
}
