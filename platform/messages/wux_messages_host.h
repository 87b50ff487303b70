/* The program's own side of the message windows: what the plug-in host needs and plug-ins never call. */
#ifndef WUX_MESSAGES_HOST_H
#define WUX_MESSAGES_HOST_H

#include "platform/messages/wux_messages.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Unregisters every window whose procedure lies in the loaded library (a handle dlopen gave): the
 * messages still queued for them are dropped, so none reaches the library's code after it is unloaded.
 * Returns how many windows were unregistered. */
WUX_MESSAGES_API int wuxDestroyWindowsOfLibrary(void* library);

#ifdef __cplusplus
}
#endif

#endif /* WUX_MESSAGES_HOST_H */
