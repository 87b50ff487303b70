// The benchmark data generator: writes the data sets a-e into a folder, the same bytes for the same
// seed and scale, together with the facts the runs check their results against.
//
//   wux_bench_gen OUT [--seed N] [--scale F] [--sets abcdef]
//
// a/  one folder of 100,000 files: mixed name lengths, extensions and sizes
// b/  a tree of 10,000 text files (about 80 MB; 100 bytes to 1 MB; one in twenty UTF-16 with a byte-order
//     mark) where "WUXNEEDLE" is planted in a known subset and "WuxNeedle" in another
// c/  1,000 text files with a known number of "WUXFIND" (mode 1) and of the 50 batch terms "WUXB00" ..
//     "WUXB49"; c.table holds the batch table (find TAB replace, one row a line)
// d/  10,000 files to rename
// e/  a tree of 10,000 small files and three large files (50, 120 and 200 MB)
// f/  a-small/: 1,100 folders of one small file each; b-big/: one folder of 20,000 small files (a copy of
//     both meets the large folder after more than a thousand others)
//
// Facts: OUT/MANIFEST (key=value lines), OUT/b.expected (relative paths holding "WUXNEEDLE" in 8-bit
// text), OUT/b.expected-i (the same ignoring case), OUT/b.expected-utf16 and b.expected-utf16-i (the UTF-16
// files holding the term, and ignoring case).
// --scale multiplies every count and size (at least one of each), for the smoke test's tiny data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// splitmix64: small, fast and the same everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi].
    std::uint64_t range(std::uint64_t lo, std::uint64_t hi) { return lo + next() % (hi - lo + 1); }
    // Log-uniform in [lo, hi].
    std::uint64_t logRange(double lo, double hi)
    {
        const double u = static_cast<double>(next() >> 11) / static_cast<double>(1ull << 53);
        return static_cast<std::uint64_t>(std::exp(std::log(lo) + u * (std::log(hi) - std::log(lo))));
    }
    bool chance(std::uint64_t oneIn) { return next() % oneIn == 0; }

private:
    std::uint64_t state_;
};

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "wux_bench_gen: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void makeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        fail("cannot create " + path);
}

void writeFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        fail("cannot create " + path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0)
            fail("cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        fail("cannot close " + path);
}

// Random lower-case words, spaces and line ends: text in which no upper-case term can appear by chance.
std::string makeWordPool(Random& random, std::size_t size)
{
    std::string pool;
    pool.reserve(size + 16);
    while (pool.size() < size) {
        const std::uint64_t length = random.range(1, 10);
        for (std::uint64_t i = 0; i < length; ++i)
            pool += static_cast<char>('a' + random.next() % 26);
        pool += random.chance(12) ? '\n' : ' ';
    }
    pool.resize(size);
    return pool;
}

// A slice of the pool of `size` bytes at a random place.
std::string textOf(Random& random, const std::string& pool, std::size_t size)
{
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        const std::size_t take = std::min(size - text.size(), pool.size() / 2);
        const std::size_t from = random.next() % (pool.size() - take);
        text.append(pool, from, take);
    }
    return text;
}

// Writes each term, surrounded by spaces, into its own segment of text (so that no two overlap). The
// text grows when it is too short for them.
void plantTerms(Random& random, std::string& text, const std::vector<std::string_view>& terms)
{
    if (terms.empty())
        return;
    std::size_t longest = 0;
    for (std::string_view term : terms)
        longest = std::max(longest, term.size() + 2);
    if (text.size() < longest * terms.size())
        text.append(longest * terms.size() - text.size(), ' ');
    const std::size_t segment = text.size() / terms.size();
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const std::string_view term = terms[i];
        const std::size_t slack = segment - (term.size() + 2);
        const std::size_t at = i * segment + (slack > 0 ? random.next() % (slack + 1) : 0);
        text[at] = ' ';
        text.replace(at + 1, term.size(), term);
        text[at + 1 + term.size()] = ' ';
    }
}

std::string toUtf16(std::string_view text)
{
    std::string wide;
    wide.reserve(2 + text.size() * 2);
    wide += "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

struct Options
{
    std::string out;
    std::uint64_t seed = 15;
    double scale = 1.0;
    std::string sets = "abcdef";
};

std::size_t scaled(const Options& options, double count)
{
    return std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(count * options.scale)));
}

using Manifest = std::map<std::string, std::string>;

const char* const kExtensions[] = {"txt", "doc",  "jpg", "png",  "cpp", "h",  "tar.gz", "pdf",
                                   "mp3", "html", "c",   "json", "",    "md", "log",    "x"};

