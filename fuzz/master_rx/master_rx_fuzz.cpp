// Fuzz target: the master's receive path. Frames come off the "wire" as the
// fuzz input says, in answer to whatever the master sends; the master is in
// OP on three simulated slaves (sensor, outputs, inputs) when a call starts,
// or starts from nothing for a whole bring-up.
//
// Input: byte 0 chooses the call, byte 1 the index handling, then the reply
// frames, each as a 2-byte little-endian length and its bytes (the last one
// may be cut short). Each frame the master sends is answered by the next
// reply frame; bit 15 of a length puts one more frame into the same answer
// (a stale or foreign frame ahead of the real one, say). Unless byte 1 says
// otherwise the index of every datagram of a reply is set to the index the
// master is waiting for, so that inputs reach the checks behind the match.
#include "fuzz_check.h"
#include "master_fixture.h"
#include "reply_script.h"
#include "stepped_bring_up.h"

#include <ethercat/transport.h>
#include <soem/soem.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kIomapSize = 4096; // as the pressure link's image

// The master in OP on the model, made once; each run starts from a copy.
struct Started {
    MasterOnSim m{"sensor,dig-out,dig-in"};
    fuzzscript::ScriptTransport script;
    ecx_contextt savedCtx;
    uint8_t savedIomap[sizeof m.iomap];
    std::unique_ptr<SavedMasterRecord> savedRecord;

    Started()
    {
        FUZZ_CHECK(m.sim.ok(), "the model builds the bus");
        FUZZ_CHECK(fuzzbus::steppedBringUp(m, false) > 0, "the bus comes up");
        FUZZ_CHECK(m.c()->slavecount == 3, "three slaves found");
        // From now on the frames come from the fuzz input.
        std::memcpy(&savedCtx, m.c(), sizeof savedCtx);
        std::memcpy(savedIomap, m.iomap, sizeof savedIomap);
        savedRecord = std::make_unique<SavedMasterRecord>(m.c());
        ecx_close(m.c());
    }

    // A context in OP as after the bring-up, talking to the script.
    ecx_contextt *restore()
    {
        std::memcpy(m.c(), &savedCtx, sizeof savedCtx);
        std::memcpy(m.iomap, savedIomap, sizeof savedIomap);
        ecx_init_transport(m.c(), &script);
        // The master's own record of the slaves, as after the bring-up.
        savedRecord->restoreTo(m.c());
        // The slave list still points into `iomap`, which holds the same bytes.
        return m.c();
    }
};

Started &started()
{
    static Started s;
    return s;
}

// Reads every byte the master says a slave's inputs and outputs have, so the
// address sanitizer checks the pointers it handed out.
unsigned touchImage(const ecx_contextt &ctx, const uint8_t *iomap, size_t iomapSize)
{
    unsigned sum = 0;
    const int n = ctx.slavecount < EC_MAXSLAVE ? ctx.slavecount : EC_MAXSLAVE - 1;
    for (int i = 1; i <= n; ++i) {
        const ec_slavet &s = ctx.slavelist[i];
        if (s.inputs) {
            FUZZ_CHECK(s.inputs >= iomap && s.inputs + s.Ibytes <= iomap + iomapSize,
                       "inputs inside the image");
            for (uint32_t b = 0; b < s.Ibytes; ++b)
                sum += s.inputs[b];
        }
        if (s.outputs) {
            FUZZ_CHECK(s.outputs >= iomap && s.outputs + s.Obytes <= iomap + iomapSize,
                       "outputs inside the image");
            for (uint32_t b = 0; b < s.Obytes; ++b)
                sum += s.outputs[b];
        }
    }
    return sum;
}

// A whole bring-up from a cleared context, every reply from the script.
void bringUpFromScript(fuzzscript::ScriptTransport &script)
{
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    std::memset(ctx.get(), 0, sizeof *ctx);
    std::unique_ptr<uint8_t[]> iomap(new uint8_t[kIomapSize]());
    ecx_init_transport(ctx.get(), &script);
    const int slaves = ecx_config_init(ctx.get());
    FUZZ_CHECK(slaves <= EC_MAXSLAVE - 1, "slave count within the slave list");
    if (slaves > 0) {
        const int size = ecx_config_map_group(ctx.get(), iomap.get(), 0);
        // The link refuses an image larger than its buffer before exchanging.
        if (size >= 0 && static_cast<size_t>(size) <= kIomapSize) {
            (void)touchImage(*ctx, iomap.get(), kIomapSize);
            ecx_configdc(ctx.get());
            exchangeProcessData(ctx.get(), 2000);
            ecx_readstate(ctx.get());
        }
    }
    ecx_close(ctx.get());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    Started &s = started();
    const uint8_t call = data[0] % 6;
    s.script.load(data + 2, size - 2, data[1]);

    if (call == 5) {
        bringUpFromScript(s.script);
        return 0;
    }
    ecx_contextt *ctx = s.restore();
    switch (call) {
    case 0: { // the tick's exchange: what the pressure link reads
        const int wkc = exchangeProcessData(ctx, 2000);
        FUZZ_CHECK(wkc == EC_NOFRAME || wkc >= 0, "working counter or no frame");
        break;
    }
    case 1: // the tick's health check
        ecx_readstate(ctx);
        break;
    case 2:
        ecx_statecheck(ctx, 1, EC_STATE_OPERATIONAL, 100);
        break;
    case 3:
        ecx_configdc(ctx);
        break;
    case 4:
        ctx->slavelist[0].state = EC_STATE_INIT;
        ecx_writestate(ctx, 0);
        break;
    }
    (void)touchImage(*ctx, s.m.iomap, sizeof s.m.iomap);
    ecx_close(ctx);
    return 0;
}
