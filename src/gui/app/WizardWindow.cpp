#include "app/WizardWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/CVantrelApp.h"
#include "app/WizardPage.h"

namespace {
QWidget* makeBanner() {
    auto* banner = new QLabel;
    banner->setObjectName(QStringLiteral("banner"));
    banner->setText(QStringLiteral("<span style='font-size:20pt; font-weight:600'>Pictorva</span>"
                                   "&nbsp;&nbsp;<span style='font-size:10pt'>photo, audio and video recovery</span>"));
    banner->setStyleSheet(QStringLiteral("#banner { color: white; padding: 10px 16px;"
                                         " background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
                                         " stop:0 #1d4f7a, stop:1 #3a86b8); }"));
    banner->setMinimumHeight(58);
    return banner;
}
}  // namespace

WizardWindow::WizardWindow() : stack_(new QStackedWidget) {
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeBanner());
    layout->addWidget(stack_, 1);
    // One size for every page: the results and raw pages need two panes of names, sizes and dates.
    resize(960, 640);
    qApp->installEventFilter(this);
}

WizardWindow::~WizardWindow() {
    qApp->removeEventFilter(this);
    // Later pages first: each may refer to the one before it.
    while (stack_->count() > 0) {
        QWidget* last = stack_->widget(stack_->count() - 1);
        stack_->removeWidget(last);
        delete last;
    }
}

void WizardWindow::start(WizardPage* first) { push(first); }

void WizardWindow::push(WizardPage* next) {
    stack_->addWidget(next);
    stack_->setCurrentWidget(next);
}

void WizardWindow::pop(WizardPage* page) {
    const int index = stack_->indexOf(page);
    if (index <= 0)
        return;
    stack_->setCurrentIndex(index - 1);
    stack_->removeWidget(page);
    page->deleteLater();
}

void WizardWindow::popTo(WizardPage* target) {
    const int index = stack_->indexOf(target);
    if (index < 0)
        return;
    while (stack_->count() > index + 1)
        pop(qobject_cast<WizardPage*>(stack_->widget(stack_->count() - 1)));
}

WizardPage* WizardWindow::currentPage() const { return qobject_cast<WizardPage*>(stack_->currentWidget()); }

QList<WizardPage*> WizardWindow::pages() const {
    QList<WizardPage*> result;
    for (int i = 0; i < stack_->count(); ++i)
        result.append(qobject_cast<WizardPage*>(stack_->widget(i)));
    return result;
}

void WizardWindow::endApplication() {
    ending_ = true;
    for (WizardPage* page : pages()) {
        if (page->working()) {
            page->stopWorkers();
            page->setStatus(QStringLiteral("All thread Stopped"));
        }
    }
    for (WizardPage* page : pages())
        page->waitForWorkers();
    hide();
    QCoreApplication::quit();
}

void WizardWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (ending_) {
        event->accept();
        return;
    }
    WizardPage* page = currentPage();
    if (page != nullptr && !page->mayClose())
        return;
    if (!theApp()->question(QStringLiteral("Do you want to Close Application ?"), this))
        return;
    theApp()->openUrl(theApp()->homepageUrl());
    endApplication();
    event->accept();
}

bool WizardWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* widget = qobject_cast<QWidget*>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) && widget != nullptr &&
            widget->window() == this)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
