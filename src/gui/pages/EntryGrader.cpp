#include "pages/EntryGrader.h"

#include "browser/EntryGrade.h"

EntryGrader::EntryGrader(Fetch fetch, QObject* parent) : QObject(parent), fetch_(std::move(fetch)) {
    thread_ = std::thread([this] { run(); });
}

EntryGrader::~EntryGrader() { stop(); }

void EntryGrader::stop() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void EntryGrader::request(Key key) {
    if (grades_.contains(key))
        return;
    {
        const std::lock_guard lock(mutex_);
        if (quit_ || !queued_.insert(key).second)
            return;
        queue_.push_back(key);
    }
    wake_.notify_one();
}

void EntryGrader::clearQueue() {
    const std::lock_guard lock(mutex_);
    queue_.clear();
    queued_.clear();
}

void EntryGrader::resume() {
    {
        const std::lock_guard lock(mutex_);
        held_ = false;
        ++resumes_;
    }
    wake_.notify_one();
}

std::optional<std::optional<formats::PictureGrade>> EntryGrader::known(Key key) const {
    const auto found = grades_.find(key);
    if (found == grades_.end())
        return std::nullopt;
    return *found;
}

void EntryGrader::run() {
    for (;;) {
        Key key = 0;
        std::uint64_t resumes = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || (!held_ && !queue_.empty()); });
            if (quit_)
                return;
            key = queue_.front();
            resumes = resumes_;
        }
        std::optional<std::unique_ptr<GradedBytes>> content = fetch_(key);
        {
            const std::lock_guard lock(mutex_);
            if (!content) {
                held_ = resumes == resumes_;  // the key stays first in line
                continue;
            }
            if (!queue_.empty() && queue_.front() == key) {
                queue_.pop_front();
                queued_.erase(key);
            }
        }
        std::optional<formats::PictureGrade> grade;
        if (*content)
            grade = gradeContent(**content);
        QMetaObject::invokeMethod(this, [this, key, grade] { arrived(key, grade); }, Qt::QueuedConnection);
    }
}

void EntryGrader::arrived(Key key, std::optional<formats::PictureGrade> grade) {
    grades_.insert(key, grade);
    emit graded(key);
}
