#pragma once
// Reading whole drives needs root (or the disk group). The first page marks the drives this user
// cannot read, and "Run as administrator" starts the wizard again through pkexec, whose polkit
// action (installed with the package) names the installed program. Disk images never need it.

#include <QString>
#include <QStringList>
#include <string>

/// True when this user may not open path for reading (EACCES, EPERM); a path that is missing or
/// otherwise broken is no matter of rights and gives false.
bool lacksReadRights(const std::string& path);

/// The program and arguments that start program again as root.
struct AdminCommand {
    QString program;
    QStringList arguments;
};
AdminCommand administratorCommand(const QString& program);
