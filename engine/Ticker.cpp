// The tick thread: calls the scene's callback about every 10 ms (5 ms sleep,
// the call, up to 5 ms waiting for the stop event) until StopTicker.
//
// Each thread gets its own run record with its own handles to the two events,
// so a thread that StopTicker gave up on (a callback running past the 200 ms
// bound) never touches the handles StopTicker closed, and its run state tells
// it never to call the callback again.
#include <atomic>
#include <memory>

#include "engine/Engine.h"
#include "platform/os/Event.h"
#include "platform/os/Thread.h"

namespace {

constexpr const char* kStopEventName = "TessaryFinTimer";
constexpr const char* kDoneEventName = "TessaryFinTimer2";
constexpr uint32_t kSleepMillis = 5;
constexpr uint32_t kStopWaitMillis = 5;
constexpr uint32_t kStopBoundMillis = 200;

enum RunPhase : int32_t { kIdle, kCalling, kAbandoned };

struct Run {
    TickCallback callback;
    os::Event* stop;  // the thread's own handles
    os::Event* done;
    std::atomic<int32_t> phase{kIdle};
};

struct {
    std::atomic<int32_t> running{0};
    std::atomic<TickCallback> callback{nullptr};
    std::atomic<int32_t> paused{0};
    os::Event* stop = nullptr;
    os::Event* done = nullptr;
    std::shared_ptr<Run> run;  // the current thread's record, shared with it
} ticker;

// Calls the callback unless the run was given up; false once it was.
bool CallUnlessAbandoned(Run& run) {
    int32_t expected = kIdle;
    if (!run.phase.compare_exchange_strong(expected, kCalling, std::memory_order_relaxed))
        return false;
    run.callback();
    expected = kCalling;
    return run.phase.compare_exchange_strong(expected, kIdle, std::memory_order_relaxed);
}

uint32_t TickThread(void* argument) {
    std::shared_ptr<Run> run = std::move(*static_cast<std::shared_ptr<Run>*>(argument));
    delete static_cast<std::shared_ptr<Run>*>(argument);
    bool abandoned = false;
    for (;;) {
        os::Sleep(kSleepMillis);
        if (run->callback && ticker.paused.load(std::memory_order_relaxed) == 0) {
            if (!CallUnlessAbandoned(*run)) {
                abandoned = true;
                break;
            }
        } else if (run->phase.load(std::memory_order_relaxed) == kAbandoned) {
            abandoned = true;
            break;
        }
        if (os::WaitForSingleObject(run->stop, kStopWaitMillis) == os::kWaitObject0) break;
    }
    if (!abandoned) os::SetEvent(run->done);
    os::CloseHandle(run->stop);
    os::CloseHandle(run->done);
    return 0;
}

}  // namespace

void Engine::StartTicker(TickCallback callback) {
    if (ticker.running.load(std::memory_order_relaxed) == 1) return;
    ticker.callback.store(callback, std::memory_order_relaxed);
    ticker.paused.store(0, std::memory_order_relaxed);
    ticker.stop = os::CreateEvent(false, false, kStopEventName);
    ticker.done = os::CreateEvent(false, false, kDoneEventName);
    // A thread given up on earlier may still hold these names open, with a
    // stop signal it never took: start from non-signalled regardless.
    os::ResetEvent(ticker.stop);
    os::ResetEvent(ticker.done);

    auto run = std::make_shared<Run>();
    run->callback = callback;
    run->stop = os::CreateEvent(false, false, kStopEventName);
    run->done = os::CreateEvent(false, false, kDoneEventName);
    auto* handOver = new std::shared_ptr<Run>(run);
    if (os::Thread* thread = os::CreateThread(&TickThread, handOver)) {
        ticker.run = std::move(run);
        os::CloseHandle(thread);
    } else {
        delete handOver;
        os::CloseHandle(run->stop);
        os::CloseHandle(run->done);
    }
    ticker.running.store(1, std::memory_order_relaxed);
}

void Engine::StopTicker() {
    if (ticker.running.load(std::memory_order_relaxed) == 0) return;
    os::SetEvent(ticker.stop);
    if (os::WaitForSingleObject(ticker.done, kStopBoundMillis) != os::kWaitObject0 && ticker.run)
        ticker.run->phase.store(kAbandoned, std::memory_order_relaxed);
    ticker.run.reset();
    os::CloseHandle(ticker.stop);
    os::CloseHandle(ticker.done);
    ticker.stop = nullptr;
    ticker.done = nullptr;
    ticker.running.store(0, std::memory_order_relaxed);
}

void Engine::ToggleTicker() {
    ticker.paused.store(ticker.paused.load(std::memory_order_relaxed) == 0 ? 1 : 0,
                        std::memory_order_relaxed);
}
