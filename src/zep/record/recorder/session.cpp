// Starts the recorder when the library is loaded with STA_MEAS_RECORD set,
// closes the file when it is unloaded, and flushes what is buffered if the
// process dies of a signal, so that a crash leaves every complete event.
// A file that cannot be made or written is said once, in the framework's log
// and on standard error, and recording stops: the module itself goes on.
#include <signal.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "recorder.hpp"
#include "zep_dbg.h"

extern "C" {
void __real_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
}

zep::record::Writer *zep_record_writer = nullptr;

namespace zep::record::recorder {

namespace {

constexpr u64 kDefaultMaxBytes = 64ull << 20;
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Static storage: the writer's block buffers and channels (3 MiB) cost no
// heap, ever, and no memory at all unless recording: the writer is made in
// them only when STA_MEAS_RECORD names a file, and a page never touched is
// never given to the process.
alignas(Writer) unsigned char g_storage[sizeof(Writer)];
Writer *g_file = nullptr;
struct sigaction g_previous[std::size(kFatalSignals)];
bool g_clockStarted = false;
u32 g_lastTick = 0;
u64 g_ticks = 0;

// The file's name as it was given: the environment may change later.
char g_path[4096];

// The recorder's lines go under the module's own id, so that whoever follows
// the module in the access point's log sees why its recording is missing. The
// id is the one the module registers with; a line said before that (the file
// cannot be made when the library is loaded) waits for it. The lines
// themselves are not recorded: a replay does not make them.
bool g_registered = false;
u32 g_appId = 0;
char g_unsaid[sizeof g_path + 256];

void sayInFrameworkLog(const char *text)
{
    __real_ZEP_DBG_Print(ZEP_DBG_ERROR, g_appId, 0, nullptr, "sta-meas recorder: %s\r\n", text);
}

__attribute__((format(printf, 1, 2))) void sayRecordingStopped(const char *format, ...)
{
    char text[sizeof g_unsaid];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "sta-meas recorder: %s\n", text);
    if (g_registered) {
        sayInFrameworkLog(text);
    } else {
        std::snprintf(g_unsaid, sizeof g_unsaid, "%s", text);
    }
}

void onWriteFailure(int error)
{
    sayRecordingStopped("recording to %s stopped at byte %llu: %s", g_path,
                        static_cast<unsigned long long>(g_file->bytesWritten()), std::strerror(error));
}

u64 maxBytesFromEnv()
{
    const char *text = std::getenv("STA_MEAS_RECORD_MAX");
    if (text == nullptr || *text == '\0') {
        return kDefaultMaxBytes;
    }
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return *end == '\0' && value > 0 ? value : kDefaultMaxBytes;
}

void onFatalSignal(int sig)
{
    g_file->onFailure(nullptr);  // the logger is no place to go from a signal handler
    g_file->flush(false);  // no compression: nothing but write(2) in a signal handler
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        if (kFatalSignals[i] == sig) {
            sigaction(sig, &g_previous[i], nullptr);
        }
    }
    raise(sig);
}

// The handlers live in this library: once it is unloaded they must be gone,
// or the next crash jumps into unmapped code (and a reload would take its own
// handler for the previous one, and raise into itself forever).
void releaseFatalSignals()
{
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        sigaction(kFatalSignals[i], &g_previous[i], nullptr);
    }
}

void catchFatalSignals()
{
    struct sigaction action = {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        sigaction(kFatalSignals[i], &action, &g_previous[i]);
    }
}

bool startRecording()
{
    const char *path = std::getenv("STA_MEAS_RECORD");
    if (path == nullptr || *path == '\0') {
        return false;
    }
    std::snprintf(g_path, sizeof g_path, "%s", path);
    g_file = new (g_storage) Writer;  // not Writer(): its buffers need no zeroing
    if (!g_file->open(path, maxBytesFromEnv())) {
        sayRecordingStopped("cannot record to %s: %s", g_path, std::strerror(g_file->error()));
        return false;
    }
    g_file->onFailure(onWriteFailure);
    zep_record_writer = g_file;
    catchFatalSignals();
    return true;
}
// Initialised after g_file (same file, later line), so its place is ready.
const bool g_started = startRecording();

__attribute__((destructor)) void stopRecording()
{
    if (zep_record_writer != nullptr) {
        releaseFatalSignals();
        g_file->close(EndReason::closed);
        zep_record_writer = nullptr;
    }
}

}  // namespace

void moduleRegistered(u32 appId)
{
    if (g_registered) {
        return;
    }
    g_registered = true;
    g_appId = appId;
    if (g_unsaid[0] != '\0') {
        sayInFrameworkLog(g_unsaid);
        g_unsaid[0] = '\0';
    }
}

void recordCallOutOfLine(const RecordedCall &call, u64 ret, std::span<const u8> out)
{
    recordCall(call, ret, out);
}

u64 elapsedMs()
{
    // The recorder's own clock reads are not recorded: a replay does not make them.
    const u32 tick = __real_ZEP_GetTick();
    if (!g_clockStarted) {
        g_clockStarted = true;
        g_lastTick = tick;
    }
    g_ticks += static_cast<u32>(tick - g_lastTick);
    g_lastTick = tick;
    return static_cast<u64>(__real_ZEP_TmTickToMillSec(1000000)) * g_ticks / 1000000;
}

}  // namespace zep::record::recorder
