// Opening and closing the adapter of a context.
#include "engine.h"
#include "error_list.h"
#include "port/platform.h"

#include <new>
#include <string>

namespace {

// A fresh session for `context`: the earlier one's bookkeeping, reasons and
// error list are dropped.
int attach(ecx_contextt *context, ethercat::Transport *transport, std::unique_ptr<ethercat::Transport> owned)
{
    std::unique_ptr<ethercat::Engine> engine(new (std::nothrow) ethercat::Engine(transport));
    if (!engine)
        return 0;
    engine->owned = std::move(owned);
    ethercat::clearErrors(context);
    ethercat::resetState(context, std::move(engine));
    return 1;
}

} // namespace

int ecx_init_transport(ecx_contextt *context, ethercat::Transport *transport)
{
    if (!context || !transport)
        return 0;
    // Like ecx_init, this does not look at what the context held before:
    // it may be uninitialised memory.
    return attach(context, transport, nullptr);
}

extern "C" int ecx_init(ecx_contextt *context, const char *ifname)
{
    if (!context)
        return 0;
    // The context may be uninitialised memory: what it held is not looked at.
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(ifname, &why));
    if (!port) {
        ethercat::clearErrors(context);
        ethercat::resetState(context, nullptr);
        ethercat::report(context, "ecx_init: cannot open adapter \"" + std::string(ifname ? ifname : "") + "\": " + why);
        return 0;
    }
    ethercat::Transport *transport = port.get();
    return attach(context, transport, std::move(port));
}

extern "C" void ecx_close(ecx_contextt *context)
{
    if (!context)
        return;
    ethercat::closeEngine(context);
}
