#include "thumbnails/ThumbnailView.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>
#include <QStyle>

namespace {
/// A plain frame of the thumbnail's size: the place holds still when the picture arrives.
QIcon frameIcon(QColor fill, QColor edge, bool crossed) {
    QPixmap pixmap(ThumbnailView::kThumbnailSide, ThumbnailView::kThumbnailSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(edge);
    painter.setBrush(fill);
    const QRect box = pixmap.rect().adjusted(8, 8, -9, -9);
    painter.drawRect(box);
    if (crossed) {
        painter.drawLine(box.topLeft(), box.bottomRight());
        painter.drawLine(box.topRight(), box.bottomLeft());
    }
    return QIcon(pixmap);
}
/// The thumbnail centred on a square of the full size, so the names below stay on one line.
QPixmap framed(const QImage& image) {
    QPixmap pixmap(ThumbnailView::kThumbnailSide, ThumbnailView::kThumbnailSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawImage((pixmap.width() - image.width()) / 2, (pixmap.height() - image.height()) / 2, image);
    return pixmap;
}
/// The damage's headline on a red band across the foot of the icon, readable at a glance in a
/// screen of thumbnails.
QPixmap withDamageBand(QPixmap pixmap, const QString& headline) {
    QPainter painter(&pixmap);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    const QRect band(0, pixmap.height() - 18, pixmap.width(), 15);
    painter.fillRect(band, QColor(200, 0, 0, 215));
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, painter.fontMetrics().elidedText(headline, Qt::ElideRight, band.width() - 4));
    return pixmap;
}
}  // namespace

ThumbnailModel::ThumbnailModel(ThumbnailLoader& loader, QObject* parent)
    : QAbstractListModel(parent), loader_(loader), waiting_(frameIcon(QColor(235, 235, 235), QColor(200, 200, 200), false)),
      broken_(frameIcon(QColor(250, 240, 240), QColor(200, 120, 120), true)) {
    connect(&loader_, &ThumbnailLoader::thumbnailReady, this, &ThumbnailModel::thumbnailReady);
}

void ThumbnailModel::setItems(std::vector<ThumbnailItem> items) {
    beginResetModel();
    items_ = std::move(items);
    rowOfKey_.clear();
    rowOfKey_.reserve(static_cast<qsizetype>(items_.size()));
    for (std::size_t row = 0; row < items_.size(); ++row)
        rowOfKey_.insert(items_[row].key, static_cast<int>(row));
    endResetModel();
}

void ThumbnailModel::appendItems(const std::vector<ThumbnailItem>& items) {
    if (items.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
    for (const ThumbnailItem& item : items) {
        rowOfKey_.insert(item.key, static_cast<int>(items_.size()));
        items_.push_back(item);
    }
    endInsertRows();
}

bool ThumbnailModel::setDamage(quint64 key, const ThumbnailDamage& damage) {
    const auto row = rowOfKey_.constFind(key);
    if (row == rowOfKey_.constEnd())
        return false;
    ThumbnailItem& item = items_[static_cast<std::size_t>(*row)];
    if (item.damage == damage.words && item.badge == damage.badge)
        return false;
    item.damage = damage.words;
    item.badge = damage.badge;
    const QModelIndex changed = index(*row);
    emit dataChanged(changed, changed);
    return true;
}

int ThumbnailModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

QVariant ThumbnailModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ThumbnailItem& item = items_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return item.name;
    case Qt::ToolTipRole:
        return item.damage.isEmpty() ? item.name : item.name + QStringLiteral(" (") + item.damage + QLatin1Char(')');
    case Qt::ForegroundRole:
        return item.damage.isEmpty() ? QVariant() : QVariant(QColor(200, 0, 0));
    case Qt::DecorationRole:
        if (!item.picture)
            return typeIcon(item.name);
        if (loader_.failed(item.key)) {
            if (item.damage.isEmpty())
                return broken_;
            return withDamageBand(broken_.pixmap(ThumbnailView::kThumbnailSide, ThumbnailView::kThumbnailSide), item.badge);
        }
        if (const QImage image = loader_.thumbnail(item.key); !image.isNull())
            return item.damage.isEmpty() ? framed(image) : withDamageBand(framed(image), item.badge);
        return waiting_;
    default:
        return {};
    }
}

