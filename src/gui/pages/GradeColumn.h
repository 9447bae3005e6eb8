#pragma once
// A file list's Grade column: a deleted picture's grade ("whole", "damaged: 120 of 480 rows",
// "unreadable") made by an EntryGrader and shown as it arrives, also as the damage of its
// thumbnail; and "partial" for a file a save could write only with zeros for unreadable bytes.

#include <QHash>
#include <QObject>
#include <QSet>
#include <vector>

#include "browser/EntryView.h"
#include "pages/EntryGrader.h"
#include "thumbnails/ThumbnailView.h"

class QTreeWidgetItem;

class GradeColumn final : public QObject {
    Q_OBJECT
public:
    GradeColumn(int column, ThumbnailView* thumbnails, EntryGrader::Fetch fetch, QObject* parent = nullptr);
    /// Ends the grading thread: the fetch is never called again.
    void stop() { grader_.stop(); }
    /// The reader is free again for grading.
    void resume() { grader_.resume(); }

    /// The list was emptied: its rows are gone and grades queued for them are not wanted.
    void listCleared();
    /// A row was added for entry: its text as far as known, a grade asked for when graded (a
    /// deleted picture). Returns the damage its thumbnail shows (empty while whole or unknown).
    ThumbnailDamage rowAdded(QTreeWidgetItem* row, quint64 entry, bool graded);
    /// Files a save wrote with zeros for unreadable bytes.
    void markPartial(const std::vector<EntryRef>& entries);

    QString text(quint64 entry) const;

private:
    void graded(quint64 entry);
    ThumbnailDamage damage(quint64 entry) const;

    const int column_;
    ThumbnailView* thumbnails_;
    EntryGrader grader_;
    QHash<quint64, QTreeWidgetItem*> rows_;
    QSet<quint64> partial_;
};
