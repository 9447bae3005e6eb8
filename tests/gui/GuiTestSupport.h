#pragma once
// What several GUI tests need alike: the application's message and question boxes answered
// without a person, and the tools that make test images run to their end.

#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/CVantrelApp.h"

/// Message boxes are collected as "caption: text" in messages; questions are answered No, links
/// count as opened, and no physical drive is listed.
inline void answerBoxesWithoutAPerson(QStringList& messages) {
    theApp()->messageHook = [&messages](const QString& text, const QString& caption, QMessageBox::Icon) {
        messages << caption + QStringLiteral(": ") + text;
    };
    theApp()->questionHook = [](const QString&) { return false; };
    theApp()->urlHook = [](const QUrl&) { return true; };
    theApp()->deviceSource = [] { return CVantrelApp::Devices{}; };
}

/// Runs program to its end (mtools without its disk-geometry check); true when it exited with 0.
inline bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
