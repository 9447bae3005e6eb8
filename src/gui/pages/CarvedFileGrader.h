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
#include <string>
#include <thread>
#include <vector>

#include "formats/PictureGrade.h"
#include "raw/myJpg.h"

class readWriteInterface;

class CarvedFileGrader final : public QObject {
    Q_OBJECT
public:
    struct Job {
        std::uint64_t index = 0;  ///< the file's place in the engine's found-file list
        CarvedFile file;
        std::string type;  ///< its extension, as the engine gives it
    };
    struct Result {
        std::uint64_t index = 0;
        std::optional<formats::PictureGrade> grade;  ///< nothing for a type that is not a picture
        bool partial = false;                        ///< zeros stood in for unreadable bytes while it was read
    };

    /// Grades jobs through source (positioned on the volume), never reading past volumeBytes,
    /// once started.
    CarvedFileGrader(std::unique_ptr<readWriteInterface> source, std::uint64_t volumeBytes, std::vector<Job> jobs);
    /// Waits for the file being graded, if any.
    ~CarvedFileGrader() override;

    /// Starts the grading thread; connect to gradesArrived first.
    void start();
    /// Moves these files (by index) to the front of what is left, in the order given.
    void gradeFirst(const std::vector<std::uint64_t>& indices);
    /// The grades made since the last call, at most limit of them.
    std::vector<Result> take(std::size_t limit);
    bool finished() const;

signals:
    /// Grades wait to be taken (sent once until they are).
    void gradesArrived();

private:
    void run();

    std::unique_ptr<readWriteInterface> source_;
    const std::uint64_t volumeBytes_;
    std::vector<Job> jobs_;
    mutable std::mutex mutex_;
    std::deque<std::size_t> first_;          // job positions asked for first
    std::vector<bool> done_;                 // by job position
    std::size_t next_ = 0;                   // the next job position in order
    std::size_t left_ = 0;
    std::vector<Result> arrived_;
    bool announced_ = false;
    bool quit_ = false;
    std::thread thread_;
};
