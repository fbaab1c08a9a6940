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
 * Built in too: VXI-11, resource "TCPIP[board]::host[::device][::INSTR]" (device "inst0" when none is
 * named): the core channel over ONC RPC, found through the host's portmapper; VI_ERROR_RSRC_NFOUND when the
 * portmapper or the device does not answer within about 3 s, or the device refuses the device name. Every
 * viWrite is device_write calls with END on the last, sent as it is; viRead ends as the device says:
 * VI_SUCCESS_TERM_CHAR at END after the enabled termination character (the device reads to END, so that a
 * block with that byte inside arrives whole), VI_SUCCESS at END otherwise, VI_SUCCESS_MAX_CNT at the
 * count, VI_ERROR_TMO at the timeout (any timeout, VI_TMO_INFINITE included). A read never takes more than
 * its count. viClear is device_clear, viReadSTB device_readstb, viAssertTrigger device_trigger, viLock and
 * viUnlock device_lock and device_unlock. A link that fails gives VI_ERROR_CONN_LOST; a device error its
 * VISA status (VI_ERROR_RSRC_LOCKED for a device that another link has locked, VI_ERROR_IO for most).
 *
 * Built in too: HiSLIP, resource "TCPIP[board]::host::hislipN[,port][::INSTR]" (port 4880 when none is
 * given): a synchronous and an asynchronous channel, Initialize with the sub-address (VI_ERROR_RSRC_NFOUND
 * when the server refuses it), Data/DataEnd with message ids (a reply is read across as many viRead calls
 * as it takes; VI_SUCCESS_TERM_CHAR or VI_SUCCESS at its end, VI_SUCCESS_MAX_CNT at the count), viClear as
 * the device clear of both channels (replies not yet read are dropped), viReadSTB as the status query
 * (with RMT-delivered after a whole reply was read), viAssertTrigger as Trigger, viLock and viUnlock as
 * the exclusive lock (VI_ERROR_TMO when another session keeps it past the timeout). The session works in
 * the mode the server states: synchronized (a new message drops the rest of an unread reply, as the
 * device does) or overlapped (replies are read in order however many queries went out; MAV of viReadSTB
 * counts the replies that have arrived and not been read).
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
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009AL)
#define VI_SUCCESS_EVENT_EN ((ViStatus)0x3FFF0002L)
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004L)
#define VI_SUCCESS_QUEUE_NEMPTY ((ViStatus)0x3FFF0080L)

#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000UL)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000EUL)
#define VI_ERROR_INV_SESSION VI_ERROR_INV_OBJECT
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000FUL)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011UL)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012UL)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013UL)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015UL)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001DUL)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001EUL)
#define VI_ERROR_INV_DEGREE ((ViStatus)0xBFFF001BUL)
#define VI_ERROR_INV_JOB_ID ((ViStatus)0xBFFF001CUL)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020UL)
#define VI_ERROR_INV_EVENT ((ViStatus)0xBFFF0026UL)
#define VI_ERROR_INV_MECH ((ViStatus)0xBFFF0027UL)
#define VI_ERROR_NENABLED ((ViStatus)0xBFFF002FUL)
#define VI_ERROR_ABORT ((ViStatus)0xBFFF0030UL)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003CUL)
#define VI_ERROR_IO ((ViStatus)0xBFFF003EUL)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067UL)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071UL)
#define VI_ERROR_RSRC_BUSY ((ViStatus)0xBFFF0072UL)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078UL)
#define VI_ERROR_INV_PROT ((ViStatus)0xBFFF0079UL)
#define VI_ERROR_SESN_NLOCKED ((ViStatus)0xBFFF009CUL)
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)0xBFFF009EUL)
#define VI_ERROR_NSUP_MECH ((ViStatus)0xBFFF00A4UL)
#define VI_ERROR_CONN_LOST ((ViStatus)0xBFFF00A6UL)

#define VI_ATTR_SEND_END_EN ((ViAttr)0x3FFF0016UL)
#define VI_ATTR_TERMCHAR ((ViAttr)0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE ((ViAttr)0x3FFF001AUL)
#define VI_ATTR_TERMCHAR_EN ((ViAttr)0x3FFF0038UL)

