#include "pages/SaveResultLine.h"

#include "browser/SaveWalk.h"
#include "common/TextFormat.h"
#include "output/RecoveryReport.h"

std::string saveResultLine(const SaveWalk& walk, const RecoveryReport& report, bool onlyWhole, const std::string& reportError) {
    std::string line = formatText("work done: %lld files written, %lld could not be written",
                                  static_cast<long long>(walk.written()), static_cast<long long>(walk.failed()));
    if (walk.partial() > 0)
        line += formatText(", %lld partial", static_cast<long long>(walk.partial()));
    line += report.skippedNote();
    if (onlyWhole)
        line += formatText(", %lld pictures left out as not whole", static_cast<long long>(walk.leftOut()));
    if (!reportError.empty())
        line += "; " + reportError;
    return line;
}
