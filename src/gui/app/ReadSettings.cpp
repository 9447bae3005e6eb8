#include "app/ReadSettings.h"

#include <QSettings>

#include "disk/readWriteInterface.h"

namespace {
const char* const kRetryTimeKey = "read/retryTime";
/// The sector source's own default, as the command line's --retry-time has it.
constexpr double kDefaultRetrySeconds = 120;
}  // namespace

double retryTimeSetting() {
    bool ok = false;
    const double seconds = QSettings().value(QString::fromLatin1(kRetryTimeKey)).toDouble(&ok);
    return ok && seconds >= 0 ? seconds : kDefaultRetrySeconds;
}

void setRetryTimeSetting(double seconds) { QSettings().setValue(QString::fromLatin1(kRetryTimeKey), seconds); }

void applyReadSettings(readWriteInterface& source) { source.setRetryTime(retryTimeSetting()); }
