#include "pages/SaveOptionsBox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <ctime>

#include "output/OutputFolder.h"
#include "output/RecoveryReport.h"

SaveOptionsBox::SaveOptionsBox(QWidget* parent)
    : QWidget(parent),
      report_(new QCheckBox(QStringLiteral("Write a report (report.xml)"))),
      skipIdentical_(new QCheckBox(QStringLiteral("Skip identical files"))),
      onlyWhole_(new QCheckBox(QStringLiteral("Only whole files"))) {
    report_->setObjectName(QStringLiteral("reportCheck"));
    report_->setChecked(true);
    report_->setToolTip(QStringLiteral("List every saved file with where it was found and its SHA-256 in report.xml "
                                       "beside the saved files"));
    skipIdentical_->setObjectName(QStringLiteral("skipIdenticalCheck"));
    skipIdentical_->setToolTip(QStringLiteral("Save a file only once when the same file was found twice (same SHA-256); "
                                              "the report names the copy that was saved"));
    onlyWhole_->setObjectName(QStringLiteral("onlyWholeCheck"));
    onlyWhole_->setToolTip(QStringLiteral("Leave out found pictures that do not decode completely (damaged or unreadable); "
                                          "other files are saved"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(report_);
    row->addWidget(skipIdentical_);
    row->addWidget(onlyWhole_);
    row->addStretch(1);
}

std::unique_ptr<RecoveryReport> SaveOptionsBox::startReport(const OutputFolder& folder, const std::string& source,
                                                            std::uint64_t volumeOffset, std::string& error) const {
    auto report = std::make_unique<RecoveryReport>(folder.path(), skipIdentical_->isChecked());
    if (!report_->isChecked())
        return report;
    // Made through the folder, so an earlier report or a recovered file of that name stays.
    OutputFile made = folder.createFile("report.xml", error);
    if (!made.isOpen())
        return nullptr;
    if (!report->addReport(std::move(made), ReportSource{source, volumeOffset, "pictorva", std::time(nullptr)}, error))
        return nullptr;
    return report;
}
