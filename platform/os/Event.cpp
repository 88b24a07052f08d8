#include "platform/os/Event.h"

#include <map>
#include <memory>
#include <string>

#include "platform/os/Waits.h"

namespace os {
namespace {

struct EventObject {
    bool manualReset;
    bool signalled;
    std::string name;
    int32_t handles = 0;
};

struct Registry {
    std::map<std::string, std::shared_ptr<EventObject>> named;  // guarded by the wait lock
};
Registry& state = *new Registry;  // never destroyed, like the clock

}  // namespace

struct Event {
    std::shared_ptr<EventObject> object;
};

Event* CreateEvent(bool manualReset, bool initiallySignalled, const char* name) {
    std::unique_lock<std::mutex> lock(detail::WaitLock());
    std::shared_ptr<EventObject> object;
    if (name) {
        auto found = state.named.find(name);
        if (found != state.named.end()) object = found->second;
    }
    if (!object) {
        object = std::make_shared<EventObject>(
            EventObject{manualReset, initiallySignalled, name ? name : ""});
        if (name) state.named[name] = object;
    }
    ++object->handles;
    return new Event{std::move(object)};
}

void SetEvent(Event* event) {
    if (!event) return;
    std::unique_lock<std::mutex> lock(detail::WaitLock());
    event->object->signalled = true;
    detail::WakeWaiters(lock);
}

void ResetEvent(Event* event) {
    if (!event) return;
    std::unique_lock<std::mutex> lock(detail::WaitLock());
    event->object->signalled = false;
}

uint32_t WaitForSingleObject(Event* event, uint32_t timeoutMillis) {
    if (!event) return kWaitFailed;
    EventObject& object = *event->object;
    std::unique_lock<std::mutex> lock(detail::WaitLock());
    if (!detail::TimedWait(lock, [&] { return object.signalled; }, timeoutMillis))
        return kWaitTimeout;
    if (!object.manualReset) object.signalled = false;
    return kWaitObject0;
}

void CloseHandle(Event* event) {
    if (!event) return;
    {
        std::unique_lock<std::mutex> lock(detail::WaitLock());
        EventObject& object = *event->object;
        if (--object.handles == 0 && !object.name.empty()) state.named.erase(object.name);
    }
    delete event;
}

int32_t OpenEventHandles(const char* name) {
    std::unique_lock<std::mutex> lock(detail::WaitLock());
    auto found = state.named.find(name);
    return found == state.named.end() ? 0 : found->second->handles;
}

}  // namespace os
