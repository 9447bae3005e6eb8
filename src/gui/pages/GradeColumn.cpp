#include "pages/GradeColumn.h"

#include <QTreeWidgetItem>


GradeColumn::GradeColumn(int column, ThumbnailView* thumbnails, EntryGrader::Fetch fetch, QObject* parent)
    : QObject(parent), column_(column), thumbnails_(thumbnails), grader_(std::move(fetch)) {
    connect(&grader_, &EntryGrader::graded, this, &GradeColumn::graded);
}

void GradeColumn::listCleared() {
    rows_.clear();
    grader_.clearQueue();
}

ThumbnailDamage GradeColumn::rowAdded(QTreeWidgetItem* row, quint64 entry, bool graded) {
    rows_.insert(entry, row);
    if (graded && !grader_.known(entry))
        grader_.request(entry);
    row->setText(column_, text(entry));
    return damage(entry);
}

void GradeColumn::markPartial(const std::vector<EntryRef>& entries) {
    for (EntryRef entry : entries) {
        partial_.insert(entry);
        if (QTreeWidgetItem* row = rows_.value(entry))
            row->setText(column_, text(entry));
    }
}

QString GradeColumn::text(quint64 entry) const {
    QString shown;
    if (const auto grade = grader_.known(entry); grade && *grade)
        shown = QString::fromStdString(formats::gradeSummary(**grade));
    if (partial_.contains(entry))
        shown += shown.isEmpty() ? QStringLiteral("partial") : QStringLiteral(", partial");
    return shown;
}

ThumbnailDamage GradeColumn::damage(quint64 entry) const {
    const auto grade = grader_.known(entry);
    if (!grade || !*grade || (*grade)->health == formats::Health::Whole)
        return {};
    const std::string_view health = formats::healthText((*grade)->health);
    const QString words = QString::fromUtf8(health.data(), static_cast<qsizetype>(health.size()));
    return {words, words};
}

void GradeColumn::graded(quint64 entry) {
    QTreeWidgetItem* row = rows_.value(entry);
    if (row == nullptr)
        return;
    row->setText(column_, text(entry));
    if (const ThumbnailDamage damaged = damage(entry); !damaged.words.isEmpty())
        thumbnails_->setDamage(entry, damaged);
}
