/* Sample plug-in that needs a selected file: walks the selection, writes one line per file to
 * "SampleWalk.log" beside the settings file and reports a result for each file.
 *
 * Its section [Sample Walk] of the settings file steers it:
 *   Result=<flags>   the result flags reported for each file (default: unmark, successful)
 *   Restart=1        after the last file, start again at the first one once (request 4)
 *   Return=0         StartPlugin returns false (default 1)
 *
 * Built also as test variants (one macro each): SAMPLE_NO_START (no StartPlugin export),
 * SAMPLE_MAGIC=<n> (another interface version), SAMPLE_CRASH_INIT and SAMPLE_HANG_INIT (the library
 * crashes or hangs while it is loaded), SAMPLE_NULL_TITLE (GetPluginTitle returns a null pointer),
 * SAMPLE_LEAVE_WINDOW (returns with its window still registered and a message queued for it; the
 * message, when it ever arrives, is written to the log). */
#include "plugins/sample_common.h"
#include "plugins/wux_plugin.h"

#if defined(SAMPLE_CRASH_INIT) || defined(SAMPLE_HANG_INIT)
#include <unistd.h>
#endif

#ifndef SAMPLE_MAGIC
#define SAMPLE_MAGIC WUX_PLUGIN_MAGIC_NUMBER
#endif

#define SECTION "Sample Walk"

#ifdef SAMPLE_CRASH_INIT
__attribute__((constructor)) static void crashOnLoad(void)
{
    __builtin_trap();
}
#endif

#ifdef SAMPLE_HANG_INIT
__attribute__((constructor)) static void hangOnLoad(void)
{
    for (;;)
        pause();
}
#endif

static char language[SAMPLE_PATH_MAX];
static char settingsPath[SAMPLE_PATH_MAX];
static char parameterOrder[16];

static struct
{
    WuxWindow main;
    WuxWindow window;
    FILE* log;
    uint32_t resultFlags;
    int restart;
    int restarted;
    int files;
    TOperationFileResult result;
} run;

const char* GetPluginTitle(void)
{
#ifdef SAMPLE_NULL_TITLE
    return NULL;
#else
    return "Sample Walk";
#endif
}

int32_t getMagicNumber(void)
{
    return SAMPLE_MAGIC;
}

uint32_t getPluginInfo(void)
{
    return WUX_PLUGIN_NEEDS_FILE;
}

void PluginParameters(int32_t code, const char* value)
{
    size_t used = strlen(parameterOrder);
    if (used + 1 < sizeof parameterOrder) {
        parameterOrder[used] = (char)('0' + (code >= 0 && code <= 9 ? code : 0));
        parameterOrder[used + 1] = '\0';
    }
    if (code == WUX_PARAMETER_LANGUAGE)
        snprintf(language, sizeof language, "%s", value != NULL ? value : "");
    else if (code == WUX_PARAMETER_SETTINGS)
        snprintf(settingsPath, sizeof settingsPath, "%s", value != NULL ? value : "");
}

static void request(uint32_t code, WuxLParam lParam)
{
    if (!wuxPostMessage(run.main, WUX_MSG_PLUGIN_REQUEST, code, lParam))
        wuxEndModalLoop(run.window, 0);
}

SAMPLE_HELPER intptr_t windowProc(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam,
                           void* context)
{
    (void)context;
    if (message != WUX_MSG_PLUGIN_REPLY)
        return 0;
#ifdef SAMPLE_LEAVE_WINDOW
    if (run.log == NULL) {
        FILE* late = sampleOpenLog(settingsPath, "SampleWalk.log");
        if (late != NULL) {
            fprintf(late, "late message %u\n", (unsigned)wParam);
            fclose(late);
        }
        return 0;
    }
#endif
    switch (wParam) {
    case WUX_REQUEST_SETTINGS:
        fprintf(run.log, "settings=%s\n", lParam != 0 ? (const char*)lParam : "(none)");
        break;
    case WUX_REQUEST_COUNTS: {
        const TOperationCounts* counts = (const TOperationCounts*)lParam;
        if (counts != NULL)
            fprintf(run.log, "counts=%u %u %u %u\n", (unsigned)counts->selectedItems,
                    (unsigned)counts->selectedFiles, (unsigned)counts->reserved1,
                    (unsigned)counts->reserved2);
        request(WUX_REQUEST_NEXT_FILE, (WuxLParam)window);
        break;
    }
    case WUX_REQUEST_NEXT_FILE: {
        const TOperationFileInfo* info = (const TOperationFileInfo*)lParam;
        if (info == NULL) {
            if (run.restart && !run.restarted) {
                run.restarted = 1;
                fprintf(run.log, "restart\n");
                request(WUX_REQUEST_RESTART, 0);
                request(WUX_REQUEST_NEXT_FILE, (WuxLParam)window);
            } else {
                fprintf(run.log, "end %d\n", run.files);
                wuxEndModalLoop(window, 1);
            }
            break;
        }
        ++run.files;
        fprintf(run.log, "file=%s\\%s %u %d\n", info->folderPath, info->name,
                (unsigned)info->attributes, (int)info->number);
        memset(&run.result, 0, sizeof run.result);
        run.result.flags = run.resultFlags;
        request(WUX_REQUEST_SET_RESULT, (WuxLParam)&run.result);
        request(WUX_REQUEST_NEXT_FILE, (WuxLParam)window);
        break;
    }
    default:
        break;
    }
    return 0;
}

#ifndef SAMPLE_NO_START
WuxBool StartPlugin(WuxWindow appWindow, WuxWindow mainWindow)
{
    char iniPath[SAMPLE_PATH_MAX];
    long returnValue = 1;
    (void)appWindow;
    memset(&run, 0, sizeof run);
    run.main = mainWindow;
    run.resultFlags = WUX_RESULT_UNMARK | WUX_RESULT_SUCCESSFUL;
    if (sampleLocalPath(settingsPath, iniPath, sizeof iniPath)) {
        run.resultFlags = (uint32_t)sampleReadNumber(iniPath, SECTION, "Result", (long)run.resultFlags);
        run.restart = sampleReadNumber(iniPath, SECTION, "Restart", 0) != 0;
        returnValue = sampleReadNumber(iniPath, SECTION, "Return", 1);
    }
    run.log = sampleOpenLog(settingsPath, "SampleWalk.log");
    if (run.log == NULL)
        return 0;
    fprintf(run.log, "parameters=%s language=%s\n", parameterOrder, language);
    parameterOrder[0] = '\0';
    run.window = wuxCreateWindow(windowProc, NULL);
    wuxSendMessage(mainWindow, WUX_MSG_PLUGIN_REQUEST, WUX_REQUEST_SETTINGS, (WuxLParam)run.window);
    if (wuxPostMessage(mainWindow, WUX_MSG_PLUGIN_REQUEST, WUX_REQUEST_COUNTS, (WuxLParam)run.window))
        wuxRunModalLoop(run.window);
#ifdef SAMPLE_LEAVE_WINDOW
    fprintf(run.log, "left window %lu\n", (unsigned long)run.window);
    wuxPostMessage(run.window, WUX_MSG_PLUGIN_REPLY, WUX_REQUEST_SETTINGS, 0);
#else
    wuxDestroyWindow(run.window);
#endif
    fclose(run.log);
    run.log = NULL;
    return returnValue != 0;
}
#endif
