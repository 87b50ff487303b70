/* The plug-in interface of Wuxtool.
 *
 * A plug-in is a shared library named "*.plgn" in the program's folder. It exports the five functions
 * below by these exact names (plain C linkage, default visibility). Texts are zero-terminated UTF-8;
 * paths are drive paths ("C:\folder\name"). Booleans are one byte, non-zero for true.
 *
 * A run: PluginParameters(1, language file name or ""), PluginParameters(2, settings-file path), then
 * StartPlugin(application window, main window). While StartPlugin runs, the plug-in talks to the main
 * window through the message windows of "platform/messages/wux_messages.h": it posts (or sends)
 * WUX_MSG_PLUGIN_REQUEST to the main window and receives WUX_MSG_PLUGIN_REPLY in its own window, so it
 * must let messages be delivered while it works (wuxRunModalLoop).
 */
#ifndef WUX_PLUGIN_H
#define WUX_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#include "platform/messages/wux_messages.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define WUX_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define WUX_PLUGIN_EXPORT
#endif

typedef uint8_t WuxBool;

/* The highest interface version the program runs. */
#define WUX_PLUGIN_MAGIC_NUMBER 26

/* Window messages. */
#define WUX_MSG_PLUGIN_REQUEST 0x429u /* plug-in to main window */
#define WUX_MSG_PLUGIN_REPLY 0x42Au   /* main window to the plug-in's window */

/* Request codes: the low 16 bits of WParam. */
#define WUX_REQUEST_NEXT_FILE 1   /* LParam: the plug-in's window; reply LParam: TOperationFileInfo* or 0 */
#define WUX_REQUEST_SET_RESULT 2  /* LParam: const TOperationFileResult*; no reply */
#define WUX_REQUEST_COUNTS 3      /* LParam: the plug-in's window; reply LParam: TOperationCounts* */
#define WUX_REQUEST_RESTART 4     /* no reply; the next request 1 starts at the first selected item */
#define WUX_REQUEST_SETTINGS 5    /* LParam: the plug-in's window; sent reply LParam: const char* path */

/* Codes of PluginParameters. */
#define WUX_PARAMETER_LANGUAGE 1
#define WUX_PARAMETER_SETTINGS 2

/* getPluginInfo: the selection the plug-in needs. */
#define WUX_PLUGIN_NO_SELECTION 0x1u
#define WUX_PLUGIN_NEEDS_FILE 0x2u
#define WUX_PLUGIN_NEEDS_FOLDER 0x4u

/* TOperationFileResult flags. */
#define WUX_RESULT_NEW_NAME 0x1u
#define WUX_RESULT_UNMARK 0x2u
#define WUX_RESULT_ATTRIBUTES 0x4u
#define WUX_RESULT_LAST_WRITE 0x8u
#define WUX_RESULT_SIZE 0x10u
#define WUX_RESULT_REMOVE 0x20u
#define WUX_RESULT_SUCCESSFUL 64u
#define WUX_RESULT_FAILED 128u
#define WUX_RESULT_UNCHANGED 192u

/* The item under the cursor (reply to request 1); good until the next request 1. */
typedef struct TOperationFileInfo
{
    const char* name;
    const char* folderPath; /* no trailing "\" */
    uint32_t attributes;
    int32_t number;
} TOperationFileInfo;

/* One file's result (request 2). */
typedef struct TOperationFileResult
{
    uint32_t flags;
    const char* newName;
    uint32_t attributes;
    uint32_t reserved;
    uint64_t size;
    uint64_t lastWrite; /* 100-nanosecond intervals since 1601-01-01 UTC */
} TOperationFileResult;

/* Reply to request 3; good until the next request 3. */
typedef struct TOperationCounts
{
    uint32_t selectedItems;
    uint32_t selectedFiles;
    uint32_t reserved1;
    uint32_t reserved2;
} TOperationCounts;

#ifdef __cplusplus
static_assert(sizeof(TOperationFileInfo) == 24);
static_assert(offsetof(TOperationFileInfo, name) == 0);
static_assert(offsetof(TOperationFileInfo, folderPath) == 8);
static_assert(offsetof(TOperationFileInfo, attributes) == 16);
static_assert(offsetof(TOperationFileInfo, number) == 20);
static_assert(sizeof(TOperationFileResult) == 40);
static_assert(offsetof(TOperationFileResult, flags) == 0);
static_assert(offsetof(TOperationFileResult, newName) == 8);
static_assert(offsetof(TOperationFileResult, attributes) == 16);
static_assert(offsetof(TOperationFileResult, reserved) == 20);
static_assert(offsetof(TOperationFileResult, size) == 24);
static_assert(offsetof(TOperationFileResult, lastWrite) == 32);
static_assert(sizeof(TOperationCounts) == 16);
#else
_Static_assert(sizeof(TOperationFileInfo) == 24, "TOperationFileInfo layout");
_Static_assert(offsetof(TOperationFileInfo, folderPath) == 8, "TOperationFileInfo layout");
_Static_assert(offsetof(TOperationFileInfo, number) == 20, "TOperationFileInfo layout");
_Static_assert(sizeof(TOperationFileResult) == 40, "TOperationFileResult layout");
_Static_assert(offsetof(TOperationFileResult, newName) == 8, "TOperationFileResult layout");
_Static_assert(offsetof(TOperationFileResult, size) == 24, "TOperationFileResult layout");
_Static_assert(offsetof(TOperationFileResult, lastWrite) == 32, "TOperationFileResult layout");
_Static_assert(sizeof(TOperationCounts) == 16, "TOperationCounts layout");
#endif

/* The exports. */
typedef const char* (*WuxGetPluginTitle)(void);
typedef int32_t (*WuxGetMagicNumber)(void);
typedef uint32_t (*WuxGetPluginInfo)(void);
typedef void (*WuxPluginParameters)(int32_t code, const char* value);
typedef WuxBool (*WuxStartPlugin)(WuxWindow appWindow, WuxWindow mainWindow);

WUX_PLUGIN_EXPORT const char* GetPluginTitle(void);
WUX_PLUGIN_EXPORT int32_t getMagicNumber(void);
WUX_PLUGIN_EXPORT uint32_t getPluginInfo(void);
WUX_PLUGIN_EXPORT void PluginParameters(int32_t code, const char* value);
WUX_PLUGIN_EXPORT WuxBool StartPlugin(WuxWindow appWindow, WuxWindow mainWindow);

#ifdef __cplusplus
}
#endif

#endif /* WUX_PLUGIN_H */
