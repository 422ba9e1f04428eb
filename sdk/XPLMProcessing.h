#ifndef XPLMProcessing_h_
#define XPLMProcessing_h_

/* Flight-loop callbacks: periodic work between simulator frames. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Return value schedules the next call: >0 seconds, <0 flight loops, 0 stop. */
typedef float (* XPLMFlightLoop_f)(float inElapsedSinceLastCall,
                                   float inElapsedTimeSinceLastFlightLoop,
                                   int   inCounter,
                                   void * inRefcon);

XPLM_API float XPLMGetElapsedTime(void);
XPLM_API int   XPLMGetCycleNumber(void);

XPLM_API void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop,
                                             float            inInterval,
                                             void *           inRefcon);
XPLM_API void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop,
                                               void *           inRefcon);
XPLM_API void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop,
                                                float            inInterval,
                                                int              inRelativeToNow,
                                                void *           inRefcon);

/* SDK 2.10: flight loops that run in a chosen phase of the frame, each known by its
   own ID. Only exported by 2.10 and later hosts; look them up before relying on them. */
enum {
    xplm_FlightLoop_Phase_BeforeFlightModel = 0,
    xplm_FlightLoop_Phase_AfterFlightModel  = 1
};
typedef int XPLMFlightLoopPhaseType;

typedef void * XPLMFlightLoopID;

/* Set structSize to sizeof the struct. */
typedef struct {
    int                     structSize;
    XPLMFlightLoopPhaseType phase;
    XPLMFlightLoop_f        callbackFunc;
    void *                  refcon;
} XPLMCreateFlightLoop_t;

/* A new flight loop is not scheduled until XPLMScheduleFlightLoop says when. */
XPLM_API XPLMFlightLoopID XPLMCreateFlightLoop(XPLMCreateFlightLoop_t * inParams);
XPLM_API void XPLMDestroyFlightLoop(XPLMFlightLoopID inFlightLoopID);
XPLM_API void XPLMScheduleFlightLoop(XPLMFlightLoopID inFlightLoopID,
                                     float            inInterval,
                                     int              inRelativeToNow);

#ifdef __cplusplus
}
#endif

#endif /* XPLMProcessing_h_ */