// a: one folder of many files.
void generateListing(const Options& options, Random& random, Manifest& manifest)
{
    const std::string folder = options.out + "/a";
    makeFolder(folder);
    const std::size_t count = scaled(options, 100000);
    const std::string filler(64 * 1024, 'a');
    std::uint64_t bytes = 0;
    std::size_t folders = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name;
        const std::uint64_t length = random.chance(20) ? random.range(30, 120) : random.range(1, 24);
        for (std::uint64_t k = 0; k < length; ++k) {
            const std::uint64_t pick = random.next() % 40;
            name += pick < 26   ? static_cast<char>('a' + pick)
                    : pick < 32 ? static_cast<char>('A' + pick - 26)
                    : pick < 38 ? static_cast<char>('0' + pick - 32)
                    : pick < 39 ? '_'
                                : '-';
        }
        name += '_' + std::to_string(i); // unique
        if (random.chance(200)) {
            makeFolder(folder + "/" + name);
            ++folders;
            continue;
        }
        const char* extension = kExtensions[random.next() % std::size(kExtensions)];
        if (*extension)
            name += std::string(".") + extension;
        const std::uint64_t size =
            random.chance(10) ? 0 : std::min<std::uint64_t>(random.logRange(1, 60000), filler.size());
        writeFile(folder + "/" + name, std::string_view(filler).substr(0, size));
        bytes += size;
    }
    manifest["a.entries"] = std::to_string(count);
    manifest["a.folders"] = std::to_string(folders);
    manifest["a.files"] = std::to_string(count - folders);
    manifest["a.bytes"] = std::to_string(bytes);
}

// b: a tree of text files to search.
void generateSearch(const Options& options, Random& random, const std::string& pool, Manifest& manifest)
{
    const std::string root = options.out + "/b";
    makeFolder(root);
    const std::size_t count = scaled(options, 10000);
    const std::size_t large = scaled(options, 20);
    const std::size_t perFolder = 100;
    std::vector<std::string> exact;
    std::vector<std::string> anyCase;
    std::vector<std::string> wide;
    std::vector<std::string> wideAnyCase;
    std::uint64_t bytes = 0;
    std::size_t txtFiles = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t group = i / perFolder;
        const std::string relativeFolder = "d" + std::to_string(group % 10) + "/s" + std::to_string(group);
        if (i % perFolder == 0) {
            makeFolder(root + "/d" + std::to_string(group % 10));
            makeFolder(root + "/" + relativeFolder);
        }
        const bool text = !random.chance(8); // the rest are ".log" files the mask leaves out
        const std::string relative = relativeFolder + "/f" + std::to_string(i) + (text ? ".txt" : ".log");
        const std::size_t size = i < large
                                     ? static_cast<std::size_t>(1000000 * std::min(1.0, options.scale * 50))
                                     : random.logRange(100, 40000);
        std::string content = textOf(random, pool, std::max<std::size_t>(size, 100));
        const bool utf16 = random.chance(20);
        const std::uint64_t plant = random.next() % 10; // 0-1 exact term, 2 other case, else none
        std::vector<std::string_view> terms;
        if (plant < 2)
            terms.push_back("WUXNEEDLE");
        else if (plant == 2)
            terms.push_back("WuxNeedle");
        if (utf16) {
            // Half the size in characters, so that the file keeps its size.
            content.resize(std::max<std::size_t>(content.size() / 2, 50));
            plantTerms(random, content, terms);
            content = toUtf16(content);
        } else {
            plantTerms(random, content, terms);
        }
        writeFile(root + "/" + relative, content);
        bytes += content.size();
        txtFiles += text ? 1 : 0;
        if (!terms.empty() && text) {
            if (utf16) {
                wideAnyCase.push_back(relative);
                if (plant < 2)
                    wide.push_back(relative);
            } else {
                anyCase.push_back(relative);
                if (plant < 2)
                    exact.push_back(relative);
            }
        }
    }
    auto writeList = [&](const std::string& name, std::vector<std::string> list) {
        std::sort(list.begin(), list.end());
        std::string text;
        for (const std::string& line : list)
            text += line + "\n";
        writeFile(options.out + "/" + name, text);
    };
    writeList("b.expected", exact);
    writeList("b.expected-i", anyCase);
    writeList("b.expected-utf16", wide);
    writeList("b.expected-utf16-i", wideAnyCase);
    manifest["b.files"] = std::to_string(count);
    manifest["b.txt"] = std::to_string(txtFiles);
    manifest["b.bytes"] = std::to_string(bytes);
    manifest["b.hits"] = std::to_string(exact.size());
    manifest["b.hits-i"] = std::to_string(anyCase.size());
    manifest["b.hits-utf16"] = std::to_string(wide.size());
    manifest["b.hits-utf16-i"] = std::to_string(wideAnyCase.size());
}

