#include "output/ReportWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "common/ListTextFormat.h"
#include "common/TextFormat.h"
#include "output/CsvReportWriter.h"
#include "output/DfxmlWriter.h"
#include "output/OutputFolder.h"

namespace {
bool endsWith(const std::string& path, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return path.size() > n && strcasecmp(path.c_str() + path.size() - n, tail) == 0;
}
}  // namespace

ReportWriter::~ReportWriter() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool ReportWriter::knownForm(const std::string& path) { return endsWith(path, ".xml") || endsWith(path, ".csv"); }

std::unique_ptr<ReportWriter> ReportWriter::open(const std::string& path, const ReportSource& source, std::string& error) {
    if (!knownForm(path)) {
        error = path + ": a report is written as .xml (DFXML) or .csv";
        return nullptr;
    }
    OutputFile made = OutputFolder::createNew(path, source.imageFilename, error);
    if (!made.isOpen())
        return nullptr;
    return open(std::move(made), source, error);
}

std::unique_ptr<ReportWriter> ReportWriter::open(OutputFile made, const ReportSource& source, std::string& error) {
    const std::string path = made.path();
    if (!knownForm(path)) {
        error = path + ": a report is written as .xml (DFXML) or .csv";
        made.discard();
        return nullptr;
    }
    const int fd = made.releaseDescriptor();
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        error = formatText("%s: %s", path.c_str(), std::strerror(fd >= 0 ? errno : EBADF));
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    if (endsWith(path, ".xml"))
        return std::make_unique<DfxmlWriter>(file, path, source);
    return std::make_unique<CsvReportWriter>(file, path);
}

bool ReportWriter::finish(std::string& error) {
    if (file_ == nullptr)
        return true;
    writeTail();
    const bool written = std::ferror(file_) == 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (!written || closed != 0) {
        error = formatText("%s: %s", path_.c_str(), std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    return true;
}

std::string reportTime(std::time_t t) { return isoUtcTime(t); }
