// A slave with one 8-bit and one 32-bit input entry in PDO 0x1A00
// (SyncManager 3) and no outputs, behind a scripted mailbox (FakeMailbox),
// as slave 1 of a context of its own; for the tests of the master's CoE.
#pragma once

#include "engine.h"
#include "fake_mailbox.h"
#include "pdo_sizes.h"

#include <soem/soem.h>

#include <cstring>
#include <memory>

struct CoeSlave {
    explicit CoeSlave(uint8_t coeDetails, uint16_t readSize = 128, bool objects = true)
        : mbx(128, readSize), ctx(new ecx_contextt)
    {
        std::memset(ctx.get(), 0, sizeof(ecx_contextt));
        if (objects) {
            mbx.setList(0x1C12, {}, 2);
            mbx.setList(0x1C13, {0x1A00}, 2);
            mbx.setList(0x1A00, {0x60000108, 0x60000220}, 4);
        }
        mbx.attach(ctx.get(), coeDetails);
    }
    ~CoeSlave() { ecx_close(ctx.get()); }
    ec_slavet &slave() { return ctx->slavelist[1]; }
    ethercat::SlaveBook &book() { return ethercat::bookOf(ctx.get(), 1); }
    bool sizesFromCoe() { return book().inputsFrom == ethercat::SizeSource::CoE; }
    void findSizes() { ethercat::findPdoSizes(ctx.get(), 1); }

    FakeMailbox mbx;
    std::unique_ptr<ecx_contextt> ctx;
};