// c: files to replace in, and the batch table.
void generateReplace(const Options& options, Random& random, const std::string& pool, Manifest& manifest)
{
    const std::string root = options.out + "/c";
    makeFolder(root);
    constexpr int kBatchRows = 50;
    std::vector<std::string> batchFinds;
    std::string table;
    for (int row = 0; row < kBatchRows; ++row) {
        char find[16];
        char replace[32];
        std::snprintf(find, sizeof find, "WUXB%02d", row);
        std::snprintf(replace, sizeof replace, "batch-%02d-done", row);
        batchFinds.emplace_back(find);
        table += std::string(find) + "\t" + replace + "\n";
    }
    writeFile(options.out + "/c.table", table);
    const std::size_t count = scaled(options, 1000);
    std::uint64_t hits = 0;
    std::uint64_t batchHits = 0;
    std::uint64_t bytes = 0;
    std::size_t changed = 0;
    std::size_t batchChanged = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::string content = textOf(random, pool, random.logRange(4000, 128000));
        std::vector<std::string_view> terms;
        const std::uint64_t findCount = random.chance(10) ? 0 : random.range(1, 20);
        const std::uint64_t batchCount = random.chance(10) ? 0 : random.range(1, 30);
        for (std::uint64_t k = 0; k < findCount; ++k)
            terms.push_back("WUXFIND");
        for (std::uint64_t k = 0; k < batchCount; ++k)
            terms.push_back(batchFinds[random.next() % batchFinds.size()]);
        // Shuffle so that both kinds spread over the file.
        for (std::size_t k = terms.size(); k > 1; --k)
            std::swap(terms[k - 1], terms[random.next() % k]);
        plantTerms(random, content, terms);
        writeFile(root + "/r" + std::to_string(i) + ".txt", content);
        hits += findCount;
        batchHits += batchCount;
        changed += findCount > 0 ? 1 : 0;
        batchChanged += batchCount > 0 ? 1 : 0;
        bytes += content.size();
    }
    manifest["c.files"] = std::to_string(count);
    manifest["c.bytes"] = std::to_string(bytes);
    manifest["c.find"] = "WUXFIND";
    manifest["c.replace"] = "wux-replaced-text";
    manifest["c.hits"] = std::to_string(hits);
    manifest["c.changed"] = std::to_string(changed);
    manifest["c.batch-rows"] = std::to_string(kBatchRows);
    manifest["c.batch-hits"] = std::to_string(batchHits);
    manifest["c.batch-changed"] = std::to_string(batchChanged);
}

// d: files to rename.
void generateRename(const Options& options, Random& random, Manifest& manifest)
{
    const std::string root = options.out + "/d";
    makeFolder(root);
    const std::size_t count = scaled(options, 10000);
    const char* const extensions[] = {"jpg", "png", "txt", "doc"};
    for (std::size_t i = 0; i < count; ++i) {
        // "img" + a unique zero-padded number first, so that every sort order of the names agrees.
        char number[32];
        std::snprintf(number, sizeof number, "img%06zu_", i);
        std::string name = number;
        const std::uint64_t length = random.range(3, 12);
        for (std::uint64_t k = 0; k < length; ++k)
            name += static_cast<char>('a' + random.next() % 26);
        name += std::string(".") + extensions[random.next() % std::size(extensions)];
        writeFile(root + "/" + name, name);
    }
    manifest["d.files"] = std::to_string(count);
}

// e: a tree of small files and a few large ones to copy.
void generateCopy(const Options& options, Random& random, const std::string& pool, Manifest& manifest)
{
    const std::string root = options.out + "/e";
    makeFolder(root);
    const std::size_t count = scaled(options, 10000);
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t group = i / 100;
        const std::string folder = root + "/g" + std::to_string(group % 10) + "/h" + std::to_string(group);
        if (i % 100 == 0) {
            makeFolder(root + "/g" + std::to_string(group % 10));
            makeFolder(folder);
        }
        const std::string content = textOf(random, pool, random.logRange(100, 16000));
        writeFile(folder + "/s" + std::to_string(i) + ".dat", content);
        bytes += content.size();
    }
    makeFolder(root + "/big");
    const double megabytes[] = {50, 120, 200};
    std::string chunk(1 << 20, '\0');
    for (std::size_t k = 0; k < std::size(megabytes); ++k) {
        const std::size_t size =
            std::max<std::size_t>(1, static_cast<std::size_t>(megabytes[k] * options.scale * 1048576));
        const std::string path = root + "/big/large" + std::to_string(k) + ".bin";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            fail("cannot create " + path);
        for (std::size_t done = 0; done < size;) {
            for (std::size_t w = 0; w + 8 <= chunk.size(); w += 8) {
                const std::uint64_t value = random.next();
                std::memcpy(chunk.data() + w, &value, 8);
            }
            const std::size_t take = std::min(chunk.size(), size - done);
            if (::write(fd, chunk.data(), take) != static_cast<ssize_t>(take))
                fail("cannot write " + path);
            done += take;
        }
        ::close(fd);
        bytes += size;
    }
    manifest["e.files"] = std::to_string(count + std::size(megabytes));
    manifest["e.bytes"] = std::to_string(bytes);
}

