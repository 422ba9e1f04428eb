#ifndef XPLMPlanes_h_
#define XPLMPlanes_h_

/* User aircraft and control of the other (AI/multiplayer) aircraft. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* User aircraft. */
XPLM_API void XPLMSetUsersAircraft(const char * inAircraftPath);
XPLM_API void XPLMPlaceUserAtAirport(const char * inAirportCode);

/* Index 0 is always the user's aircraft. */
#define XPLM_USER_AIRCRAFT 0

/* Surface positions for XPLMDrawAircraft; set structSize to sizeof the struct. */
typedef struct {
    int   structSize;
    float gearPosition;
    float flapRatio;
    float spoilerRatio;
    float speedBrakeRatio;
    float slatRatio;
    float wingSweep;
    float thrust;
    float yokePitch;
    float yokeHeading;
    float yokeRoll;
} XPLMPlaneDrawState_t;

XPLM_API void XPLMCountAircraft(int *          outTotalAircraft,
                                int *          outActiveAircraft,
                                XPLMPluginID * outController);
XPLM_API void XPLMGetNthAircraftModel(int inIndex, char * outFileName, char * outPath);

/* Multiplayer aircraft control. */
typedef void (* XPLMPlanesAvailable_f)(void * inRefcon);

/* inAircraft is a NULL-terminated list of paths, or NULL. */
XPLM_API int  XPLMAcquirePlanes(char **               inAircraft,
                                XPLMPlanesAvailable_f inCallback,
                                void *                inRefcon);
XPLM_API void XPLMReleasePlanes(void);
XPLM_API void XPLMSetActiveAircraftCount(int inCount);
XPLM_API void XPLMSetAircraftModel(int inIndex, const char * inAircraftPath);
XPLM_API void XPLMDisableAIForPlane(int inPlaneIndex);
XPLM_API void XPLMDrawAircraft(int                    inPlaneIndex,
                               float                  inX,
                               float                  inY,
                               float                  inZ,
                               float                  inPitch,
                               float                  inRoll,
                               float                  inYaw,
                               int                    inFullDraw,
                               XPLMPlaneDrawState_t * inDrawStateInfo);
XPLM_API void XPLMReinitUsersPlane(void);

#ifdef __cplusplus
}
#endif

#endif /* XPLMPlanes_h_ */
