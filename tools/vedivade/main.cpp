// vedivade FILE: the preview viewer the wizard starts on a recovered or carved file.
#include <QApplication>
#include <cstdio>

#include "VedivadeWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("vedivade"));
    const QStringList arguments = app.arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: vedivade FILE\n");
        return 2;
    }
    VedivadeWindow window(arguments.at(1));
    window.show();
    return app.exec();
}
