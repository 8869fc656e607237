// The application's lifecycle: finding its registration entry (linked in or in
// a shared library), registration, the start-up phases and de-initialisation.
#include <dlfcn.h>

#include "host_impl.hpp"

namespace zep::host {

void detail::CloseLibrary::operator()(void *handle) const { dlclose(handle); }

void Host::useLinkedApp(RegEntry entry) { impl_->entry = entry; }

bool Host::loadSharedApp(const std::string &path, std::string *error)
{
    auto fail = [error](std::string reason) {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return false;
    };
    // RTLD_LOCAL keeps the application's own symbols out of the global scope;
    // the framework's symbols it needs come from this program.
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *why = dlerror();
        return fail(why != nullptr ? why : "dlopen failed");
    }
    void *symbol = dlsym(handle, "ZEP_STA_RegStaMeasApp");
    if (symbol == nullptr) {
        dlclose(handle);
        return fail(path + ": no ZEP_STA_RegStaMeasApp");
    }
    impl_->library.reset(handle);
    impl_->entry = reinterpret_cast<RegEntry>(symbol);
    return true;
}

u32 Host::registerApp()
{
    const u32 status = impl_->entry != nullptr ? impl_->entry() : kErrNoResource;
    if (impl_->observer != nullptr) {
        impl_->observer->onAppRegistered(status);
    }
    return status;
}

u32 Host::initPhase(u32 phase)
{
    const ZEP_AppInfo *app = impl_->app;
    const u32 status = app != nullptr && app->init != nullptr ? app->init(phase) : kErrNoResource;
    if (impl_->observer != nullptr) {
        impl_->observer->onPhase(phase, status);
    }
    return status;
}

u32 Host::start()
{
    if (const u32 status = registerApp(); status != 0) {
        return status;
    }
    // Phase 1 registers handlers that rely on the data phase 0 made.
    if (const u32 status = initPhase(0); status != 0) {
        return status;
    }
    return initPhase(1);
}

// The record stays known after de-initialisation: the application is still
// mapped, and a test may want to look at what it left registered.
u32 Host::deinit()
{
    const ZEP_AppInfo *app = impl_->app;
    const u32 status = app != nullptr && app->deInit != nullptr ? app->deInit() : kErrNoResource;
    if (impl_->observer != nullptr) {
        impl_->observer->onDeinit(status);
    }
    return status;
}

void Host::forgetApp()
{
    Impl &s = *impl_;
    s.app = nullptr;
    s.handlers.clear();
    s.cfgHandlers.clear();
    s.primHandlers.clear();
    s.timers = detail::TimerQueue{};
    s.actions = detail::ActionQueue{};
    s.nowMs = 0;
    s.faults.clear();
    clearCaptures();
}

const ZEP_AppInfo *Host::appInfo() const { return impl_->app; }

}  // namespace zep::host

using namespace zep::host;

u32 emulated::ZEP_MNG_RegApp(u32 /*appId*/, u32 /*phaseNum*/, const ZEP_AppInfo *appInfo)
{
    if (auto status = detail::refusal(detail::Op::ZEP_MNG_RegApp, appInfo)) {
        return *status;
    }
    Host::Impl &s = detail::state();
    if (s.app != nullptr) {
        return kErrDuplicate;
    }
    // The framework keeps the pointer, not a copy: the record is the
    // application's and lives as long as it is loaded.
    s.app = appInfo;
    return 0;
}
