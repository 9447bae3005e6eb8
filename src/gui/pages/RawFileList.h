#pragma once
// The raw page's file list and its thumbnail view: the carved files of one category with their
// size, type, status and grade, marked "partial" where the medium could not be read inside them.
// Pictures are graded on a thread of their own once the scan has ended; their grades reach the
// rows as they come, those in sight first.

#include <QHash>
#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/TreeSink.h"
#include "disk/BadRangeMap.h"
#include "formats/PictureGrade.h"
#include "thumbnails/ThumbnailView.h"

class CarvedFileGrader;
class CarvedPictureSource;
class PositionedSource;
class CheckTree;
class ListOrThumbnails;
class QTableWidget;
class myJpg;
struct CarvedFile;

class RawFileList final : public QObject {
    Q_OBJECT
public:
    explicit RawFileList(QObject* parent = nullptr);
    /// Waits for the picture being graded, if any.
    ~RawFileList() override;

    QTableWidget* table() const { return list_; }
    ListOrThumbnails* views() const { return views_; }

    /// The volume the files lie in: its first byte on the source at path, and its length.
    void setVolume(std::shared_ptr<PositionedSource> medium, std::int64_t origin, std::uint64_t volumeBytes);
    /// Lists the carved files among item's children (categories stand for none).
    void show(const CheckTree& tree, TreeItemId item, const myJpg& engine);
    /// The tree item a row stands for, or nothing.
    std::optional<TreeItemId> itemAt(int row) const;

    /// The scan has ended with unreadable as its source's map: the files it meets are partial, and
    /// the pictures are graded from now on.
    void scanEnded(const BadRangeMap& unreadable, const myJpg& engine);
    bool gradingFinished() const;
    std::optional<formats::PictureGrade> grade(std::uint64_t index) const;
    /// A Save was given zeros for these files (by carved-file index).
    void markPartial(const std::vector<std::uint64_t>& indices);

private:
    void takeGrades();
    /// The Status, Grade and thumbnail marks of one listed file.
    void showMarks(int row, std::uint64_t index, const CarvedFile& file);
    /// Its Status and Grade cells; returns what its thumbnail says of its damage.
    ThumbnailDamage markCells(int row, std::uint64_t index, const CarvedFile& file);
    /// Holds bytes the medium could not read: met by the scan's bad ranges, or served as zeros
    /// to the grader or a Save.
    bool partial(std::uint64_t index, const CarvedFile& file) const;

    QTableWidget* list_;
    ListOrThumbnails* views_;
    const myJpg* engine_ = nullptr;  // the scan's, once a category was shown or the scan ended
    std::shared_ptr<PositionedSource> medium_;  // kept open for the grader and the thumbnails
    std::int64_t origin_ = 0;  // the volume's first byte on the source
    std::uint64_t volumeBytes_ = 0;
    std::shared_ptr<CarvedPictureSource> pictures_;  // the thumbnails' reads
    std::unique_ptr<CarvedFileGrader> grader_;
    std::unordered_map<std::uint64_t, formats::PictureGrade> grades_;  // by carved-file index
    std::unordered_set<std::uint64_t> partialFiles_;  // found holding zeros by the grader or a Save
    BadRangeMap unreadable_;                          // the scan source's map when the scan ended
    QHash<quint64, int> rowOfFile_;                   // the listed files' rows by carved-file index
};
