#include "pages/EntryPreview.h"

#include <QFileInfo>
#include <QProcess>

#include "app/CVantrelApp.h"
#include "app/PreviewFiles.h"
#include "output/OutputFolder.h"

void previewEntry(EntryView& view, EntryRef entry, QWidget* parent) {
    // The viewer is optional: without it a preview copy would only litter the temporary folder.
    const QString viewer = viewerPath();
    if (!QFileInfo(viewer).isExecutable() || view.isFolder(entry, Placement::Nested))
        return;
    // Asked before the preview folder is made: making it is already a write.
    const std::string& source = theApp()->currentSourcePath;
    if (const QString refusal = previewRefusal(source); !refusal.isEmpty()) {
        static std::string toldFor;  // once per source, not at every row click
        if (toldFor != source)
            theApp()->message(refusal, QMessageBox::Information, parent, QString());
        toldFor = source;
        return;
    }
    const QString folder = previewFolder();
    if (folder.isEmpty())
        return;
    std::string error;
    OutputFile copy = OutputFolder::open(folder.toStdString(), error).createFile(view.name(entry), error);
    const QString target = QString::fromStdString(copy.path());
    if (copy.isOpen() && view.writeContent(entry, copy) && QFileInfo::exists(target))
        QProcess::startDetached(viewer, {target});
}
