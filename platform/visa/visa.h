/*
 * The VISA calls the driver uses (VPP-4.3), with their standard C names, types and status values.
 *
 * Built in: raw SCPI over TCP, resource "TCPIP[board]::host::port::SOCKET". Every viWrite is one message
 * and is ended with "\n" unless its data already ends with one (a "\n" that is the last byte of a
 * definite-length block is data, and the terminator is still added); viRead ends at the termination character
 * (VI_SUCCESS_TERM_CHAR), at the count (VI_SUCCESS_MAX_CNT) or at the timeout (VI_ERROR_TMO). An
 * IEEE 488.2 definite-length block ("#" digit length bytes) in a reply is read whole, whatever bytes it
 * holds. viClear drops replies that were received but not read, a partly read reply up to its end included.
 * A lost connection gives VI_ERROR_CONN_LOST.
 *
 * Built in too: VXI-11 through liblxi, resource "TCPIP[board]::host[::device][::INSTR]" (device "inst0"
 * when none is named), found through the host's portmapper; VI_ERROR_RSRC_NFOUND when the portmapper or
 * the device does not answer within about 3 s. Every viWrite is one device_write with END, sent as it is;
 * viRead takes up to the count and ends with VI_SUCCESS_MAX_CNT when it fills it, VI_SUCCESS_TERM_CHAR when
 * the reply ends with the enabled termination character, VI_SUCCESS at the reply's end otherwise and
 * VI_ERROR_TMO at the timeout. viClear reads and drops the replies that the device holds (liblxi has no
 * device_clear). A link that fails gives VI_ERROR_CONN_LOST; a write that the device refuses, VI_ERROR_IO.
 *
 * When the environment variable TEVRA_VISA_LIBRARY names a VISA shared library at viOpenDefaultRM, that
 * resource-manager session and every session opened from it go to that library instead; a library that
 * cannot be loaded, or lacks one of these calls, gives VI_ERROR_LIBRARY_NFOUND.
 */
#ifndef TEVRA_PLATFORM_VISA_H
#define TEVRA_PLATFORM_VISA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef uint64_t ViUInt64;
typedef char ViChar;
typedef unsigned char ViByte;
typedef ViUInt16 ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViUInt32 ViAttr;
typedef ViUInt64 ViAttrState;
typedef ViUInt32 ViAccessMode;
typedef ViChar* ViString;
typedef const ViChar* ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViByte* ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViByte* ViPBuf;
typedef ViUInt32* ViPUInt32;
typedef ViSession* ViPSession;
typedef void* ViAddr;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0

#define VI_SUCCESS ((ViStatus)0x00000000L)
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006L)
#define VI_WARN_NULL_OBJECT ((ViStatus)0x3FFF0082L)

#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000UL)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000EUL)
#define VI_ERROR_INV_SESSION VI_ERROR_INV_OBJECT
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011UL)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012UL)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013UL)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015UL)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001DUL)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001EUL)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003CUL)
#define VI_ERROR_IO ((ViStatus)0xBFFF003EUL)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067UL)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071UL)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078UL)
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)0xBFFF009EUL)
#define VI_ERROR_CONN_LOST ((ViStatus)0xBFFF00A6UL)

#define VI_ATTR_TERMCHAR ((ViAttr)0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE ((ViAttr)0x3FFF001AUL)
#define VI_ATTR_TERMCHAR_EN ((ViAttr)0x3FFF0038UL)

#define VI_TMO_IMMEDIATE 0UL
#define VI_TMO_INFINITE 0xFFFFFFFFUL

#define VI_NO_LOCK 0
#define VI_EXCLUSIVE_LOCK 1
#define VI_SHARED_LOCK 2
#define VI_LOAD_CONFIG 4

/* Defaults of a new instrument session. */
#define TEVRA_VISA_DEFAULT_TMO_MS 2000
#define TEVRA_VISA_DEFAULT_TERMCHAR '\n'

ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viClear(ViSession vi);
/* VI_ATTR_TMO_VALUE (ViUInt32, ms), VI_ATTR_TERMCHAR (ViUInt8), VI_ATTR_TERMCHAR_EN (ViBoolean). */
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue);

#ifdef __cplusplus
}
#endif

#endif
