// Opening and closing the adapter of a context.
#include "engine.h"
#include "port/platform.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

int attach(ecx_contextt *context, ethercat::Transport *transport, std::unique_ptr<ethercat::Transport> owned)
{
    auto *engine = new (std::nothrow) ethercat::Engine(transport);
    if (!engine)
        return 0;
    engine->owned = std::move(owned);
    context->port.impl = engine;
    return 1;
}

} // namespace

int ecx_init_transport(ecx_contextt *context, ethercat::Transport *transport)
{
    if (!context || !transport)
        return 0;
    // Like ecx_init, this does not look at what the context held before:
    // it may be uninitialised memory.
    context->port.impl = nullptr;
    return attach(context, transport, nullptr);
}

extern "C" int ecx_init(ecx_contextt *context, const char *ifname)
{
    if (!context)
        return 0;
    // The context may be uninitialised memory: what it held is not looked at.
    context->port.impl = nullptr;
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(ifname, &why));
    if (!port) {
        std::fprintf(stderr, "ecx_init: cannot open adapter \"%s\": %s\n", ifname ? ifname : "", why.c_str());
        return 0;
    }
    ethercat::Transport *transport = port.get();
    return attach(context, transport, std::move(port));
}

extern "C" void ecx_close(ecx_contextt *context)
{
    if (!context)
        return;
    delete ethercat::engineOf(context);
    context->port.impl = nullptr;
}
