#include "pages/ItemIcons.h"

#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QStyle>

#include "browser/EntryTreeFill.h"
#include "browser/EntryTreeItems.h"

QVariant itemIcon(const CheckTree& tree, TreeItemId root, const EntryView* view, TreeItemId item, const QStyle* style) {
    const CheckTree::Item* record = tree.item(item);
    if (record == nullptr || record->text == kPlaceholderText)
        return {};
    if (isFolderItem(tree, root, view, item))
        return style->standardIcon(QStyle::SP_DirIcon);
    static QHash<QString, QIcon> bySuffix;
    const QString name = QString::fromStdString(record->text);
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = bySuffix.find(suffix);
    if (found == bySuffix.end()) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        found = bySuffix.insert(suffix, QIcon::fromTheme(type.iconName(), style->standardIcon(QStyle::SP_FileIcon)));
    }
    return *found;
}
