#ifndef XPWidgetDefs_h_
#define XPWidgetDefs_h_

/* Core types shared by the widget library. */

#include <stdint.h>
#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Widget library imports, same visibility reasoning as XPLM_API. */
#ifndef WIDGET_API
#define WIDGET_API XPLM_VISIBLE_
#endif

typedef void * XPWidgetID;

/* Built-in properties; plug-ins number their own from xpProperty_UserStart. */
enum {
    xpProperty_Refcon    = 0,
    xpProperty_Dragging  = 1,
    xpProperty_DragXOff  = 2,
    xpProperty_DragYOff  = 3,
    xpProperty_Hilited   = 4,
    xpProperty_Object    = 5,
    xpProperty_Clip      = 6,
    xpProperty_Enabled   = 7,
    xpProperty_UserStart = 10000
};
typedef int XPWidgetPropertyID;

/* Passed (as a pointer in param1) with mouse messages. */
typedef struct {
    int x;
    int y;
    int button;
    int delta;
} XPMouseState_t;

/* Passed (as a pointer in param1) with xpMsg_KeyPress. */
typedef struct {
    char         key;
    XPLMKeyFlags flags;
    char         vkey;
} XPKeyState_t;

/* Passed (as a pointer in param2) with xpMsg_Reshape: how far it moved and resized. */
typedef struct {
    int dx;
    int dy;
    int dwidth;
    int dheight;
} XPWidgetGeometryChange_t;

/* How a message travels through the widget hierarchy. */
enum {
    xpMode_Direct             = 0,
    xpMode_UpChain            = 1,
    xpMode_Recursive          = 2,
    xpMode_DirectAllCallbacks = 3,
    xpMode_Once               = 4
};
typedef int XPDispatchMode;

typedef int XPWidgetClass;
#define xpWidgetClass_None 0

/* Messages sent to widget callbacks. */
enum {
    xpMsg_None              = 0,
    xpMsg_Create            = 1,
    xpMsg_Destroy           = 2,
    xpMsg_Paint             = 3,
    xpMsg_Draw              = 4,
    xpMsg_KeyPress          = 5,
    xpMsg_KeyTakeFocus      = 6,
    xpMsg_KeyLoseFocus      = 7,
    xpMsg_MouseDown         = 8,
    xpMsg_MouseDrag         = 9,
    xpMsg_MouseUp           = 10,
    xpMsg_Reshape           = 11,
    xpMsg_ExposedChanged    = 12,
    xpMsg_AcceptChild       = 13,
    xpMsg_LoseChild         = 14,
    xpMsg_AcceptParent      = 15,
    xpMsg_Shown             = 16,
    xpMsg_Hidden            = 17,
    xpMsg_DescriptorChanged = 18,
    xpMsg_PropertyChanged   = 19,
    xpMsg_MouseWheel        = 20,
    xpMsg_CursorAdjust      = 21,
    xpMsg_UserStart         = 10000
};
typedef int XPWidgetMessage;

/* Widget callback; return 1 if the message was handled. */
typedef int (* XPWidgetFunc_t)(XPWidgetMessage inMessage,
                               XPWidgetID      inWidget,
                               intptr_t        inParam1,
                               intptr_t        inParam2);

#ifdef __cplusplus
}
#endif

#endif /* XPWidgetDefs_h_ */
