#pragma once
// Where Save and the double-click copy write: a folder the user picks, never one on the medium
// being recovered, opened (made when missing) when a copy starts.

#include <QString>
#include <functional>

#include "output/OutputFolder.h"

class QWidget;

class OutputFolderChoice {
public:
    /// Boxes about the choice appear over parent.
    explicit OutputFolderChoice(QWidget* parent) : parent_(parent) {}

    /// Asks for the folder (ask, or the folder dialog when ask is empty); false, after saying
    /// why, when none was chosen or it lies on the source medium.
    bool choose(const std::function<QString(QWidget*)>& ask);
    bool chosen() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }
    /// The chosen folder opened; not open, after saying why, otherwise.
    OutputFolder open() const;

private:
    QWidget* parent_;
    QString path_;
};
