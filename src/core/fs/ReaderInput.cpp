#include "fs/ReaderInput.h"

#include "app/StopFlag.h"

void ReaderInput::attach(StopFlag& readerStop) const {
    readerStop.attachGate(pauseGate);
    readerStop.attachRequest(stopRequest);
}
