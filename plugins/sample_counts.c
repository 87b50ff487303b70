/* Sample plug-in that needs no selection: reads the selection counts and the settings path, writes
 * them to "SampleCounts.log" beside the settings file and returns false (nothing was done).
 *
 * Its section [Sample Counts] of the settings file steers it:
 *   Return=1         StartPlugin returns true (default 0) */
#include "plugins/sample_common.h"
#include "plugins/wux_plugin.h"

#define SECTION "Sample Counts"

static char language[SAMPLE_PATH_MAX];
static char settingsPath[SAMPLE_PATH_MAX];
static char parameterOrder[16];
static FILE* logFile;

const char* GetPluginTitle(void)
{
    return "Sample Counts";
}

int32_t getMagicNumber(void)
{
    return WUX_PLUGIN_MAGIC_NUMBER;
}

uint32_t getPluginInfo(void)
{
    return WUX_PLUGIN_NO_SELECTION;
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

static intptr_t windowProc(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam,
                           void* context)
{
    (void)context;
    if (message != WUX_MSG_PLUGIN_REPLY)
        return 0;
    if (wParam == WUX_REQUEST_SETTINGS) {
        fprintf(logFile, "settings=%s\n", lParam != 0 ? (const char*)lParam : "(none)");
    } else if (wParam == WUX_REQUEST_COUNTS) {
        const TOperationCounts* counts = (const TOperationCounts*)lParam;
        if (counts != NULL)
            fprintf(logFile, "counts=%u %u %u %u\n", (unsigned)counts->selectedItems,
                    (unsigned)counts->selectedFiles, (unsigned)counts->reserved1,
                    (unsigned)counts->reserved2);
        wuxEndModalLoop(window, 1);
    }
    return 0;
}

WuxBool StartPlugin(WuxWindow appWindow, WuxWindow mainWindow)
{
    char iniPath[SAMPLE_PATH_MAX];
    long returnValue = 0;
    WuxWindow window;
    (void)appWindow;
    if (sampleLocalPath(settingsPath, iniPath, sizeof iniPath))
        returnValue = sampleReadNumber(iniPath, SECTION, "Return", 0);
    logFile = sampleOpenLog(settingsPath, "SampleCounts.log");
    if (logFile == NULL)
        return 0;
    fprintf(logFile, "parameters=%s language=%s\n", parameterOrder, language);
    parameterOrder[0] = '\0';
    window = wuxCreateWindow(windowProc, NULL);
    wuxSendMessage(mainWindow, WUX_MSG_PLUGIN_REQUEST, WUX_REQUEST_SETTINGS, (WuxLParam)window);
    if (wuxPostMessage(mainWindow, WUX_MSG_PLUGIN_REQUEST, WUX_REQUEST_COUNTS, (WuxLParam)window))
        wuxRunModalLoop(window);
    wuxDestroyWindow(window);
    fclose(logFile);
    logFile = NULL;
    return returnValue != 0;
}
