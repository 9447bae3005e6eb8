#include "pages/CreateImageDialog.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CVantrelApp.h"
#include "app/ProgressSink.h"
#include "common/ListTextFormat.h"
#include "disk/Mapfile.h"
#include "disk/SourceOpener.h"
#include "output/ImageOutput.h"

namespace {
/// The worker's progress, handed to the dialog on the window thread.
class DialogProgress final : public ProgressSink {
  public:
    explicit DialogProgress(std::function<void(std::int64_t, QString)> show) : show_(std::move(show)) {}
    void setRange(std::int64_t, std::int64_t) override {}
    void setPosition(std::int64_t position) override { position_ = position; }
    void setStatus(const std::string& text) override { show_(position_, QString::fromStdString(text)); }

  private:
    std::function<void(std::int64_t, QString)> show_;
    std::int64_t position_ = 0;
};

QString mapOf(const QString& image) {
    return image + QStringLiteral(".map");
}
} // namespace

CreateImageDialog::CreateImageDialog(const QString& source, const QString& image, QWidget* parent)
    : QDialog(parent), source_(source), image_(image), status_(new QLabel), bar_(new QProgressBar),
      stopButton_(new QPushButton(QStringLiteral("Stop"))) {
    setWindowTitle(QStringLiteral("Create disk image"));
    setObjectName(QStringLiteral("createImageDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* what = new QLabel(
        QStringLiteral("Copying %1\ninto %2\n\nGood areas are copied first; failing areas are read "
                       "again, down to single sectors, at the end. The copy can be stopped and "
                       "started again later with the same image: it goes on from its map %3.")
            .arg(source, image, QFileInfo(mapOf(image)).fileName()));
    what->setWordWrap(true);
    layout->addWidget(what);
    bar_->setRange(0, 1000);
    layout->addWidget(bar_);
    status_->setObjectName(QStringLiteral("imagingStatus"));
    layout->addWidget(status_);
    stopButton_->setObjectName(QStringLiteral("stopImagingButton"));
    layout->addWidget(stopButton_, 0, Qt::AlignRight);
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        stop_.set();
        stopButton_->setEnabled(false);
    });
    resize(560, 220);
}

CreateImageDialog::~CreateImageDialog() {
    stop_.set();
    if (worker_.joinable())
        worker_.join();
}

bool CreateImageDialog::start() {
    const std::string source = source_.toStdString(), image = image_.toStdString(),
                      map = mapOf(image_).toStdString();
    std::shared_ptr<PositionedSource> medium = sourceFor(source, nullptr);
    QString failure;
    std::unique_ptr<ImageOutput> output;
    BadRangeMap known;
    std::string error;
    const bool resuming = QFile::exists(image_) && QFile::exists(mapOf(image_));
    if (!medium->open(source)) {
        failure = source_ + QStringLiteral(": ") + QString::fromStdString(medium->openFailure());
    } else if (medium->byteSize() <= 0) {
        failure = source_ + QStringLiteral(": the source is empty");
    } else if (QFile::exists(image_) && !resuming) {
        failure = image_ +
                  QStringLiteral(" exists already, without its map: choose another name (an image is never "
                                 "written over).");
    } else {
        if (resuming) {
            QFile text(mapOf(image_));
            const bool read = text.open(QIODevice::ReadOnly) &&
                              readMapfile(text.readAll().toStdString(), medium->byteSize(), known, error);
            if (!read)
                failure = mapOf(image_) + QStringLiteral(": ") +
                          (error.empty() ? text.errorString() : QString::fromStdString(error));
        }
        if (failure.isEmpty()) {
            output = resuming ? ImageOutput::resume(image, map, source, medium->byteSize(), error)
                              : ImageOutput::create(image, map, source, medium->byteSize(), error);
            if (!output)
                failure = QString::fromStdString(error);
        }
    }
    if (!failure.isEmpty()) {
        theApp()->message(failure, QMessageBox::Information, this);
        return false;
    }
    range_ = medium->byteSize();
    status_->setText(resuming ? QStringLiteral("Going on from the map...") : QStringLiteral("Copying..."));
    QPointer<CreateImageDialog> self(this);
    worker_ = std::thread([this, self, medium, output = std::move(output), known = std::move(known),
                           command = "pictorva image " + source + " " + image]() mutable {
        DialogProgress progress([self](std::int64_t position, QString text) {
            QMetaObject::invokeMethod(
                self,
                [self, position, text] {
                    if (self)
                        self->showProgress(position, text);
                },
                Qt::QueuedConnection);
        });
        DriveImager imager(*medium, std::move(known), command);
        result_ = imager.run(*output, progress, &stop_);
        if (!output->finish() && result_.end == ImagingResult::End::Done)
            result_.end = ImagingResult::End::WriteFailed;
        failure_ = QString::fromStdString(output->errorText());
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self)
                    self->ended();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void CreateImageDialog::showProgress(std::int64_t position, const QString& status) {
    if (range_ > 0)
        bar_->setValue(static_cast<int>(position * 1000 / range_));
    status_->setText(status);
}

void CreateImageDialog::ended() {
    if (worker_.joinable())
        worker_.join();
    stopButton_->setEnabled(false);
    const QString counts =
        QStringLiteral("%1 rescued, %2 bad")
            .arg(QString::fromStdString(formatListSize(static_cast<std::uint64_t>(result_.rescued))),
                 QString::fromStdString(formatListSize(static_cast<std::uint64_t>(result_.bad))));
    QString text;
    switch (result_.end) {
    case ImagingResult::End::Done:
        text = result_.untried > 0
                   ? QStringLiteral("The copy ended with areas not yet read: %1. Create the image "
                                    "again with the same name to go on.")
                         .arg(counts)
                   : QStringLiteral("The image is ready: %1. It is added to the list to recover from.")
                         .arg(counts);
        break;
    case ImagingResult::End::Stopped:
        text = QStringLiteral(
                   "Stopped: %1. Create the image again with the same name to go on where it stopped; the "
                   "part copied so far is added to the list.")
                   .arg(counts);
        break;
    case ImagingResult::End::WriteFailed:
        text = QStringLiteral("The image could not be written: %1").arg(failure_);
        break;
    case ImagingResult::End::MediumShrank:
        text = QStringLiteral("The source became shorter while it was copied: %1. The copy is incomplete.")
                   .arg(counts);
        break;
    }
    bar_->setValue(range_ > 0 ? static_cast<int>((result_.rescued + result_.bad) * 1000 / range_) : 0);
    status_->setText(text);
    theApp()->message(text, QMessageBox::Information, this);
    emit imageDone(result_.end != ImagingResult::End::WriteFailed);
    accept();
}