void ThumbnailModel::thumbnailReady(quint64 key) {
    const auto row = rowOfKey_.constFind(key);
    if (row == rowOfKey_.constEnd())
        return;
    const QModelIndex changed = index(*row);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

QIcon ThumbnailModel::typeIcon(const QString& name) const {
    // By name only: the view never reads the disk for an icon.
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = iconBySuffix_.find(suffix);
    if (found == iconBySuffix_.end()) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        found = iconBySuffix_.insert(suffix, QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName())));
    }
    return *found;
}

ThumbnailView::ThumbnailView(QWidget* parent)
    : QListView(parent), loader_(QSize(kThumbnailSide, kThumbnailSide)), model_(loader_) {
    setObjectName(QStringLiteral("thumbnailView"));
    loader_.setEmbeddedFinder(exifThumbnailRange);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    // Names from metadata share their start and end ("2019-06-02 12.03.00 Canon EOS 80D.jpg"):
    // two wrapped lines keep the date and time in sight.
    setWordWrap(true);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    setGridSize(QSize(kThumbnailSide + 48, kThumbnailSide + 2 * fontMetrics().lineSpacing() + 14));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(&model_);
    // Scrolling gives many events a second; what is in sight is asked for at most every 30 ms, so a
    // slow scroll fills in as it goes and a fast one costs a few requests, soon dropped again.
    asking_.setSingleShot(true);
    asking_.setInterval(30);
    connect(&asking_, &QTimer::timeout, this, &ThumbnailView::askForShown);
    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) { emit fileClicked(index.row()); });
}

void ThumbnailView::setItems(std::vector<ThumbnailItem> items) {
    model_.setItems(std::move(items));
    loader_.keepOnly({});
    askSoon();
}

void ThumbnailView::appendItems(const std::vector<ThumbnailItem>& items) {
    model_.appendItems(items);
    askSoon();
}

void ThumbnailView::setDamage(quint64 key, const ThumbnailDamage& damage) {
    if (!model_.setDamage(key, damage))
        return;
    loader_.markDamaged(key);
    askSoon();
}

void ThumbnailView::refresh() {
    loader_.forgetPending();
    askSoon();
    viewport()->update();
}

void ThumbnailView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    askSoon();
}

void ThumbnailView::updateGeometries() {
    QListView::updateGeometries();
    // A wheel notch (three steps) moves one row.
    verticalScrollBar()->setSingleStep(std::max(1, gridSize().height() / 3));
}

void ThumbnailView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    askSoon();
}

void ThumbnailView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    askSoon();
}

void ThumbnailView::askSoon() {
    if (!asking_.isActive())
        asking_.start();
}

std::pair<int, int> ThumbnailView::shownRows() const {
    const int rows = model_.rowCount();
    const QRect sight = viewport()->rect();
    if (rows == 0 || !isVisible())
        return {0, 0};
    // Rows run left to right, then down: the first in sight is found by halving, the rest follow.
    int low = 0;
    int high = rows;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (visualRect(model_.index(middle)).bottom() < sight.top())
            low = middle + 1;
        else
            high = middle;
    }
    int end = low;
    while (end < rows && visualRect(model_.index(end)).top() <= sight.bottom())
        ++end;
    return {low, end};
}

void ThumbnailView::askForShown() {
    const auto [first, end] = shownRows();
    QSet<ThumbnailLoader::Key> shown;
    const auto& items = model_.items();
    for (int row = first; row < end; ++row)
        if (items[static_cast<std::size_t>(row)].picture)
            shown.insert(items[static_cast<std::size_t>(row)].key);
    loader_.keepOnly(shown);
    // Asked last to first: each goes to the front, so the top left is made first.
    for (int row = end - 1; row >= first; --row)
        if (const ThumbnailItem& item = items[static_cast<std::size_t>(row)]; item.picture)
            loader_.request(item.key, !item.damage.isEmpty());
    viewport()->update();
}
