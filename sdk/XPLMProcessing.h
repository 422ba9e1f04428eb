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

#ifdef __cplusplus
}
#endif

#endif /* XPLMProcessing_h_ */
