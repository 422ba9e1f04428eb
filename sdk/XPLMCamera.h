#ifndef XPLMCamera_h_
#define XPLMCamera_h_

/* Taking over and reading the simulator's camera. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    xplm_ControlCameraUntilViewChanges = 1,
    xplm_ControlCameraForever          = 2
};
typedef int XPLMCameraControlDuration;

/* Position in local OpenGL coordinates; angles in degrees, zoom 1.0 = normal. */
typedef struct {
    float x;
    float y;
    float z;
    float pitch;
    float heading;
    float roll;
    float zoom;
} XPLMCameraPosition_t;

/* outCameraPosition is NULL when control is being taken away. */
typedef int (* XPLMCameraControl_f)(XPLMCameraPosition_t * outCameraPosition,
                                    int                    inIsLosingControl,
                                    void *                 inRefcon);

XPLM_API void XPLMControlCamera(XPLMCameraControlDuration inHowLong,
                                XPLMCameraControl_f       inControlFunc,
                                void *                    inRefcon);
XPLM_API void XPLMDontControlCamera(void);
/* outCameraControlDuration may be NULL. */
XPLM_API int  XPLMIsCameraBeingControlled(XPLMCameraControlDuration * outCameraControlDuration);
XPLM_API void XPLMReadCameraPosition(XPLMCameraPosition_t * outCameraPosition);

#ifdef __cplusplus
}
#endif

#endif /* XPLMCamera_h_ */