// f: many small folders, then one large folder.
void generateManyFolders(const Options& options, Random& random, const std::string& pool, Manifest& manifest)
{
    const std::string root = options.out + "/f";
    makeFolder(root);
    makeFolder(root + "/a-small");
    makeFolder(root + "/b-big");
    const std::size_t folders = scaled(options, 1100);
    const std::size_t files = scaled(options, 20000);
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < folders; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/s%04zu", i);
        const std::string folder = root + "/a-small" + name;
        makeFolder(folder);
        const std::string content = textOf(random, pool, random.logRange(100, 2000));
        writeFile(folder + "/note.txt", content);
        bytes += content.size();
    }
    for (std::size_t i = 0; i < files; ++i) {
        const std::string content = textOf(random, pool, random.logRange(100, 2000));
        writeFile(root + "/b-big/m" + std::to_string(i) + ".dat", content);
        bytes += content.size();
    }
    manifest["f.small-folders"] = std::to_string(folders);
    manifest["f.big-files"] = std::to_string(files);
    manifest["f.files"] = std::to_string(folders + files);
    manifest["f.bytes"] = std::to_string(bytes);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--seed" && i + 1 < argc)
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--scale" && i + 1 < argc)
            options.scale = std::strtod(argv[++i], nullptr);
        else if (arg == "--sets" && i + 1 < argc)
            options.sets = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && options.out.empty())
            options.out = arg;
        else {
            std::fprintf(stderr, "usage: wux_bench_gen OUT [--seed N] [--scale F] [--sets abcdef]\n");
            return 2;
        }
    }
    if (options.out.empty() || !(options.scale > 0)) {
        std::fprintf(stderr, "usage: wux_bench_gen OUT [--seed N] [--scale F] [--sets abcdef]\n");
        return 2;
    }
    makeFolder(options.out);
    Manifest manifest;
    manifest["seed"] = std::to_string(options.seed);
    char scaleText[32];
    std::snprintf(scaleText, sizeof scaleText, "%g", options.scale);
    manifest["scale"] = scaleText;
    Random poolRandom(options.seed * 7919 + 1);
    const std::string pool = makeWordPool(poolRandom, 4 << 20);
    // Each set has its own stream, so that generating one set alone gives the same bytes.
    if (options.sets.find('a') != std::string::npos) {
        Random random(options.seed * 1000 + 1);
        generateListing(options, random, manifest);
    }
    if (options.sets.find('b') != std::string::npos) {
        Random random(options.seed * 1000 + 2);
        generateSearch(options, random, pool, manifest);
    }
    if (options.sets.find('c') != std::string::npos) {
        Random random(options.seed * 1000 + 3);
        generateReplace(options, random, pool, manifest);
    }
    if (options.sets.find('d') != std::string::npos) {
        Random random(options.seed * 1000 + 4);
        generateRename(options, random, manifest);
    }
    if (options.sets.find('e') != std::string::npos) {
        Random random(options.seed * 1000 + 5);
        generateCopy(options, random, pool, manifest);
    }
    if (options.sets.find('f') != std::string::npos) {
        Random random(options.seed * 1000 + 6);
        generateManyFolders(options, random, pool, manifest);
    }
    // Keys of sets generated earlier into the same folder are kept.
    Manifest merged;
    if (FILE* old = std::fopen((options.out + "/MANIFEST").c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, old)) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            const std::size_t eq = text.find('=');
            if (eq != std::string::npos)
                merged[text.substr(0, eq)] = text.substr(eq + 1);
        }
        std::fclose(old);
    }
    for (const auto& [key, value] : manifest)
        merged[key] = value;
    std::string text;
    for (const auto& [key, value] : merged)
        text += key + "=" + value + "\n";
    writeFile(options.out + "/MANIFEST", text);
    std::fputs(text.c_str(), stdout);
    return 0;
}
