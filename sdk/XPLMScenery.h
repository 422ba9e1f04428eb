#ifndef XPLMScenery_h_
#define XPLMScenery_h_

/* The simulator's scenery: terrain probes, objects and the scenery library. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Terrain probes. */

enum {
    /* The tallest physical scenery on the vertical line through the point. */
    xplm_ProbeY = 0
};
typedef int XPLMProbeType;

enum {
    xplm_ProbeHitTerrain = 0,
    xplm_ProbeError      = 1,
    xplm_ProbeMissed     = 2
};
typedef int XPLMProbeResult;

typedef void * XPLMProbeRef;

/* Filled by a probe; the caller sets structSize to sizeof(XPLMProbeInfo_t) first.
   Location, normal and velocity are in local OpenGL coordinates (metres, metres per
   second). */
typedef struct {
    int   structSize;
    float locationX;
    float locationY;
    float locationZ;
    float normalX;
    float normalY;
    float normalZ;
    float velocityX;
    float velocityY;
    float velocityZ;
    int   is_wet;
} XPLMProbeInfo_t;

XPLM_API XPLMProbeRef    XPLMCreateProbe(XPLMProbeType inProbeType);
XPLM_API void            XPLMDestroyProbe(XPLMProbeRef inProbe);
XPLM_API XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef      inProbe,
                                             float             inX,
                                             float             inY,
                                             float             inZ,
                                             XPLMProbeInfo_t * outInfo);

/* Objects. */

typedef void * XPLMObjectRef;

/* One place to draw an object: local coordinates and degrees. */
typedef struct {
    int   structSize;
    float x;
    float y;
    float z;
    float pitch;
    float heading;
    float roll;
} XPLMDrawInfo_t;

/* Called once an asynchronous load is done, with null when the object could not be loaded. */
typedef void (* XPLMObjectLoaded_f)(XPLMObjectRef inObject, void * inRefcon);

/* The path is relative to the simulator folder; null when the object cannot be loaded. */
XPLM_API XPLMObjectRef XPLMLoadObject(const char * inPath);
/* Only exported by 2.10 and later hosts; look it up before relying on it on older ones. */
XPLM_API void XPLMLoadObjectAsync(const char *       inPath,
                                  XPLMObjectLoaded_f inCallback,
                                  void *             inRefcon);
XPLM_API void XPLMDrawObjects(XPLMObjectRef    inObject,
                              int              inCount,
                              XPLMDrawInfo_t * inLocations,
                              int              lighting,
                              int              earth_relative);
XPLM_API void XPLMUnloadObject(XPLMObjectRef inObject);

/* The scenery library. */

/* Called with the path of each object file a virtual path stands for. */
typedef void (* XPLMLibraryEnumerator_f)(const char * inFilePath, void * inRef);

/* Returns how many files the virtual path stands for at that place. */
XPLM_API int XPLMLookupObjects(const char *            inPath,
                               float                   inLatitude,
                               float                   inLongitude,
                               XPLMLibraryEnumerator_f enumerator,
                               void *                  ref);

#ifdef __cplusplus
}
#endif

#endif /* XPLMScenery_h_ */
