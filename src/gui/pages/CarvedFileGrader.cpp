#include "pages/CarvedFileGrader.h"

#include "disk/readWriteInterface.h"
#include "raw/CarvedFileGrade.h"
#include "raw/myJpg.h"

CarvedFileGrader::CarvedFileGrader(std::unique_ptr<readWriteInterface> source, std::uint64_t volumeBytes, const myJpg& engine)
    : source_(std::move(source)), volumeBytes_(volumeBytes), engine_(engine), done_(engine.carvedFileCount(), false),
      left_(done_.size()) {}

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
    const std::lock_guard lock(mutex_);
    first_.assign(indices.begin(), indices.end());
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

std::optional<std::uint64_t> CarvedFileGrader::next() {
    const std::lock_guard lock(mutex_);
    if (quit_)
        return std::nullopt;
    while (!first_.empty()) {
        const std::uint64_t index = first_.front();
        first_.pop_front();
        if (index < done_.size() && !done_[index]) {
            done_[index] = true;
            return index;
        }
    }
    for (; next_ < done_.size(); ++next_)
        if (!done_[next_]) {
            done_[next_] = true;
            return next_++;
        }
    return std::nullopt;
}

void CarvedFileGrader::run() {
    while (const std::optional<std::uint64_t> index = next()) {
        // The list of carved files is read here, not on the window thread: ten thousand of them
        // take a while to go through.
        std::optional<formats::PictureGrade> grade;
        const std::int64_t zerosBefore = source_->zeroFilledBytes();
        if (const std::optional<CarvedFile> file = engine_.carvedFile(*index))
            grade = gradeCarvedFile(*source_, volumeBytes_, *file, engine_.carvedFileType(*file));
        bool announce = false;
        {
            const std::lock_guard lock(mutex_);
            --left_;
            if (grade) {
                arrived_.push_back({*index, *grade, source_->zeroFilledBytes() != zerosBefore});
                announce = !announced_;
                announced_ = true;
            }
        }
        if (announce)
            emit gradesArrived();
    }
}
