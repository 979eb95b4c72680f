// What mailbox error details and SDO abort codes mean, in words.
#include "ecwire/mailbox.h"

#include <algorithm>
#include <iterator>

namespace ecwire {

namespace {

template <typename Code>
struct CodeText {
    Code code;
    const char *text;
};

// Sorted by code, so that a lookup can search it.
constexpr CodeText<uint16_t> kMailboxErrors[] = {
    {mbx::ErrSyntax, "syntax of the mailbox header is wrong"},
    {mbx::ErrUnsupportedProtocol, "mailbox protocol not supported"},
    {mbx::ErrInvalidChannel, "invalid channel"},
    {mbx::ErrServiceNotSupported, "service not supported"},
    {mbx::ErrInvalidHeader, "protocol header is wrong"},
    {mbx::ErrSizeTooShort, "mailbox data too short"},
    {mbx::ErrNoMemory, "no memory to process the request"},
    {mbx::ErrInvalidSize, "length of the data is inconsistent"},
};

// ETG.1000.6 SDO abort codes, sorted by code.
constexpr CodeText<uint32_t> kAbortCodes[] = {
    {0x05030000, "toggle bit not changed"},
    {0x05040000, "SDO protocol timeout"},
    {0x05040001, "client/server command specifier not valid or unknown"},
    {0x05040005, "out of memory"},
    {0x06010000, "unsupported access to an object"},
    {0x06010001, "attempt to read a write-only object"},
    {0x06010002, "attempt to write a read-only object"},
    {0x06010003, "subindex cannot be written, subindex 0 must be 0 for write access"},
    {0x06010004, "complete access not supported for objects of variable length"},
    {0x06010005, "object length exceeds the mailbox size"},
    {0x06010006, "object mapped to an RxPDO, SDO download blocked"},
    {0x06020000, "the object does not exist in the object dictionary"},
    {0x06040041, "the object cannot be mapped into the PDO"},
    {0x06040042, "the objects to be mapped would exceed the PDO length"},
    {0x06040043, "general parameter incompatibility"},
    {0x06040047, "general internal incompatibility in the device"},
    {0x06060000, "access failed due to a hardware error"},
    {0x06070010, "data type does not match, length of service parameter does not match"},
    {0x06070012, "data type does not match, length of service parameter too high"},
    {0x06070013, "data type does not match, length of service parameter too low"},
    {0x06090011, "subindex does not exist"},
    {0x06090030, "value range of parameter exceeded"},
    {0x06090031, "value of parameter written too high"},
    {0x06090032, "value of parameter written too low"},
    {0x06090036, "maximum value is less than minimum value"},
    {0x08000000, "general error"},
    {0x08000020, "data cannot be transferred or stored to the application"},
    {0x08000021, "data cannot be transferred or stored to the application because of local control"},
    {0x08000022, "data cannot be transferred or stored to the application because of the present device state"},
    {0x08000023, "no object dictionary present"},
};

template <typename Code, size_t N>
const char *lookUp(const CodeText<Code> (&table)[N], Code code, const char *unknown)
{
    const auto it = std::lower_bound(std::begin(table), std::end(table), code,
                                     [](const CodeText<Code> &c, Code v) { return c.code < v; });
    return it != std::end(table) && it->code == code ? it->text : unknown;
}

} // namespace

const char *mbx::errorText(uint16_t detail)
{
    return lookUp(kMailboxErrors, detail, "unknown mailbox error");
}

const char *coe::abortCodeText(uint32_t code)
{
    return lookUp(kAbortCodes, code, "unknown abort code");
}

} // namespace ecwire
