// The sinks of the run, as chosen when it starts, and the delivery of each
// event of the walk to every sink that hears it.
#include "common/sink.h"

// The report's sink, then the export's (either may be null until chosen).
static const Sink *sinks[2] = {nullptr, nullptr};

void useReportSink(const Sink *sink) { sinks[0] = sink; }
void useExportSink(const Sink *sink) { sinks[1] = sink; }
const Sink &reportSink() { return *sinks[0]; }
const Sink *exportSink() { return sinks[1]; }

void deliverDriveStarted() {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->driveStarted != nullptr) sink->driveStarted();
}

void deliverDirEntered(const char *path, size_t length, const char *name) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->dirEntered != nullptr) sink->dirEntered(path, length, name);
}

void deliverFileListed(const FindData &file) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->fileListed != nullptr) sink->fileListed(file);
}

void deliverDirFilesDone(uint32_t errorCode) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->dirFilesDone != nullptr) sink->dirFilesDone(errorCode);
}

void deliverDirFinished(const char *path, size_t length, const DirFigures &figures) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->dirFinished != nullptr) sink->dirFinished(path, length, figures);
}

void deliverDirNotRead(uint32_t errorCode, const char *path, size_t length, const char *name) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->dirNotRead != nullptr) sink->dirNotRead(errorCode, path, length, name);
}

void deliverDirExcluded(const char *path, size_t length, const char *name) {
    for (const Sink *sink : sinks)
        if (sink != nullptr && sink->dirExcluded != nullptr) sink->dirExcluded(path, length, name);
}
