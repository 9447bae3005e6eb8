#pragma once
// "Create disk image...": copies the drive or volume chosen on the first page into an image file
// the way a failing drive is best copied (core's DriveImager), with progress, the rescued and bad
// bytes, and Stop; a copy stopped, or with failed areas left, goes on from its map when started
// again with the same image. The image is ready to open when the copy ends.

#include <QDialog>
#include <atomic>
#include <thread>

#include "app/StopFlag.h"
#include "disk/DriveImager.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CreateImageDialog final : public QDialog {
    Q_OBJECT
  public:
    /// Copies source into image (its map beside it, image + ".map"); resuming when both are there.
    CreateImageDialog(const QString& source, const QString& image, QWidget* parent);
    ~CreateImageDialog() override;

    /// Starts the copy; false (with the reason shown) when the source or the image cannot be opened.
    bool start();
    /// What the run ended with, once imageDone() was emitted.
    const ImagingResult& result() const { return result_; }
    QLabel* statusLabel() const { return status_; }

  signals:
    void imageDone(bool ready);

  private:
    void showProgress(std::int64_t position, const QString& status);
    void ended();

    QString source_, image_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* stopButton_;
    std::int64_t range_ = 0;
    StopFlag stop_;
    std::thread worker_;
    ImagingResult result_;
    QString failure_;
};
