// Behaviour of real slave controllers that the in-process model does not
// show, laid over the model's replies (SimTransport::rewrite) for chosen
// slaves. Written from the ESC's documented behaviour, not from the master:
// - SII interface (0x0500-0x050F): a command written to 0x0502 starts only
//   after the end of the frame that wrote it and keeps the interface busy
//   for a while; a read in that frame, or while busy, sees the previous
//   command's data; commands written while busy are ignored; a command
//   written while the command error bit (13) is set waits until command 000
//   clears it; after power-up the interface is busy while the ESC loads the
//   EEPROM; the data register holds 4 or 8 bytes (bit 6);
//   while the slave's processor holds the EEPROM (0x0501 bit 0) or it is
//   offered to it (0x0500 bit 0), writes to control and address are ignored,
//   and writing 0x0500 with bit 1 (force ECAT access) takes it back.
// - Register contents the master reads (ESC features, FMMU count).
// - A 32-bit distributed clock (features bit 3 clear): the upper halves of
//   the 64-bit time registers are not there (they read 0).
// Slaves are named by position (0 = first); their station addresses are
// learnt from the master's writes to 0x0010.
#pragma once

#include "sim_transport.h"

#include <cstdint>
#include <map>
#include <vector>

class EscQuirks {
public:
    explicit EscQuirks(SimTransport &t);

    struct Sii {
        std::vector<uint16_t> image;  // the EEPROM content
        bool eightBytes = false;      // data register of 8 bytes, else 4
        int busyFrames = 1;           // frames after the command frame that still see busy, plus one
        int loadingFrames = 0;        // frames busy from power-up (loading the EEPROM)
    };
    void setSii(int position, Sii sii);
    // The slave's processor holds the EEPROM (it last read word 0x77), as an
    // earlier session may leave it; with `yields` false it keeps it against
    // a forced ECAT access. Needs setSii first.
    void pdiHoldsSii(int position, bool yields);
    // What reads of `address` (and the bytes after it) return.
    void patchRegister(int position, uint16_t address, std::vector<uint8_t> bytes);
    // A 32-bit distributed clock (also clears features bit 3).
    void dc32(int position);

    // What the master did that an ESC does not take.
    int siiWritesWhileBusy = 0;   // commands written while the interface was busy
    int siiDataReadEarly = 0;     // data read in the frame that wrote its command
    int dcUpperHalfAccesses = 0;  // reads/writes of the absent upper clock halves

private:
    struct SiiState {
        Sii cfg;
        uint8_t regs[16] = {};    // 0x0500-0x050F as the master sees them
        int busyLeft = 0;
        int loadingLeft = 0;
        bool pending = false;
        uint16_t pendingControl = 0;
        bool done = false;        // the running command has finished
        bool pdiYields = true;    // a forced ECAT access takes the EEPROM from the processor
    };
    struct Slave {
        bool hasSii = false;
        SiiState sii;
        std::map<uint16_t, uint8_t> patch;
        bool dc32 = false;
    };
    Slave &slave(int position);
    void rewrite(const std::vector<uint8_t> &request, std::vector<uint8_t> &reply);
    void startOfFrame(SiiState &s);
    void endOfFrame(SiiState &s);
    void siiAccess(SiiState &s, bool read, bool write, uint16_t ado, const uint8_t *in, uint8_t *out, size_t len);

    SimTransport &t_;
    std::map<int, Slave> slaves_;
    std::map<int, uint16_t> station_; // position -> station address
};

