/*
 * Public interface of the bundled EtherCAT master.
 *
 * It offers the subset of the SOEM 2.x interface that the pressure link uses,
 * with the same identifiers and signatures, so that code written against it
 * also builds against an installed SOEM 2.x (<soem/soem.h>).
 *
 * Everything here is plain C data: a context may be cleared with memset.
 */
#ifndef SOEM_SOEM_H
#define SOEM_SOEM_H
#define ETHERCAT_BUNDLED 1 /* the bundled master: ec_slavet also holds its own bookkeeping below */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t boolean;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
typedef int8_t int8;
typedef int16_t int16;
typedef int32_t int32;
typedef int64_t int64;
typedef uint8_t uint8;
typedef uint16_t uint16;
typedef uint32_t uint32;
typedef uint64_t uint64;

#define EC_MAXSLAVE 200
#define EC_MAXGROUP 2
#define EC_MAXNAME 40
#define EC_MAXSM 8
#define EC_MAXFMMU 4
#define EC_MAXLEN_ADAPTERNAME 128
#define EC_MAXPDFRAMES 16         /* frames one process-data exchange may take */

#define EC_TIMEOUTRET 2000        /* us, one frame round trip */
#define EC_TIMEOUTSTATE 2000000   /* us, a state change */
#define EC_NOFRAME (-1)

/* AL states */
#define EC_STATE_NONE 0x00
#define EC_STATE_INIT 0x01
#define EC_STATE_PRE_OP 0x02
#define EC_STATE_BOOT 0x03
#define EC_STATE_SAFE_OP 0x04
#define EC_STATE_OPERATIONAL 0x08
#define EC_STATE_ACK 0x10
#define EC_STATE_ERROR 0x10

typedef struct ec_adapter ec_adaptert;
struct ec_adapter {
  char name[EC_MAXLEN_ADAPTERNAME];
  char desc[EC_MAXLEN_ADAPTERNAME];
  ec_adaptert *next;
};

/* One SyncManager as the slave's SII describes it and the master sets it. */
typedef struct ec_smconf {
  uint16 start;    /* physical start address */
  uint16 length;   /* length in bytes */
  uint8 control;   /* control byte: mode and direction */
  uint8 enable;    /* 1 when the SII enables it */
  uint8 type;      /* 0 unused, 1 mailbox out, 2 mailbox in, 3 outputs, 4 inputs */
} ec_smconft;

/* One slave as the master knows it. Index 0 of the slave list stands for
 * all slaves. The bundled master may add fields; the pressure link uses
 * state, inputs and Ibytes only. */
typedef struct ec_slave {
  uint16 state;
  uint16 ALstatuscode;
  uint16 configadr;
  uint16 aliasadr;
  uint32 eep_man;
  uint32 eep_id;
  uint32 eep_rev;
  uint32 eep_ser;
  uint8 *outputs;
  uint32 Obytes;
  uint16 Obits;
  uint8 *inputs;
  uint32 Ibytes;
  uint16 Ibits;
  uint16 mbx_l;
  uint16 mbx_wo;
  uint16 mbx_rl;
  uint16 mbx_ro;
  uint16 mbx_proto;
  uint8 mbx_cnt;
  boolean hasdc;
  uint8 group;
  char name[EC_MAXNAME + 1];
  /* Bundled master's own bookkeeping (not part of the SOEM interface). */
  uint8 esc_type;       /* register 0x0000 */
  uint8 esc_fmmus;      /* register 0x0004: FMMUs the ESC has */
  uint16 esc_features;  /* register 0x0008 */
  uint8 coe_details;    /* SII general category: bit 0 SDO, 2 PDO assign, 5 complete access */
  uint8 sm_count;       /* SyncManager entries found in the SII */
  ec_smconft sm[EC_MAXSM];
  uint8 fmmu_count;     /* FMMU entries found in the SII */
  uint8 fmmu_func[EC_MAXFMMU]; /* 0 unused, 1 outputs, 2 inputs, 3 mailbox status */
  uint32 sii_obits;     /* output bits of the RxPDOs the SII assigns to a SyncManager */
  uint32 sii_ibits;     /* input bits of the TxPDOs the SII assigns to a SyncManager */
  uint8 sii_pdo_out;    /* 1 when the SII assigns any RxPDO to a SyncManager */
  uint8 sii_pdo_in;     /* 1 when the SII assigns any TxPDO to a SyncManager */
  uint8 pdo_from_coe;   /* 1 when the sizes in Obits/Ibits came from the CoE objects */
  uint8 out_mapped;     /* 1 when the outputs have an FMMU (they count in the working counter) */
  uint8 in_mapped;      /* 1 when the inputs have an FMMU */
  uint32 out_logaddr;   /* logical address of the outputs */
  uint32 in_logaddr;    /* logical address of the inputs */
  uint8 mbx_drained;    /* 1 once the read mailbox was emptied before the first request */
  uint8 mbx_rx_cnt;     /* counter of the last mailbox message taken from the slave (0 none) */
  uint32 mbx_rx_sum;    /* checksum of that message: tells a repetition from a new one */
  uint8 ca_refused;     /* 1 once the slave refused an SDO complete access */
  uint16 al_last;       /* AL status as last read (state keeps what the caller requests) */
  uint8 dev_emulation;  /* 1 when PDI control (0x0140) bit 8 is set: AL status copies AL control */
  uint16 al_reported;   /* AL status last reported on stderr (0 none) */
  uint16 al_reported_code; /* and its AL status code */
  int32 pdelay;         /* propagation delay from the reference clock, ns */
  int64 dc_offset;      /* system time offset written to the slave, ns */
} ec_slavet;

typedef struct ec_group {
  uint32 logstartaddr;
  uint32 Obytes;
  uint8 *outputs;
  uint32 Ibytes;
  uint8 *inputs;
  uint16 outputsWKC;
  uint16 inputsWKC;
  uint16 expectedWKC;
  boolean hasdc;
  /* Bundled master's own: 1 when a slave of the group cannot take LRW, so the
   * process data goes as LWR (outputs) and LRD (inputs). */
  uint8 lrd_lwr;
} ec_groupt;

/* Adapter port: the master's network layer keeps its own state behind impl
 * (the frame transport, buffers, frames on the wire). */
typedef struct ecx_port {
  void *impl;
} ecx_portt;

typedef struct ecx_context {
  ecx_portt port;
  ec_slavet slavelist[EC_MAXSLAVE];
  int slavecount;
  ec_groupt grouplist[EC_MAXGROUP];
} ecx_contextt;

ec_adaptert *ec_find_adapters(void);
void ec_free_adapters(ec_adaptert *adapter);

int ecx_init(ecx_contextt *context, const char *ifname);
void ecx_close(ecx_contextt *context);
int ecx_config_init(ecx_contextt *context);
int ecx_config_map_group(ecx_contextt *context, void *pIOmap, uint8 group);
boolean ecx_configdc(ecx_contextt *context);
uint16 ecx_statecheck(ecx_contextt *context, uint16 slave, uint16 reqstate, int timeout);
int ecx_writestate(ecx_contextt *context, uint16 slave);
int ecx_readstate(ecx_contextt *context);
int ecx_send_processdata(ecx_contextt *context);
int ecx_receive_processdata(ecx_contextt *context, int timeout);

#ifdef __cplusplus
}
#endif

#endif /* SOEM_SOEM_H */
