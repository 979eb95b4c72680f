/*
 * Public interface of our EtherCAT master, in the shape of SOEM 2.x.
 *
 * Every type, field, constant and function declared here exists in SOEM
 * 2.x's headers with the same name, type and meaning (a subset of them; the
 * order of fields may differ), so that code written against this header
 * also builds against an installed SOEM 2.x (<soem/soem.h>). CI checks that
 * (tests/soem_interface/). What the master tells beyond SOEM's interface is
 * in its own header, <ethercat/diagnostics.h>.
 *
 * Everything here is plain C data: a context may be cleared with memset.
 */
#ifndef SOEM_SOEM_H
#define SOEM_SOEM_H

#include <stdint.h>
#include <time.h>

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

/* A point in time: when an error was recorded. */
#define ec_timet struct timespec

#define EC_MAXELIST 64
#define EC_MAXNAME 40
#define EC_MAXSLAVE 200
#define EC_MAXGROUP 2
#define EC_MAXSM 8
#define EC_MAXFMMU 4
#define EC_MAXLEN_ADAPTERNAME 128

#define EC_TIMEOUTRET 2000        /* us, one frame round trip */
#define EC_TIMEOUTSTATE 2000000   /* us, a state change */

#define EC_NOFRAME -1             /* no frame came back */

/* AL states */
typedef enum
{
   EC_STATE_NONE = 0x00,
   EC_STATE_INIT = 0x01,
   EC_STATE_PRE_OP = 0x02,
   EC_STATE_BOOT = 0x03,
   EC_STATE_SAFE_OP = 0x04,
   EC_STATE_OPERATIONAL = 0x08,
   EC_STATE_ACK = 0x10,
   EC_STATE_ERROR = 0x10
} ec_state;

/* What an entry of the error list records */
typedef enum
{
   EC_ERR_TYPE_SDO_ERROR = 0,     /* an SDO abort: Index, SubIdx, AbortCode */
   EC_ERR_TYPE_EMERGENCY = 1,     /* a CoE emergency: ErrorCode, ErrorReg, b1, w1, w2 */
   EC_ERR_TYPE_PACKET_ERROR = 3,  /* a mailbox reply that could not be used: ErrorCode */
   EC_ERR_TYPE_MBX_ERROR = 9      /* a mailbox error reply: ErrorCode, its detail */
} ec_err_type;

/* One entry of the error list. */
typedef struct
{
   ec_timet Time;     /* when it was recorded */
   boolean Signal;    /* recorded and not yet read */
   uint16 Slave;      /* the slave it came from */
   uint16 Index;      /* the CoE object concerned */
   uint8 SubIdx;
   ec_err_type Etype;
   union
   {
      int32 AbortCode;
      struct
      {
         uint16 ErrorCode;
         uint8 ErrorReg;
         uint8 b1;
         uint16 w1;
         uint16 w2;
      };
   };
} ec_errort;

/* The error list: a ring of EC_MAXELIST entries, from tail (oldest) to head. */
typedef struct ec_ering
{
   int16 head;
   int16 tail;
   ec_errort Error[EC_MAXELIST + 1];
} ec_eringt;

typedef struct ec_adapter ec_adaptert;
struct ec_adapter
{
   char name[EC_MAXLEN_ADAPTERNAME];
   char desc[EC_MAXLEN_ADAPTERNAME];
   ec_adaptert *next;
};

/* An FMMU as the master set it. */
typedef struct ec_fmmu
{
   uint32 LogStart;
   uint16 LogLength;
   uint8 LogStartbit;
   uint8 LogEndbit;
   uint16 PhysStart;
   uint8 PhysStartBit;
   uint8 FMMUtype;
   uint8 FMMUactive;
} ec_fmmut;

/* A SyncManager: as the SII gives it, then as the master set it. SMflags
 * holds the control byte (bits 0-7), the status byte (8-15) and the
 * activate byte (16-23). */
typedef struct ec_sm
{
   uint16 StartAddr;
   uint16 SMlength;
   uint32 SMflags;
} ec_smt;

/* One slave as the master knows it. Index 0 of the slave list stands for
 * all slaves. */
typedef struct ec_slave
{
   uint16 state;
   uint16 ALstatuscode;
   uint16 configadr;
   uint16 aliasadr;
   uint32 eep_man;
   uint32 eep_id;
   uint32 eep_rev;
   uint32 eep_ser;
   uint16 Obits;
   uint32 Obytes;
   uint8 *outputs;
   uint32 Ooffset;      /* offset of the outputs in the image */
   uint16 Ibits;
   uint32 Ibytes;
   uint8 *inputs;
   uint32 Ioffset;      /* offset of the inputs in the image */
   ec_smt SM[EC_MAXSM];
   uint8 SMtype[EC_MAXSM]; /* 0 unused, 1 mailbox out, 2 mailbox in, 3 outputs, 4 inputs */
   ec_fmmut FMMU[EC_MAXFMMU];
   uint8 FMMU0func;     /* FMMU n's job in the SII: 0 unused, 1 outputs, 2 inputs, 3 mailbox status */
   uint8 FMMU1func;
   uint8 FMMU2func;
   uint8 FMMU3func;
   uint16 mbx_l;
   uint16 mbx_wo;
   uint16 mbx_rl;
   uint16 mbx_ro;
   uint16 mbx_proto;
   uint8 mbx_cnt;
   boolean hasdc;
   int32 pdelay;        /* propagation delay from the reference clock, ns */
   uint8 CoEdetails;
   uint8 blockLRW;      /* > 0: the ESC takes no LRW */
   uint8 group;
   char name[EC_MAXNAME + 1];
} ec_slavet;

typedef struct ec_group
{
   uint32 logstartaddr;
   uint32 Obytes;
   uint8 *outputs;
   uint32 Ibytes;
   uint8 *inputs;
   boolean hasdc;
   uint8 blockLRW;      /* > 0: a slave takes no LRW, process data goes as LWR and LRD */
   uint16 outputsWKC;   /* slaves whose outputs are mapped */
   uint16 inputsWKC;    /* slaves whose inputs are mapped */
} ec_groupt;

typedef struct ecx_context ecx_contextt;
struct ecx_context
{
   ec_slavet slavelist[EC_MAXSLAVE];
   int slavecount;
   ec_groupt grouplist[EC_MAXGROUP];
   boolean ecaterror;   /* TRUE while the error list holds entries */
   ec_eringt elist;
};

ec_adaptert *ec_find_adapters(void);
void ec_free_adapters(ec_adaptert *adapter);

void ecx_pusherror(ecx_contextt *context, const ec_errort *Ec);
boolean ecx_poperror(ecx_contextt *context, ec_errort *Ec);
boolean ecx_iserror(ecx_contextt *context);
char *ecx_err2string(const ec_errort Ec);
char *ecx_elist2string(ecx_contextt *context);

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
