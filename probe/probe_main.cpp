// wux_probe: loads one plug-in library in a process of its own and reports what it exports, so that
// a library that crashes or hangs while it is loaded never takes the program down.
//
// Usage: wux_probe <library path>
// Output (stdout), one "name=value" line each:
//   exports=<the plug-in exports present, comma-separated, in the interface's order>
//   title=<GetPluginTitle's text>      (when exported; "title-null=1" instead when it returns null)
//   magic=<getMagicNumber's result>    (when exported)
//   info=<getPluginInfo's result>      (when exported)
// Exit status 0 when the library loaded, 2 when it could not be loaded ("error=<reason>"), 1 for a
// wrong command line. StartPlugin and PluginParameters are never called.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "plugins/wux_plugin.h"

namespace {

[[noreturn]] void finish(int status)
{
    std::fflush(stdout);
    // Skip the library's destructors and the process's exit handlers: only what was printed counts.
    _exit(status);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wux_probe <library>\n");
        return 1;
    }
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        std::printf("error=%s\n", reason != nullptr ? reason : "");
        finish(2);
    }
    const char* const names[] = {"GetPluginTitle", "getMagicNumber", "getPluginInfo", "PluginParameters",
                                 "StartPlugin"};
    std::string exports;
    for (const char* name : names) {
        if (dlsym(module, name) == nullptr)
            continue;
        if (!exports.empty())
            exports += ',';
        exports += name;
    }
    std::printf("exports=%s\n", exports.c_str());
    std::fflush(stdout);
    if (auto title = reinterpret_cast<WuxGetPluginTitle>(dlsym(module, "GetPluginTitle"))) {
        const char* text = title();
        if (text == nullptr)
            std::printf("title-null=1\n");
        else
            std::printf("title=%s\n", text);
        std::fflush(stdout);
    }
    if (auto magic = reinterpret_cast<WuxGetMagicNumber>(dlsym(module, "getMagicNumber"))) {
        std::printf("magic=%d\n", static_cast<int>(magic()));
        std::fflush(stdout);
    }
    if (auto info = reinterpret_cast<WuxGetPluginInfo>(dlsym(module, "getPluginInfo")))
        std::printf("info=%u\n", static_cast<unsigned>(info()));
    finish(0);
}
