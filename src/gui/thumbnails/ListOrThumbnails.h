#pragma once
// A page's file list and its thumbnail view in one place, with two buttons to choose between
// them. The list stays the page's own; the page feeds the thumbnails the same files.

#include <QWidget>

#include "thumbnails/ThumbnailView.h"

class QStackedWidget;
class QToolButton;

class ListOrThumbnails final : public QWidget {
    Q_OBJECT
public:
    /// list is taken into this widget.
    explicit ListOrThumbnails(QWidget* list, QWidget* parent = nullptr);

    ThumbnailView* thumbnails() const { return thumbnails_; }
    QToolButton* listButton() const { return listButton_; }
    QToolButton* thumbnailButton() const { return thumbnailButton_; }
    bool showingThumbnails() const;
    void showThumbnails(bool on);

private:
    QWidget* list_;
    ThumbnailView* thumbnails_;
    QStackedWidget* stack_;
    QToolButton* listButton_;
    QToolButton* thumbnailButton_;
};
