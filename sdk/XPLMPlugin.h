#ifndef XPLMPlugin_h_
#define XPLMPlugin_h_

/* Finding, enabling and messaging plug-ins; optional simulator features. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Plug-in discovery and information. */
XPLM_API XPLMPluginID XPLMGetMyID(void);
XPLM_API int          XPLMCountPlugins(void);
XPLM_API XPLMPluginID XPLMGetNthPlugin(int inIndex);
XPLM_API XPLMPluginID XPLMFindPluginByPath(const char * inPath);
XPLM_API XPLMPluginID XPLMFindPluginBySignature(const char * inSignature);
/* Any output buffer may be NULL; each should hold at least 256 bytes. */
XPLM_API void XPLMGetPluginInfo(XPLMPluginID inPlugin,
                                char *       outName,
                                char *       outFilePath,
                                char *       outSignature,
                                char *       outDescription);

/* Enabling and reloading. */
XPLM_API int  XPLMIsPluginEnabled(XPLMPluginID inPluginID);
XPLM_API int  XPLMEnablePlugin(XPLMPluginID inPluginID);
XPLM_API void XPLMDisablePlugin(XPLMPluginID inPluginID);
XPLM_API void XPLMReloadPlugins(void);

/* Messages the simulator sends to every plug-in. */
#define XPLM_MSG_PLANE_CRASHED          101
#define XPLM_MSG_PLANE_LOADED           102
#define XPLM_MSG_AIRPORT_LOADED         103
#define XPLM_MSG_SCENERY_LOADED         104
#define XPLM_MSG_AIRPLANE_COUNT_CHANGED 105
#define XPLM_MSG_PLANE_UNLOADED         106
/* Sent only by 2.10 and later hosts; harmless to know about on older ones. */
#define XPLM_MSG_WILL_WRITE_PREFS       107
#define XPLM_MSG_LIVERY_LOADED          108

/* Pass XPLM_NO_PLUGIN_ID to broadcast to all plug-ins. */
XPLM_API void XPLMSendMessageToPlugin(XPLMPluginID inPlugin, int inMessage, void * inParam);

/* Optional features, addressed by name. */
typedef void (* XPLMFeatureEnumerator_f)(const char * inFeature, void * inRef);

XPLM_API int  XPLMHasFeature(const char * inFeature);
XPLM_API int  XPLMIsFeatureEnabled(const char * inFeature);
XPLM_API void XPLMEnableFeature(const char * inFeature, int inEnable);
XPLM_API void XPLMEnumerateFeatures(XPLMFeatureEnumerator_f inEnumerator, void * inRef);

#ifdef __cplusplus
}
#endif

#endif /* XPLMPlugin_h_ */
