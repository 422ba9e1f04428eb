#ifndef XPWidgetUtils_h_
#define XPWidgetUtils_h_

/* Helpers for building widget trees from tables and common message handling. */

#include <stddef.h>
#include "XPWidgetDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One row of a widget table for XPUCreateWidgets. */
typedef struct {
    int           left;
    int           top;
    int           right;
    int           bottom;
    int           visible;
    const char *  descriptor;
    int           isRoot;
    int           containerIndex; /* index into the table, or NO_PARENT / PARAM_PARENT */
    XPWidgetClass widgetClass;
} XPWidgetCreate_t;

#define NO_PARENT    (-1)
#define PARAM_PARENT (-2)

#define WIDGET_COUNT(x) ((sizeof(x) / sizeof(XPWidgetCreate_t)))

WIDGET_API void XPUCreateWidgets(const XPWidgetCreate_t * inWidgetDefs,
                                 int                      inCount,
                                 XPWidgetID               inParamParent,
                                 XPWidgetID *             ioWidgets);
WIDGET_API void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY);

/* Behaviours to call from a widget callback; each returns 1 if it consumed the message. */
WIDGET_API int XPUFixedLayout(XPWidgetMessage inMessage,
                              XPWidgetID      inWidget,
                              intptr_t        inParam1,
                              intptr_t        inParam2);
WIDGET_API int XPUSelectIfNeeded(XPWidgetMessage inMessage,
                                 XPWidgetID      inWidget,
                                 intptr_t        inParam1,
                                 intptr_t        inParam2,
                                 int             inEatClick);
WIDGET_API int XPUDefocusKeyboard(XPWidgetMessage inMessage,
                                  XPWidgetID      inWidget,
                                  intptr_t        inParam1,
                                  intptr_t        inParam2,
                                  int             inEatClick);
WIDGET_API int XPUDragWidget(XPWidgetMessage inMessage,
                             XPWidgetID      inWidget,
                             intptr_t        inParam1,
                             intptr_t        inParam2,
                             int             inLeft,
                             int             inTop,
                             int             inRight,
                             int             inBottom);

#ifdef __cplusplus
}
#endif

#endif /* XPWidgetUtils_h_ */
