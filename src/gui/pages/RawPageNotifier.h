#pragma once
// The raw pages' message boxes as the core's Notifier: a message without caption is a plain box
// without icon. From a worker the box is queued, so the worker never waits for the window thread
// (which may be waiting for the worker at Back or Close); leaving drops what is still queued.

#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>

#include "app/CVantrelApp.h"
#include "app/Notifier.h"

class RawPageNotifier final : public Notifier {
public:
    RawPageNotifier(QWidget* owner, std::shared_ptr<const std::atomic<bool>> leaving)
        : owner_(owner), leaving_(std::move(leaving)) {}

    void inform(const std::string& text, const std::string& caption) override {
        const QString qText = QString::fromStdString(text), qCaption = QString::fromStdString(caption);
        const QMessageBox::Icon icon = caption.empty() ? QMessageBox::NoIcon : QMessageBox::Information;
        QPointer<QWidget> owner = owner_;
        auto show = [=, leaving = leaving_] {
            if (!*leaving)
                theApp()->message(qText, icon, owner, qCaption);
        };
        if (QThread::currentThread() == theApp()->thread())
            show();
        else
            QMetaObject::invokeMethod(theApp(), show, Qt::QueuedConnection);
    }
    bool ask(const std::string&) override { return false; }

private:
    QWidget* owner_;
    std::shared_ptr<const std::atomic<bool>> leaving_;
};
