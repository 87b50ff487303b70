/* Message windows shared by the program and its plug-ins.
 *
 * One registry of message windows lives in this shared library, so the program and every plug-in
 * loaded into it see the same windows. A window is a handle with a procedure; messages posted to it
 * are queued and delivered on the GUI thread by the Qt event loop, messages sent to it are direct
 * calls on the GUI thread (a send from another thread waits until the GUI thread has delivered it).
 * A plug-in without Qt waits for its replies in a window's modal loop.
 *
 * Plain C, so that plug-ins written in C can use it.
 */
#ifndef WUX_MESSAGES_H
#define WUX_MESSAGES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define WUX_MESSAGES_API __attribute__((visibility("default")))
#else
#define WUX_MESSAGES_API
#endif

/* A window handle; 0 is no window. */
typedef uintptr_t WuxWindow;
typedef uintptr_t WuxWParam;
typedef intptr_t WuxLParam;

/* A window's procedure: called on the GUI thread with each message delivered to the window. */
typedef intptr_t (*WuxWindowProc)(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam,
                                  void* context);

/* Registers a window with its procedure and the context passed to it; returns its handle (never 0),
 * or 0 when proc is null. Handles are never reused within a process. */
WUX_MESSAGES_API WuxWindow wuxCreateWindow(WuxWindowProc proc, void* context);
/* Unregisters a window: messages still queued for it are dropped, and a modal loop it runs ends
 * with result 0. Unknown handles are ignored. */
WUX_MESSAGES_API void wuxDestroyWindow(WuxWindow window);
/* 1 when the handle names a registered window. */
WUX_MESSAGES_API int wuxIsWindow(WuxWindow window);
/* Queues a message for the window; 1 when queued, 0 for an unknown window or no running
 * application object. May be called from any thread. */
WUX_MESSAGES_API int wuxPostMessage(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam);
/* Calls the window's procedure on the GUI thread and returns its result; 0 for an unknown window. */
WUX_MESSAGES_API WuxLParam wuxSendMessage(WuxWindow window, uint32_t message, WuxWParam wParam,
                                          WuxLParam lParam);
/* Runs a nested event loop on the GUI thread until wuxEndModalLoop is called for the window (or the
 * window is destroyed); returns the result given there. -1: not on the GUI thread, unknown window,
 * or the window already runs a modal loop. */
WUX_MESSAGES_API int wuxRunModalLoop(WuxWindow window);
/* Ends the window's modal loop with the result; ignored when it runs none. */
WUX_MESSAGES_API void wuxEndModalLoop(WuxWindow window, int result);

#ifdef __cplusplus
}
#endif

#endif /* WUX_MESSAGES_H */
