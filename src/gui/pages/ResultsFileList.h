#pragma once
// The results page's file list and its thumbnail view: a folder's files as the tree has read
// them, or the search's hits with their paths; each row shows the choice and colour of the tree
// item that stands for its entry (a row's check box and its item are one choice), and a
// deleted picture's grade as it arrives.

#include <QHash>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "browser/EntryView.h"
#include "controls/CheckTree.h"
#include "pages/EntryGrader.h"
#include "thumbnails/ThumbnailView.h"

class CCheckListCtrl;
class CXHtmlTree;
class GradeColumn;
class ListOrThumbnails;
class QTreeWidgetItem;

/// The file list's time, size and attribute columns of one entry, as the list shows them.
struct ListTexts {
    QString created;
    QString accessed;
    QString modified;
    QString size;
    QString attributes;
};
ListTexts listTexts(const EntryView& view, EntryRef entry);

class ResultsFileList final : public QObject {
    Q_OBJECT
public:
    enum class Mode { Folder, Search };
    struct SearchRow {
        EntryRef entry = 0;
        QString path;
        ListTexts texts;
    };

    /// Lends the view to use on the window thread; false (use not called) while a worker has it.
    using ViewLender = std::function<bool(const std::function<void(const EntryView&)>& use)>;

    /// Rows stand for tree's items; icon gives an item's icon; gradeFetch reads a deleted picture
    /// for its grade (on the grader's thread); lend reads the rows' texts.
    ResultsFileList(CXHtmlTree* tree, std::function<QVariant(TreeItemId)> icon, EntryGrader::Fetch gradeFetch, ViewLender lend,
                    QObject* parent = nullptr);

    CCheckListCtrl* list() const { return list_; }
    ListOrThumbnails* views() const { return views_; }
    GradeColumn* grades() const { return grades_; }
    Mode mode() const { return mode_; }

    /// Ends the grading and thumbnail threads: their fetches are never called again.
    void stop();
    /// The reader is free again: thumbnails and grades held back are asked for again, and a
    /// folder's rows still to come are added.
    void resume();

    /// Shows the files of folder item below root (or the file item itself). A large folder's rows
    /// come in slices of a few milliseconds each, so the window never stalls; the rest follow at
    /// the event loop's next turns.
    void showFolder(TreeItemId item, TreeItemId root);
    /// Rows of the folder shown still to come.
    std::size_t rowsToCome() const { return toCome_.size() - nextToCome_; }
    /// Empties the list for search hits; a hit's row stands for the item below root that shows
    /// its entry.
    void beginSearch(TreeItemId root);
    void addSearchRows(const std::vector<SearchRow>& rows);
    /// A hit's path rather than its first letters, with Size still in view.
    void fitSearchColumn();
    /// Lists only deleted files (the folder shown is listed again).
    void setDeletedOnly(bool deletedOnly);
    /// Live pictures get a grade too (a view rebuilt from lost structures), not only deleted ones.
    void setGradeEveryPicture(bool every) { gradeEveryPicture_ = every; }
    bool deletedOnly() const { return deletedOnly_; }
    /// The entry of a clicked row; in a folder's list the click also toggles the row's choice.
    std::optional<EntryRef> clickRow(int row);

private:
    void clear();
    void addRow(TreeItemId item, EntryRef entry, const QString& text, const ListTexts& texts);
    void showItemState(QTreeWidgetItem* row, TreeItemId item);
    void showNewThumbnails();
    TreeItemId itemOfRow(QTreeWidgetItem* row) const;
    /// Adds rows to come for a slice of time; schedules the next slice, or ends the fill.
    void addSlice();
    void showWholeChoice();
    /// The rows' boxes take the tree's checks again.
    void showTreeChecks();

    CXHtmlTree* tree_;
    std::function<QVariant(TreeItemId)> icon_;
    ViewLender lend_;
    CCheckListCtrl* list_;
    ListOrThumbnails* views_;
    GradeColumn* grades_;
    Mode mode_ = Mode::Folder;
    QHash<quint64, TreeItemId> searchItems_;  // the tree item of each entry, for the search rows
    std::vector<ThumbnailItem> newThumbnails_;
    std::vector<TreeItemId> toCome_;  // the shown folder's file items not listed yet
    std::size_t nextToCome_ = 0;
    bool checksToShow_ = false;
    bool deletedOnly_ = false;
    bool gradeEveryPicture_ = false;
    TreeItemId shownFolder_ = kTreeNoItem;
    TreeItemId shownRoot_ = kTreeNoItem;  // a showTreeChecks is queued
    std::uint64_t fill_ = 0;  // counts the lists shown, so a slice queued for an earlier one is dropped
};
