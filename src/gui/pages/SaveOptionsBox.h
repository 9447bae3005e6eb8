#pragma once
// The save options both result pages offer beside Save: a report of the saved files written
// beside them (on by default), saving a file identical to one already saved only once, and
// leaving out pictures that do not decode whole.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

class QCheckBox;
class OutputFolder;
class RecoveryReport;

class SaveOptionsBox : public QWidget {
    Q_OBJECT
public:
    explicit SaveOptionsBox(QWidget* parent = nullptr);

    QCheckBox* reportCheck() const { return report_; }
    QCheckBox* skipIdenticalCheck() const { return skipIdentical_; }
    QCheckBox* onlyWholeCheck() const { return onlyWhole_; }

    /// The save run's report over folder: report.xml made in it (under the next free name when
    /// one is there) when asked for. Nothing, with error set, when it cannot be made.
    std::unique_ptr<RecoveryReport> startReport(const OutputFolder& folder, const std::string& source,
                                                std::uint64_t volumeOffset, std::string& error) const;

private:
    QCheckBox* report_;
    QCheckBox* skipIdentical_;
    QCheckBox* onlyWhole_;
};
