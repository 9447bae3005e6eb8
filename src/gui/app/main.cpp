// pictorva: the desktop wizard. The instance lock is taken before anything else, as the first
// step of start-up; the rest is CVantrelApp's.

#include "app/CVantrelApp.h"
#include "app/InstanceLock.h"

int main(int argc, char** argv) {
    InstanceLock lock;
    CVantrelApp app(argc, argv);
    QStringList images = CVantrelApp::arguments();
    images.removeFirst();
    return app.InitInstance(lock.alreadyRunning(), images);
}
