/* The minimal safe replace that the benchmarks measure the Replacer against: for each file, read it
 * whole; when the find text occurs, write the new content to a temporary file beside it, give it the
 * file's mode bits, flush it to disk and rename it over the file. A file without a match is left alone.
 *
 *   wux_bench_safe_replace FIND REPLACE PATH...
 *   wux_bench_safe_replace -t TABLE PATH...      TABLE: "find<TAB>replace" lines; of the finds that
 *                                               start at the leftmost place the first row wins
 *
 * A PATH that is a folder stands for the regular files directly in it. Prints
 * "files N changed M hits H". */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct pair
{
    char* find;
    size_t findLength;
    char* replace;
    size_t replaceLength;
};

static struct pair* pairs;
static size_t pairCount;
static int rowsByFirstByte[256][64]; /* rows that begin with each byte (at most 64 per byte) */
static int rowsByFirstCount[256];
static long files, changed, hits;

static char* output;
static size_t outputLength, outputCapacity;

static void append(const char* bytes, size_t length)
{
    if (outputLength + length > outputCapacity) {
        outputCapacity = (outputLength + length) * 2;
        output = realloc(output, outputCapacity);
        if (!output) {
            perror("realloc");
            exit(1);
        }
    }
    memcpy(output + outputLength, bytes, length);
    outputLength += length;
}

/* The matches of the pair table in data, appended to output; returns the number of matches. */
static long replaceAll(const char* data, size_t size)
{
    long found = 0;
    size_t done = 0;
    size_t pos = 0;
    outputLength = 0;
    if (pairCount == 1) {
        const struct pair* p = &pairs[0];
        while (pos + p->findLength <= size) {
            const char* at = memmem(data + pos, size - pos, p->find, p->findLength);
            if (!at)
                break;
            const size_t start = (size_t)(at - data);
            append(data + done, start - done);
            append(p->replace, p->replaceLength);
            pos = done = start + p->findLength;
            ++found;
        }
    } else {
        while (pos < size) {
            const unsigned char first = (unsigned char)data[pos];
            int matched = -1;
            for (int k = 0; k < rowsByFirstCount[first]; ++k) {
                const struct pair* p = &pairs[rowsByFirstByte[first][k]];
                if (pos + p->findLength <= size && memcmp(data + pos, p->find, p->findLength) == 0) {
                    matched = rowsByFirstByte[first][k];
                    break;
                }
            }
            if (matched < 0) {
                ++pos;
                continue;
            }
            append(data + done, pos - done);
            append(pairs[matched].replace, pairs[matched].replaceLength);
            pos = done = pos + pairs[matched].findLength;
            ++found;
        }
    }
    if (found)
        append(data + done, size - done);
    return found;
}

static int replaceInFile(const char* path)
{
    const int fd = open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        perror(path);
        return 1;
    }
    char* data = malloc((size_t)st.st_size + 1);
    size_t size = 0;
    for (ssize_t n; size < (size_t)st.st_size && (n = read(fd, data + size, (size_t)st.st_size - size)) > 0;)
        size += (size_t)n;
    close(fd);
    ++files;
    const long found = replaceAll(data, size);
    free(data);
    if (!found)
        return 0;
    char temp[4096];
    snprintf(temp, sizeof temp, "%s.wuxtmp", path);
    const int out = open(temp, O_WRONLY | O_CREAT | O_EXCL, st.st_mode & 07777);
    if (out < 0) {
        perror(temp);
        return 1;
    }
    size_t written = 0;
    while (written < outputLength) {
        const ssize_t n = write(out, output + written, outputLength - written);
        if (n <= 0) {
            perror(temp);
            close(out);
            unlink(temp);
            return 1;
        }
        written += (size_t)n;
    }
    if (fchmod(out, st.st_mode & 07777) != 0 || fsync(out) != 0 || close(out) != 0 ||
        rename(temp, path) != 0) {
        perror(temp);
        unlink(temp);
        return 1;
    }
    ++changed;
    hits += found;
    return 0;
}

static int handlePath(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        perror(path);
        return 1;
    }
    if (!S_ISDIR(st.st_mode))
        return replaceInFile(path);
    DIR* dir = opendir(path);
    if (!dir) {
        perror(path);
        return 1;
    }
    int failed = 0;
    char child[4096];
    for (struct dirent* entry; (entry = readdir(dir));) {
        if (entry->d_name[0] == '.' && (!entry->d_name[1] || (entry->d_name[1] == '.' && !entry->d_name[2])))
            continue;
        snprintf(child, sizeof child, "%s/%s", path, entry->d_name);
        if (entry->d_type == DT_REG ||
            (entry->d_type == DT_UNKNOWN && stat(child, &st) == 0 && S_ISREG(st.st_mode)))
            failed |= replaceInFile(child);
    }
    closedir(dir);
    return failed;
}

static void addPair(const char* find, size_t findLength, const char* replace, size_t replaceLength)
{
    if (findLength == 0)
        return;
    pairs = realloc(pairs, (pairCount + 1) * sizeof *pairs);
    struct pair* p = &pairs[pairCount];
    p->find = strndup(find, findLength);
    p->findLength = findLength;
    p->replace = strndup(replace, replaceLength);
    p->replaceLength = replaceLength;
    const unsigned char first = (unsigned char)find[0];
    if (rowsByFirstCount[first] < 64)
        rowsByFirstByte[first][rowsByFirstCount[first]++] = (int)pairCount;
    ++pairCount;
}

static void readTable(const char* name)
{
    FILE* table = fopen(name, "r");
    if (!table) {
        perror(name);
        exit(1);
    }
    char line[8192];
    while (fgets(line, sizeof line, table)) {
        size_t length = strlen(line);
        while (length && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = 0;
        char* tab = strchr(line, '\t');
        if (tab)
            addPair(line, (size_t)(tab - line), tab + 1, strlen(tab + 1));
        else
            addPair(line, length, "", 0);
    }
    fclose(table);
}

int main(int argc, char** argv)
{
    int first;
    if (argc >= 3 && strcmp(argv[1], "-t") == 0) {
        readTable(argv[2]);
        first = 3;
    } else if (argc >= 3) {
        addPair(argv[1], strlen(argv[1]), argv[2], strlen(argv[2]));
        first = 3;
    } else {
        fprintf(stderr, "usage: wux_bench_safe_replace FIND REPLACE PATH... | -t TABLE PATH...\n");
        return 2;
    }
    if (pairCount == 0) {
        fprintf(stderr, "wux_bench_safe_replace: no find text\n");
        return 2;
    }
    int failed = 0;
    for (int i = first; i < argc; ++i)
        failed |= handlePath(argv[i]);
    printf("files %ld changed %ld hits %ld\n", files, changed, hits);
    return failed;
}
