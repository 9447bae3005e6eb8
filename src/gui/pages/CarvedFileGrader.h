#pragma once
// Grades the carved pictures of a raw scan on a thread of its own, so the window thread never
// reads or decodes one: the files asked for first (those the list shows), then the rest in
// order. Grades are collected and announced once per batch; the page takes them when it runs.

#include <QObject>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "formats/PictureGrade.h"

class myJpg;
class readWriteInterface;

class CarvedFileGrader final : public QObject {
    Q_OBJECT
public:
    struct Result {
        std::uint64_t index = 0;  ///< the file's place in the engine's found-file list
        formats::PictureGrade grade;
        bool partial = false;  ///< zeros stood in for unreadable bytes while it was read
    };

    /// Grades the pictures among engine's carved files (its scan has ended, and it outlives the
    /// grader) through source, positioned on the volume, never reading past volumeBytes.
    CarvedFileGrader(std::unique_ptr<readWriteInterface> source, std::uint64_t volumeBytes, const myJpg& engine);
    /// Waits for the file being graded, if any.
    ~CarvedFileGrader() override;

    /// Starts the grading thread; connect to gradesArrived first.
    void start();
    /// Grades these files (by index) before the rest, in the order given.
    void gradeFirst(const std::vector<std::uint64_t>& indices);
    /// The grades made since the last call, at most limit of them.
    std::vector<Result> take(std::size_t limit);
    bool finished() const;

signals:
    /// Grades wait to be taken (sent once until they are).
    void gradesArrived();

private:
    void run();
    /// The next file to grade, or nothing when all are done or the grader is ending.
    std::optional<std::uint64_t> next();

    std::unique_ptr<readWriteInterface> source_;
    const std::uint64_t volumeBytes_;
    const myJpg& engine_;
    mutable std::mutex mutex_;
    std::deque<std::uint64_t> first_;  // indices asked for first
    std::vector<bool> done_;           // by index: graded, or found not to be a picture
    std::uint64_t next_ = 0;           // the next index in order
    std::size_t left_ = 0;
    std::vector<Result> arrived_;
    bool announced_ = false;
    bool quit_ = false;
    std::thread thread_;
};
