#ifndef XPLMDisplay_h_
#define XPLMDisplay_h_

/* Drawing hooks, key sniffing, plug-in windows and hot keys. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Drawing callbacks ---- */

/* Points in the frame where a draw callback can run. */
enum {
    xplm_Phase_FirstScene       = 0,
    xplm_Phase_Terrain          = 5,
    xplm_Phase_Airports         = 10,
    xplm_Phase_Vectors          = 15,
    xplm_Phase_Objects          = 20,
    xplm_Phase_Airplanes        = 25,
    xplm_Phase_LastScene        = 30,
    xplm_Phase_FirstCockpit     = 35,
    xplm_Phase_Panel            = 40,
    xplm_Phase_Gauges           = 45,
    xplm_Phase_Window           = 50,
    xplm_Phase_LastCockpit      = 55,
    xplm_Phase_LocalMap3D       = 100,
    xplm_Phase_LocalMap2D       = 101,
    xplm_Phase_LocalMapProfile  = 102
};
typedef int XPLMDrawingPhase;

/* Returning 0 from a "before" callback suppresses the simulator's own drawing. */
typedef int (* XPLMDrawCallback_f)(XPLMDrawingPhase inPhase, int inIsBefore, void * inRefcon);

XPLM_API int XPLMRegisterDrawCallback(XPLMDrawCallback_f inCallback,
                                      XPLMDrawingPhase   inPhase,
                                      int                inWantsBefore,
                                      void *             inRefcon);
XPLM_API int XPLMUnregisterDrawCallback(XPLMDrawCallback_f inCallback,
                                        XPLMDrawingPhase   inPhase,
                                        int                inWantsBefore,
                                        void *             inRefcon);

/* ---- Key sniffers ---- */

/* Return 1 to pass the key on, 0 to consume it. */
typedef int (* XPLMKeySniffer_f)(char inChar, XPLMKeyFlags inFlags, char inVirtualKey, void * inRefcon);

XPLM_API int XPLMRegisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void * inRefcon);
XPLM_API int XPLMUnregisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void * inRefcon);

/* ---- Windows ---- */

typedef void * XPLMWindowID;

enum {
    xplm_MouseDown = 1,
    xplm_MouseDrag = 2,
    xplm_MouseUp   = 3
};
typedef int XPLMMouseStatus;

/* Answer from a cursor callback. */
enum {
    xplm_CursorDefault = 0,
    xplm_CursorHidden  = 1,
    xplm_CursorArrow   = 2,
    xplm_CursorCustom  = 3
};
typedef int XPLMCursorStatus;

typedef void (* XPLMDrawWindow_f)(XPLMWindowID inWindowID, void * inRefcon);
typedef void (* XPLMHandleKey_f)(XPLMWindowID inWindowID,
                                 char         inKey,
                                 XPLMKeyFlags inFlags,
                                 char         inVirtualKey,
                                 void *       inRefcon,
                                 int          losingFocus);
typedef int (* XPLMHandleMouseClick_f)(XPLMWindowID    inWindowID,
                                       int             x,
                                       int             y,
                                       XPLMMouseStatus inMouse,
                                       void *          inRefcon);
typedef XPLMCursorStatus (* XPLMHandleCursor_f)(XPLMWindowID inWindowID,
                                                int          x,
                                                int          y,
                                                void *       inRefcon);
typedef int (* XPLMHandleMouseWheel_f)(XPLMWindowID inWindowID,
                                       int          x,
                                       int          y,
                                       int          wheel,
                                       int          clicks,
                                       void *       inRefcon);

/* Parameters for XPLMCreateWindowEx; set structSize to sizeof the struct. */
typedef struct {
    int                    structSize;
    int                    left;
    int                    top;
    int                    right;
    int                    bottom;
    int                    visible;
    XPLMDrawWindow_f       drawWindowFunc;
    XPLMHandleMouseClick_f handleMouseClickFunc;
    XPLMHandleKey_f        handleKeyFunc;
    XPLMHandleCursor_f     handleCursorFunc;
    XPLMHandleMouseWheel_f handleMouseWheelFunc;
    void *                 refcon;
} XPLMCreateWindow_t;

XPLM_API void XPLMGetScreenSize(int * outWidth, int * outHeight);
XPLM_API void XPLMGetMouseLocation(int * outX, int * outY);

XPLM_API XPLMWindowID XPLMCreateWindow(int                    inLeft,
                                       int                    inTop,
                                       int                    inRight,
                                       int                    inBottom,
                                       int                    inIsVisible,
                                       XPLMDrawWindow_f       inDrawCallback,
                                       XPLMHandleKey_f        inKeyCallback,
                                       XPLMHandleMouseClick_f inMouseCallback,
                                       void *                 inRefcon);
XPLM_API XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t * inParams);
XPLM_API void XPLMDestroyWindow(XPLMWindowID inWindowID);

XPLM_API void XPLMGetWindowGeometry(XPLMWindowID inWindowID,
                                    int * outLeft, int * outTop,
                                    int * outRight, int * outBottom);
XPLM_API void XPLMSetWindowGeometry(XPLMWindowID inWindowID,
                                    int inLeft, int inTop,
                                    int inRight, int inBottom);
XPLM_API int    XPLMGetWindowIsVisible(XPLMWindowID inWindowID);
XPLM_API void   XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible);
XPLM_API void * XPLMGetWindowRefCon(XPLMWindowID inWindowID);
XPLM_API void   XPLMSetWindowRefCon(XPLMWindowID inWindowID, void * inRefcon);
/* Pass NULL to give keyboard focus back to the simulator. */
XPLM_API void   XPLMTakeKeyboardFocus(XPLMWindowID inWindow);
XPLM_API void   XPLMBringWindowToFront(XPLMWindowID inWindow);
XPLM_API int    XPLMIsWindowInFront(XPLMWindowID inWindow);

/* ---- Hot keys ---- */

typedef void (* XPLMHotKey_f)(void * inRefcon);
typedef void * XPLMHotKeyID;

XPLM_API XPLMHotKeyID XPLMRegisterHotKey(char         inVirtualKey,
                                         XPLMKeyFlags inFlags,
                                         const char * inDescription,
                                         XPLMHotKey_f inCallback,
                                         void *       inRefcon);
XPLM_API void         XPLMUnregisterHotKey(XPLMHotKeyID inHotKey);
XPLM_API int          XPLMCountHotKeys(void);
XPLM_API XPLMHotKeyID XPLMGetNthHotKey(int inIndex);
/* Any output pointer may be NULL. */
XPLM_API void         XPLMGetHotKeyInfo(XPLMHotKeyID   inHotKey,
                                        char *         outVirtualKey,
                                        XPLMKeyFlags * outFlags,
                                        char *         outDescription,
                                        XPLMPluginID * outPlugin);
XPLM_API void         XPLMSetHotKeyCombination(XPLMHotKeyID inHotKey,
                                               char         inVirtualKey,
                                               XPLMKeyFlags inFlags);

#ifdef __cplusplus
}
#endif

#endif /* XPLMDisplay_h_ */
