#pragma once
// A worker's progress as Qt signals. Emitted on a worker they reach the page queued (the worker
// never waits for the window thread); emitted on the page's thread they act at once.

#include <QObject>
#include <QString>

#include "app/ProgressSink.h"

class QtProgressSink final : public QObject, public ProgressSink {
    Q_OBJECT
public:
    using QObject::QObject;
    void setRange(std::int64_t low, std::int64_t high) override { emit rangeChanged(low, high); }
    void setPosition(std::int64_t position) override { emit positionChanged(position); }
    void setStatus(const std::string& text) override { emit statusChanged(QString::fromStdString(text)); }

signals:
    void rangeChanged(qint64 low, qint64 high);
    void positionChanged(qint64 position);
    void statusChanged(const QString& text);
};
