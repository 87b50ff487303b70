/* Helpers shared by the sample plug-ins: drive paths to local paths, their own settings section,
 * and their log beside the settings file. Plain C, no Qt. */
#ifndef WUX_SAMPLE_COMMON_H
#define WUX_SAMPLE_COMMON_H

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#define SAMPLE_PATH_MAX 4096
/* Each plug-in uses some of the helpers. */
#define SAMPLE_HELPER static __attribute__((unused))

/* The local folder of a drive letter: WUX_DRIVES ("c=/srv;d=/tmp/x:removable") when set, else c: is
 * "/". Returns 0 when the drive is not mapped. */
SAMPLE_HELPER int sampleDriveRoot(char letter, char* root, size_t size)
{
    const char* map = getenv("WUX_DRIVES");
    letter = (char)tolower((unsigned char)letter);
    if (map == NULL || *map == '\0') {
        if (letter != 'c')
            return 0;
        snprintf(root, size, "/");
        return 1;
    }
    while (*map != '\0') {
        const char* end = strchr(map, ';');
        size_t length = end != NULL ? (size_t)(end - map) : strlen(map);
        if (length > 2 && tolower((unsigned char)map[0]) == letter && map[1] == '=') {
            const char* path = map + 2;
            size_t pathLength = length - 2;
            const char* colon = memrchr(path, ':', pathLength);
            if (colon != NULL) {
                size_t tagLength = pathLength - (size_t)(colon + 1 - path);
                const char* tags[] = {"fixed", "removable", "cdrom", "remote"};
                for (size_t i = 0; i < 4; ++i)
                    if (strlen(tags[i]) == tagLength && strncmp(colon + 1, tags[i], tagLength) == 0)
                        pathLength = (size_t)(colon - path);
            }
            if (pathLength + 1 > size)
                return 0;
            memcpy(root, path, pathLength);
            root[pathLength] = '\0';
            return 1;
        }
        if (end == NULL)
            break;
        map = end + 1;
    }
    return 0;
}

/* "c:\a\b.ini" to "<root of c:>/a/b.ini". Returns 0 when the path has no mapped drive or is too long. */
SAMPLE_HELPER int sampleLocalPath(const char* drivePath, char* local, size_t size)
{
    char root[SAMPLE_PATH_MAX];
    size_t used;
    const char* rest;
    if (drivePath == NULL || !isalpha((unsigned char)drivePath[0]) || drivePath[1] != ':')
        return 0;
    if (!sampleDriveRoot(drivePath[0], root, sizeof root))
        return 0;
    used = strlen(root);
    if (used > 0 && root[used - 1] == '/')
        --used;
    if (used + strlen(drivePath) + 2 > size)
        return 0;
    memcpy(local, root, used);
    rest = drivePath + 2;
    if (*rest != '\\')
        local[used++] = '/';
    for (; *rest != '\0'; ++rest)
        local[used++] = *rest == '\\' ? '/' : *rest;
    local[used] = '\0';
    if (used == 0) {
        local[0] = '/';
        local[1] = '\0';
    }
    return 1;
}

SAMPLE_HELPER void sampleTrim(char* text)
{
    size_t length = strlen(text);
    size_t start = 0;
    while (length > 0 && isspace((unsigned char)text[length - 1]))
        text[--length] = '\0';
    while (isspace((unsigned char)text[start]))
        ++start;
    memmove(text, text + start, length - start + 1);
}

/* The value of key in [section] of the local ini file, or fallback. Names compare ignoring case. */
SAMPLE_HELPER long sampleReadNumber(const char* iniPath, const char* section, const char* key, long fallback)
{
    char line[1024];
    int inSection = 0;
    long value = fallback;
    FILE* file = fopen(iniPath, "r");
    if (file == NULL)
        return fallback;
    while (fgets(line, sizeof line, file) != NULL) {
        char* equals;
        sampleTrim(line);
        if (line[0] == '[') {
            char* close = strchr(line, ']');
            if (close != NULL)
                *close = '\0';
            sampleTrim(line + 1);
            inSection = strcasecmp(line + 1, section) == 0;
            continue;
        }
        equals = strchr(line, '=');
        if (!inSection || equals == NULL)
            continue;
        *equals = '\0';
        sampleTrim(line);
        if (strcasecmp(line, key) == 0) {
            char* end;
            long parsed;
            sampleTrim(equals + 1);
            parsed = strtol(equals + 1, &end, 0);
            if (end != equals + 1 && *end == '\0')
                value = parsed;
            break;
        }
    }
    fclose(file);
    return value;
}

/* Opens the log fileName in the folder of the settings file (drive path) for appending. */
SAMPLE_HELPER FILE* sampleOpenLog(const char* settingsPath, const char* fileName)
{
    char local[SAMPLE_PATH_MAX];
    char* slash;
    if (!sampleLocalPath(settingsPath, local, sizeof local))
        return NULL;
    slash = strrchr(local, '/');
    if (slash == NULL || (size_t)(slash + 1 - local) + strlen(fileName) + 1 > sizeof local)
        return NULL;
    strcpy(slash + 1, fileName);
    return fopen(local, "a");
}

#endif /* WUX_SAMPLE_COMMON_H */
