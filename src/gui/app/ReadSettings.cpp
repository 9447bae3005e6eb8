#include "app/ReadSettings.h"

#include <QSettings>

#include "disk/PositionedSource.h"

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

void applyReadSettings(PositionedSource& source) { source.setRetryTime(retryTimeSetting()); }
