// Lists a folder of 10 000 and of 30 000 files in the results page's file list and measures how
// long the window thread goes without turning its event loop (a 5 ms timer notes every gap
// between its ticks) until the last row is in. The entries come from an in-memory view, so what
// is measured is the list's own fill: rows, grades asked for, thumbnails fed.
//
//   pictorva_results_list_bench            (QT_QPA_PLATFORM=offscreen)
// Exit status 1 when a stall passes 100 ms.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "../../tests/unit/browser/FakeEntryView.h"
#include "browser/EntryTreeFill.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "pages/ResultsFileList.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
constexpr double kStallLimitMs = 100;

/// The longest gap between two turns of the event loop while work runs, in ms.
double worstStall(const std::function<void()>& start, const std::function<bool()>& done) {
    QElapsedTimer clock;
    double worst = 0;
    QTimer tick;
    tick.setInterval(5);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
    });
    tick.start();
    clock.start();
    QTimer::singleShot(10, [&] {
        const QElapsedTimer call = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        start();
        worst = std::max(worst, static_cast<double>(call.nsecsElapsed()) / 1e6);
    });
    if (!QTest::qWaitFor([&] { return done(); }, 120000))
        std::printf("the list was not complete after two minutes\n");
    QTest::qWait(20);
    tick.stop();
    return worst;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool held = true;
    for (const int files : {10000, 30000}) {
        FakeEntryView view;
        CXHtmlTree tree;
        CheckTree& items = tree.tree();
        const TreeItemId root = items.InsertItem("ROOT", kTreeRoot, kNoEntryData);
        const EntryRef folder = view.folder(0, "DCIM");
        const TreeItemId folderItem = items.InsertItem("DCIM", root, folder);
        for (int i = 0; i < files; ++i) {
            std::string name("IMG_");  // appended: GCC 12 at -O3 reports a false -Wrestrict for operator+
            name.append(std::to_string(i)).append(".JPG");
            const TreeItemId item = items.InsertItem(name, folderItem, view.file(folder, name, "x", i % 4 == 0));
            if (i % 4 == 0)
                items.SetItemTextColor(item, kDeletedColor);  // deleted pictures: a grade is asked for each
        }
        ResultsFileList list(
            &tree, [](TreeItemId) { return QVariant(); }, [](quint64) { return std::make_optional(std::unique_ptr<GradedBytes>()); },
            [&view](const auto& use) {
                use(view);
                return true;
            });
        list.views()->resize(640, 400);
        list.views()->show();
        QElapsedTimer whole;
        whole.start();
        const double worst = worstStall([&] { list.showFolder(folderItem, root); },
                                        [&] { return list.list()->topLevelItemCount() == files && list.rowsToCome() == 0; });
        std::printf("%d rows: all listed in %lld ms, longest window stall %.1f ms\n", files,
                    static_cast<long long>(whole.elapsed()), worst);
        held = held && worst <= kStallLimitMs && list.list()->topLevelItemCount() == files;
        list.stop();
    }
    return held ? 0 : 1;
}
