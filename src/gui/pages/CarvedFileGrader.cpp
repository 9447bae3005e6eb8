#include "pages/CarvedFileGrader.h"

#include <unordered_map>

#include "disk/readWriteInterface.h"
#include "raw/CarvedFileGrade.h"

CarvedFileGrader::CarvedFileGrader(std::unique_ptr<readWriteInterface> source, std::uint64_t volumeBytes, std::vector<Job> jobs)
    : source_(std::move(source)), volumeBytes_(volumeBytes), jobs_(std::move(jobs)), done_(jobs_.size(), false),
      left_(jobs_.size()) {}

void CarvedFileGrader::start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

CarvedFileGrader::~CarvedFileGrader() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

void CarvedFileGrader::gradeFirst(const std::vector<std::uint64_t>& indices) {
    std::unordered_map<std::uint64_t, std::size_t> positionOf;
    positionOf.reserve(jobs_.size());
    for (std::size_t position = 0; position < jobs_.size(); ++position)
        positionOf.emplace(jobs_[position].index, position);
    const std::lock_guard lock(mutex_);
    first_.clear();
    for (const std::uint64_t index : indices)
        if (const auto found = positionOf.find(index); found != positionOf.end() && !done_[found->second])
            first_.push_back(found->second);
}

std::vector<CarvedFileGrader::Result> CarvedFileGrader::take(std::size_t limit) {
    const std::lock_guard lock(mutex_);
    std::vector<Result> taken;
    if (arrived_.size() <= limit) {
        taken.swap(arrived_);
    } else {
        taken.assign(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(limit));
        arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(limit));
    }
    announced_ = !arrived_.empty();
    return taken;
}

bool CarvedFileGrader::finished() const {
    const std::lock_guard lock(mutex_);
    return left_ == 0 && arrived_.empty();
}

void CarvedFileGrader::run() {
    for (;;) {
        std::size_t position = jobs_.size();
        {
            const std::lock_guard lock(mutex_);
            while (!first_.empty() && position == jobs_.size()) {
                if (!done_[first_.front()])
                    position = first_.front();
                first_.pop_front();
            }
            while (position == jobs_.size() && next_ < jobs_.size()) {
                if (!done_[next_])
                    position = next_;
                ++next_;
            }
            if (quit_ || position == jobs_.size())
                return;
            done_[position] = true;
        }
        const Job& job = jobs_[position];
        const std::int64_t zerosBefore = source_->zeroFilledBytes();
        Result result{job.index, gradeCarvedFile(*source_, volumeBytes_, job.file, job.type), false};
        result.partial = source_->zeroFilledBytes() != zerosBefore;
        bool announce = false;
        {
            const std::lock_guard lock(mutex_);
            arrived_.push_back(std::move(result));
            --left_;
            announce = !announced_;
            announced_ = true;
        }
        if (announce)
            emit gradesArrived();
    }
}
