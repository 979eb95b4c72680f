// What each program uses of <soem/soem.h>, name by name, with the types
// and values it relies on. Compiled against our master's header in the
// default build and against SOEM 2.x's in a build on an installed SOEM, so
// that a use beyond what both declare alike fails to build.
#include <soem/soem.h>

#include <type_traits>

#define SAME_TYPE(expression, type) \
    static_assert(std::is_same<decltype(expression), type>::value, #expression " is " #type)

// The pressure link (link/): the connect, the reading, the health check and
// the disconnect over one context; the adapter list.
SAME_TYPE(&ecx_init, int (*)(ecx_contextt *, const char *));
SAME_TYPE(&ecx_close, void (*)(ecx_contextt *));
SAME_TYPE(&ecx_config_init, int (*)(ecx_contextt *));
SAME_TYPE(&ecx_config_map_group, int (*)(ecx_contextt *, void *, uint8));
SAME_TYPE(&ecx_configdc, boolean (*)(ecx_contextt *));
SAME_TYPE(&ecx_statecheck, uint16 (*)(ecx_contextt *, uint16, uint16, int));
SAME_TYPE(&ecx_writestate, int (*)(ecx_contextt *, uint16));
SAME_TYPE(&ecx_readstate, int (*)(ecx_contextt *));
SAME_TYPE(&ecx_send_processdata, int (*)(ecx_contextt *));
SAME_TYPE(&ecx_receive_processdata, int (*)(ecx_contextt *, int));
SAME_TYPE(&ecx_poperror, boolean (*)(ecx_contextt *, ec_errort *));
SAME_TYPE(&ecx_err2string, char *(*)(const ec_errort));
SAME_TYPE(&ec_find_adapters, ec_adaptert *(*)(void));
SAME_TYPE(&ec_free_adapters, void (*)(ec_adaptert *));
SAME_TYPE(ec_adaptert::name, char[EC_MAXLEN_ADAPTERNAME]);
SAME_TYPE(ec_adaptert::desc, char[EC_MAXLEN_ADAPTERNAME]);
SAME_TYPE(ec_adaptert::next, ec_adaptert *);
SAME_TYPE(ecx_contextt::slavelist, ec_slavet[EC_MAXSLAVE]);
SAME_TYPE(ecx_contextt::slavecount, int);
SAME_TYPE(ec_slavet::state, uint16);
SAME_TYPE(ec_slavet::inputs, uint8 *);
SAME_TYPE(ec_slavet::Ibytes, uint32);
static_assert(EC_STATE_INIT == 0x01 && EC_STATE_SAFE_OP == 0x04 && EC_STATE_OPERATIONAL == 0x08, "AL states");
static_assert(EC_NOFRAME == -1, "no frame");

// The bus check (buscheck/): every slave's facts, the group's working
// counters, the error list's entries.
SAME_TYPE(ec_slavet::configadr, uint16);
SAME_TYPE(ec_slavet::eep_man, uint32);
SAME_TYPE(ec_slavet::eep_id, uint32);
SAME_TYPE(ec_slavet::eep_rev, uint32);
SAME_TYPE(ec_slavet::eep_ser, uint32);
SAME_TYPE(ec_slavet::name, char[EC_MAXNAME + 1]);
SAME_TYPE(ec_slavet::hasdc, boolean);
SAME_TYPE(ec_slavet::mbx_proto, uint16);
SAME_TYPE(ec_slavet::CoEdetails, uint8);
SAME_TYPE(ec_slavet::Obytes, uint32);
SAME_TYPE(ec_slavet::ALstatuscode, uint16);
SAME_TYPE(ecx_contextt::grouplist, ec_groupt[EC_MAXGROUP]);
SAME_TYPE(ec_groupt::outputsWKC, uint16);
SAME_TYPE(ec_groupt::inputsWKC, uint16);
SAME_TYPE(ec_groupt::blockLRW, uint8);
SAME_TYPE(ec_errort::Slave, uint16);
SAME_TYPE(ec_errort::Etype, ec_err_type);
SAME_TYPE(ec_errort::Index, uint16);
SAME_TYPE(ec_errort::SubIdx, uint8);
SAME_TYPE(ec_errort::AbortCode, int32);
SAME_TYPE(ec_errort::ErrorCode, uint16);
static_assert(EC_ERR_TYPE_SDO_ERROR == 0 && EC_ERR_TYPE_EMERGENCY == 1 && EC_ERR_TYPE_PACKET_ERROR == 3
                  && EC_ERR_TYPE_MBX_ERROR == 9,
              "error types");

// The tests' bring-up (tests/support/bring_up.h, the package test's
// consumer) uses the link's calls above and nothing else.
