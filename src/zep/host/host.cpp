// The Host object: the one live instance behind the C entry points, its
// captures and settings, and the MAC text helpers.
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "host_impl.hpp"

namespace zep::host {

namespace {

// The framework's C entry points carry no context, so they reach the state
// through this one pointer; two hosts at once would make that ambiguous.
Host *g_current = nullptr;

}  // namespace

Host::Host(Profile profile) : impl_(std::make_unique<Impl>(profile))
{
    if (g_current != nullptr) {
        std::fputs("zep host: a second Host was created while one is alive\n", stderr);
        std::abort();
    }
    g_current = this;
    detail::liveImpl = impl_.get();
}

Host::~Host()
{
    // The Impl frees every block, pool, table and area still live, then closes
    // the application library; only then do the entry points lose their host.
    // What the library logs while it is unloaded (a recorder's last word) is
    // dropped: the captures and the observer are gone by then.
    impl_->observer = nullptr;
    impl_->logThreshold = ~0u;
    impl_.reset();
    detail::liveImpl = nullptr;
    detail::g_tap = nullptr;
    g_current = nullptr;
}

Host &Host::current()
{
    if (g_current == nullptr) {
        std::fputs("zep host: a framework function was called with no Host alive\n", stderr);
        std::abort();
    }
    return *g_current;
}

void detail::noLiveHost()
{
    Host::current();  // aborts with the reason
    std::abort();
}

Host::Impl &Host::impl() { return *impl_; }

const Profile &Host::profile() const { return impl_->profile; }

const std::vector<SentMessage> &Host::sent() const { return impl_->sent; }

const std::vector<LogLine> &Host::logs() const { return impl_->logs; }

void Host::clearCaptures()
{
    impl_->sent.clear();
    impl_->logs.clear();
}

void Host::setLogThreshold(u32 minSeverity) { impl_->logThreshold = minSeverity; }

void Host::setLogToStderr(bool on) { impl_->logToStderr = on; }

void Host::setCaptureLogs(bool on) { impl_->captureLogs = on; }

void Host::setCaptureSent(bool on) { impl_->captureSent = on; }

u64 Host::formattedLogLines() const { return impl_->formattedLogLines; }

void Host::setObserver(Observer *observer) { impl_->observer = observer; }

void Host::setCallTap(CallTap *tap) { detail::g_tap = tap; }

Memory &Host::memory() { return impl_->memory; }

Faults &Host::faults() { return impl_->faults; }

std::string formatMac(const Mac &mac)
{
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::optional<Mac> parseMac(std::string_view text)
{
    std::size_t stride = 2;  // bare digits
    if (text.size() == 17) {
        const char sep = text[2];
        if (sep != ':' && sep != '-') {
            return std::nullopt;
        }
        for (std::size_t i = 2; i < text.size(); i += 3) {
            if (text[i] != sep) {
                return std::nullopt;
            }
        }
        stride = 3;
    } else if (text.size() != 12) {
        return std::nullopt;
    }
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        // Two hex digits exactly: from_chars takes no sign or prefix for an unsigned value.
        const char *digits = text.data() + i * stride;
        const auto [end, error] = std::from_chars(digits, digits + 2, mac[i], 16);
        if (error != std::errc{} || end != digits + 2) {
            return std::nullopt;
        }
    }
    return mac;
}

}  // namespace zep::host