#define VI_ATTR_EVENT_TYPE ((ViAttr)0x3FFF4010UL)

#define VI_EVENT_SERVICE_REQ ((ViEventType)0x3FFF200BUL)
#define VI_ALL_ENABLED_EVENTS ((ViEventType)0x3FFF7FFFUL)
#define VI_QUEUE 1
#define VI_HNDLR 2
#define VI_SUSPEND_HNDLR 4
#define VI_ALL_MECH 0xFFFF

#define VI_TMO_IMMEDIATE 0UL
#define VI_TMO_INFINITE 0xFFFFFFFFUL

#define VI_NO_LOCK 0
#define VI_EXCLUSIVE_LOCK 1
#define VI_SHARED_LOCK 2
#define VI_LOAD_CONFIG 4

#define VI_TRIG_PROT_DEFAULT 0

typedef ViUInt16* ViPUInt16;
typedef ViUInt32 ViEventType;
typedef ViEventType* ViPEventType;
typedef ViUInt32 ViEventFilter;
typedef ViObject ViEvent;
typedef ViEvent* ViPEvent;
typedef ViUInt32 ViJobId;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;

/* Defaults of a new instrument session. */
#define TEVRA_VISA_DEFAULT_TMO_MS 2000
#define TEVRA_VISA_DEFAULT_TERMCHAR '\n'

ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viClear(ViSession vi);
/* VI_ATTR_TMO_VALUE (ViUInt32, ms), VI_ATTR_TERMCHAR (ViUInt8), VI_ATTR_TERMCHAR_EN (ViBoolean),
 * VI_ATTR_SEND_END_EN (ViBoolean: VI_FALSE leaves a written message open for the next viWrite). */
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue);
/* The IEEE 488.2 status byte: the device's own message where the interface has one (VXI-11), else the
 * "*STB?" query. */
ViStatus viReadSTB(ViSession vi, ViPUInt16 status);
/* A device trigger (VI_TRIG_PROT_DEFAULT): VXI-11 device_trigger, else the "*TRG" command. */
ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol);
/* The exclusive lock of a VXI-11 or HiSLIP device (VI_EXCLUSIVE_LOCK only, else VI_ERROR_INV_LOCK_TYPE;
 * keys are not supported and accessKey is set to ""), taken within timeout ms, VI_ERROR_TMO when another
 * session keeps it longer; VI_SUCCESS_NESTED_EXCLUSIVE when this session holds it already, and the last
 * viUnlock gives it back (VI_ERROR_SESN_NLOCKED when none is held). Another VXI-11 link's I/O on a locked
 * device fails with VI_ERROR_RSRC_LOCKED; HiSLIP locks are advisory. SOCKET sessions lock within the
 * process: the sessions to the same host and port share the lock, and another one's I/O fails with
 * VI_ERROR_RSRC_LOCKED while it is held. */
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViKeyId accessKey);
ViStatus viUnlock(ViSession vi);
/* Service requests (VI_EVENT_SERVICE_REQ, VI_QUEUE only; VI_ALL_ENABLED_EVENTS where VISA allows it) of
 * VXI-11 (the interrupt channel, set up at the first viEnableEvent) and HiSLIP (AsyncServiceRequest)
 * sessions; SOCKET sessions have none (VI_ERROR_INV_EVENT). viWaitOnEvent waits up to timeout ms
 * (VI_ERROR_TMO, VI_ERROR_NENABLED when not enabled) and gives the event type and, when outContext is not
 * null, an event context to close with viClose. Requests that arrive while not enabled are lost; up to 50
 * wait in the queue. */
ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context);
ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout, ViPEventType outEventType,
                       ViPEvent outContext);
/* Ends the call that another thread has in progress on the session (degree and jobId VI_NULL): a VXI-11
 * read that waits returns VI_ERROR_ABORT (device_abort on the abort channel). Other kinds:
 * VI_ERROR_NSUP_OPER. A viClear while another thread's VXI-11 call waits aborts it first. */
ViStatus viTerminate(ViObject vi, ViUInt16 degree, ViJobId jobId);

#ifdef __cplusplus
}
#endif

#endif
