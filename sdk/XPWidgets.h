#ifndef XPWidgets_h_
#define XPWidgets_h_

/* Creating, arranging and messaging widgets. */

#include "XPWidgetDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Creation and destruction ---- */

/* Coordinates are global screen coordinates; inContainer may be NULL. */
WIDGET_API XPWidgetID XPCreateWidget(int           inLeft,
                                     int           inTop,
                                     int           inRight,
                                     int           inBottom,
                                     int           inVisible,
                                     const char *  inDescriptor,
                                     int           inIsRoot,
                                     XPWidgetID    inContainer,
                                     XPWidgetClass inClass);
WIDGET_API XPWidgetID XPCreateCustomWidget(int            inLeft,
                                           int            inTop,
                                           int            inRight,
                                           int            inBottom,
                                           int            inVisible,
                                           const char *   inDescriptor,
                                           int            inIsRoot,
                                           XPWidgetID     inContainer,
                                           XPWidgetFunc_t inCallback);
WIDGET_API void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren);

/* ---- Messaging ---- */

WIDGET_API int XPSendMessageToWidget(XPWidgetID      inWidget,
                                     XPWidgetMessage inMessage,
                                     XPDispatchMode  inMode,
                                     intptr_t        inParam1,
                                     intptr_t        inParam2);

/* ---- Hierarchy ---- */

/* Pass NULL as inContainer to detach. */
WIDGET_API void       XPPlaceWidgetWithin(XPWidgetID inSubWidget, XPWidgetID inContainer);
WIDGET_API int        XPCountChildWidgets(XPWidgetID inWidget);
WIDGET_API XPWidgetID XPGetNthChildWidget(XPWidgetID inWidget, int inIndex);
WIDGET_API XPWidgetID XPGetParentWidget(XPWidgetID inWidget);

/* ---- Visibility and stacking ---- */

WIDGET_API void       XPShowWidget(XPWidgetID inWidget);
WIDGET_API void       XPHideWidget(XPWidgetID inWidget);
WIDGET_API int        XPIsWidgetVisible(XPWidgetID inWidget);
WIDGET_API XPWidgetID XPFindRootWidget(XPWidgetID inWidget);
WIDGET_API void       XPBringRootWidgetToFront(XPWidgetID inWidget);
WIDGET_API int        XPIsWidgetInFront(XPWidgetID inWidget);

/* ---- Geometry; output pointers may be NULL ---- */

WIDGET_API void XPGetWidgetGeometry(XPWidgetID inWidget,
                                    int * outLeft, int * outTop,
                                    int * outRight, int * outBottom);
WIDGET_API void XPSetWidgetGeometry(XPWidgetID inWidget,
                                    int inLeft, int inTop,
                                    int inRight, int inBottom);
WIDGET_API XPWidgetID XPGetWidgetForLocation(XPWidgetID inContainer,
                                             int        inXOffset,
                                             int        inYOffset,
                                             int        inRecursive,
                                             int        inVisibleOnly);
WIDGET_API void XPGetWidgetExposedGeometry(XPWidgetID inWidgetID,
                                           int * outLeft, int * outTop,
                                           int * outRight, int * outBottom);

/* ---- Descriptor and properties ---- */

WIDGET_API void XPSetWidgetDescriptor(XPWidgetID inWidget, const char * inDescriptor);
/* Returns the full length; pass NULL to just measure. */
WIDGET_API int  XPGetWidgetDescriptor(XPWidgetID inWidget, char * outDescriptor, int inMaxDescLength);
WIDGET_API void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue);
/* inExists may be NULL; receives whether the property was set. */
WIDGET_API intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int * inExists);

/* ---- Keyboard focus ---- */

/* Pass NULL to give focus back to the simulator. */
WIDGET_API XPWidgetID XPSetKeyboardFocus(XPWidgetID inWidget);
WIDGET_API void       XPLoseKeyboardFocus(XPWidgetID inWidget);
WIDGET_API XPWidgetID XPGetWidgetWithFocus(void);

/* ---- Callbacks ---- */

/* The newest callback sees messages first. */
WIDGET_API void           XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback);
WIDGET_API XPWidgetFunc_t XPGetWidgetClassFunc(XPWidgetClass inWidgetClass);

#ifdef __cplusplus
}
#endif

#endif /* XPWidgets_h_ */
