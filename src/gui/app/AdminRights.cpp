#include "app/AdminRights.h"

#include <cerrno>
#include <unistd.h>

bool lacksReadRights(const std::string& path) {
    if (::access(path.c_str(), R_OK) == 0)
        return false;
    return errno == EACCES || errno == EPERM;
}

AdminCommand administratorCommand(const QString& program) {
    // pkexec passes DISPLAY and XAUTHORITY on when the action allows a GUI; nothing else is needed.
    return {QStringLiteral("pkexec"), {program}};
}
