#include "output/RecoveryReport.h"

#include <sys/stat.h>
#include <unistd.h>

#include "output/FileHash.h"

bool RecoveryReport::addReport(const std::string& path, const ReportSource& source, std::string& error) {
    return keep(ReportWriter::open(path, source, error));
}

bool RecoveryReport::addReport(OutputFile made, const ReportSource& source, std::string& error) {
    return keep(ReportWriter::open(std::move(made), source, error));
}

bool RecoveryReport::keep(std::unique_ptr<ReportWriter> writer) {
    if (!writer)
        return false;
    writers_.push_back(std::move(writer));
    return true;
}

std::string RecoveryReport::relative(const std::string& path) const {
    std::string root = root_;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    if (path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/')
        return path.substr(root.size() + 1);
    return path;
}

bool RecoveryReport::fileWritten(const std::string& writtenPath, ReportRecord record, bool useFileTime) {
    if (!active())
        return true;
    record.filename = relative(writtenPath);
    const std::optional<FileHash> hash = hashFile(writtenPath);
    if (hash) {
        record.sha256 = hash->sha256;
        record.filesize = hash->size;
        if (useFileTime && !record.mtime)
            record.mtime = hash->mtime;
    }
    bool kept = true;
    if (hash && skipIdentical_) {
        const auto [saved, first] = savedByHash_.try_emplace(hash->sha256, record.filename);
        struct stat st {};
        // Removed only when the path still names the file that was read.
        if (!first && ::lstat(writtenPath.c_str(), &st) == 0 && st.st_dev == hash->device && st.st_ino == hash->inode &&
            ::unlink(writtenPath.c_str()) == 0) {
            record.identicalTo = saved->second;
            ++skipped_;
            kept = false;
        }
    }
    for (const auto& writer : writers_)
        writer->add(record);
    return kept;
}

std::string RecoveryReport::skippedNote() const {
    return skipped_ == 0 ? std::string() : ", " + std::to_string(skipped_) + (skipped_ == 1 ? " identical file skipped" : " identical files skipped");
}

bool RecoveryReport::finish(std::string& error) {
    bool ok = true;
    for (const auto& writer : writers_)
        ok = writer->finish(error) && ok;
    return ok;
}
