#pragma once
// The thumbnail view beside a page's list: the same files as icons, a picture's thumbnail made by
// a ThumbnailLoader, other files the icon their name's type has. After every scroll, resize or
// new list it asks the loader for the items in sight only, and lets go of the rest.

#include <QAbstractListModel>
#include <QIcon>
#include <QListView>
#include <QTimer>
#include <vector>

#include "thumbnails/ThumbnailLoader.h"

/// Why a file is not whole, as its thumbnail shows it; both empty while whole or unknown.
struct ThumbnailDamage {
    QString words;  ///< the tool tip's: the grade ("damaged: 120 of 480 rows"), "partial", ...
    QString badge;  ///< the red band's headline: "damaged", "unreadable", "partial" or "damaged, partial"
};

/// One file in the view.
struct ThumbnailItem {
    quint64 key = 0;  ///< what the loader is asked for
    QString name;
    bool picture = false;  ///< a thumbnail is made; otherwise the type icon is shown
    /// Why the file is not whole ("damaged"): its name is red, the tool tip says it, and its picture
    /// is decoded itself, never shown by its embedded small copy, which would look whole.
    QString damage;
    QString badge;  ///< what the red band across its icon says
};

class ThumbnailModel final : public QAbstractListModel {
    Q_OBJECT
public:
    ThumbnailModel(ThumbnailLoader& loader, QObject* parent = nullptr);

    void setItems(std::vector<ThumbnailItem> items);
    void appendItems(const std::vector<ThumbnailItem>& items);
    const std::vector<ThumbnailItem>& items() const { return items_; }
    /// Gives key's file a new damage; false when it had that one already or is not shown.
    bool setDamage(quint64 key, const ThumbnailDamage& damage);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void thumbnailReady(quint64 key);
    QIcon typeIcon(const QString& name) const;

    ThumbnailLoader& loader_;
    std::vector<ThumbnailItem> items_;
    QHash<quint64, int> rowOfKey_;
    QIcon waiting_;
    QIcon broken_;
    mutable QHash<QString, QIcon> iconBySuffix_;
};

class ThumbnailView final : public QListView {
    Q_OBJECT
public:
    explicit ThumbnailView(QWidget* parent = nullptr);

    ThumbnailLoader& loader() { return loader_; }
    ThumbnailModel& thumbnails() { return model_; }
    void setItems(std::vector<ThumbnailItem> items);
    void appendItems(const std::vector<ThumbnailItem>& items);
    /// A file's damage learnt after it was shown (a grade made on a worker): its name turns red and
    /// its thumbnail is made again from the picture itself.
    void setDamage(quint64 key, const ThumbnailDamage& damage);
    /// Asks again for what is in sight, the "not now" ones included (after the source's worker ends).
    void refresh();
    /// The rows in sight now.
    std::pair<int, int> shownRows() const;

    static constexpr int kThumbnailSide = 96;

signals:
    /// A left click on a file: its row, as in the list beside.
    void fileClicked(int row);

protected:
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void askForShown();
    void askSoon();

    ThumbnailLoader loader_;
    ThumbnailModel model_;
    QTimer asking_;
};
