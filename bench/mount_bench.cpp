// SPDX-License-Identifier: MIT
// Reads through a kelvanefs mount beside raw reads and a plain pass-through
// FUSE mount (bindfs) of the same bytes: sequential reads with one and four
// readers, cold and warm, re-reads, and `du -s` / `ls -lR` over 10,000 files.
// Then a tree copied from system folders (many folders of thousands of
// entries, symlinks, hard links), compressed, walked and read whole through
// the mount beside the same tree read natively (no mount) and through
// bindfs, and unpacked and written into each.
// Prints figures; run as root for the cold cases (drop_caches).
//
//   mount_bench [WORK_FOLDER] [ROUNDS] [reads | metadata | tree | setup]
//   (the last argument runs only the reads, the metadata walks or the tree;
//   "setup" leaves the files and the mounts in place, for a profiler)
//   The tree is made once in $MOUNT_BENCH_TREE (default
//   $TMPDIR/kelvane-mount-bench-tree) and reused by later runs;
//   $KELVANEFS names another kelvanefs program, $KELVANEFS_OPTIONS adds
//   mount options.

#include "BenchCorpus.h"
#include "BenchStatistics.h"
#include "BenchUsage.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "platform/FileSystem.h"
#include "platform/MountTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using kelvane::bench::median;

constexpr int kReadFiles = 24;      // corpus files cycled, ~110 MB per set
constexpr int kTreeFiles = 10000;   // for the metadata walk
constexpr int kTreeFolders = 100;

int run(const std::vector<std::string>& arguments, bool quiet = true)
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool mountedAt(const stdfs::path& point, std::string_view type)
{
    const auto table = kelvane::platform::MountTable::read("/proc");
    if (!table)
        return false;
    for (const auto& entry : table->entries())
        if (entry.mountPoint == point && entry.fsType.find(type) != std::string::npos)
            return true;
    return false;
}

bool waitForMount(const stdfs::path& point, std::string_view type)
{
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!mountedAt(point, type)) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool dropCaches();
double seconds(const std::function<void()>& work);
bool remountBindfs(const stdfs::path& source, const stdfs::path& point);
bool remountKelvanefs(const stdfs::path& folder, const std::string& options);

bool dropCaches()
{
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return static_cast<bool>(drop);
}

// Bytes read from `files`, by `readers` threads taking files in turn.
std::uint64_t readFiles(const std::vector<stdfs::path>& files, int readers)
{
    std::atomic<std::size_t> next = 0;
    std::atomic<std::uint64_t> total = 0;
    std::vector<std::thread> threads;
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&] {
            std::vector<char> buffer(1 << 20);
            for (std::size_t i; (i = next++) < files.size();) {
                const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) {
                    std::perror(files[i].c_str());
                    continue;
                }
                for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
                    total += static_cast<std::uint64_t>(got);
                ::close(fd);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    return total;
}

// Drops the pages of these files (through whichever mount they are seen),
// leaving the caches of the files below alone.
void forgetPages(const std::vector<stdfs::path>& files)
{
    for (const auto& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

// Every read row measures each kind this many times and keeps the medians.
constexpr int kTurns = 5;

// "kelvanefs/bindfs 0.62x (0.53-0.69)": the median of a row's ratios and their range.
void printRatios(const std::vector<double>& ratios)
{
    std::printf("  kelvanefs/bindfs %.2fx (%.2f-%.2f)\n", median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
}

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<stdfs::path> under(const stdfs::path& folder, const std::vector<std::string>& names)
{
    std::vector<stdfs::path> out;
    for (const auto& name : names)
        out.push_back(folder / name);
    return out;
}

bool remountBindfs(const stdfs::path& source, const stdfs::path& point)
{
    if (mountedAt(point, "fuse"))
        run({"fusermount3", "-u", point.string()});
    return run({"bindfs", source.string(), point.string()}) == 0 && waitForMount(point, "fuse");
}

// The build's kelvanefs, or the one $KELVANEFS names (to compare builds).
stdfs::path kelvanefsProgram()
{
    if (const char* named = std::getenv("KELVANEFS"); named && *named)
        return named;
    return stdfs::canonical("/proc/self/exe").parent_path().parent_path() / "kelvanefs";
}

bool remountKelvanefs(const stdfs::path& folder, const std::string& options)
{
    const stdfs::path kelvanefs = kelvanefsProgram();
    if (mountedAt(folder, "kelvanefs"))
        run({"fusermount3", "-u", folder.string()});
    // The folder shows unmounted before the old daemon has let go of its socket.
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (run({kelvanefs.string(), "-o", options, folder.string()}) != 0 && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return waitForMount(folder, "kelvanefs");
}


// --- the tree of system folders -------------------------------------------------

// Folders of thousands of entries, symlinks among them, about 1 GB together;
// those the machine lacks are left out.
const char* const kSystemFolders[] = {"/usr/share/doc", "/usr/lib/python3", "/usr/lib/python3.11", "/usr/lib/git-core",
                                      "/usr/lib/gcc",   "/usr/share/man",   "/usr/share/locale",   "/usr/include",
                                      "/usr/share/perl", "/usr/share/vim"};

// Makes `base`/native (the copies, with a hard link beside every 50th file)
// and `base`/kfs (the same, compressed by the engine wherever it shrinks a
// file) unless a finished earlier run left them; `base`/docs.tar holds the
// documentation folder, to unpack. The summary line of the tree.
std::string makeTree(const stdfs::path& base)
{
    const stdfs::path made = base / ".made";
    if (stdfs::exists(made)) {
        std::ifstream in(made);
        std::string line;
        std::getline(in, line);
        return line + " (reused)";
    }
    stdfs::remove_all(base);
    stdfs::create_directories(base / "native");
    for (const char* source : kSystemFolders) {
        std::string name = source + 1;
        std::replace(name.begin(), name.end(), '/', '_');
        if (stdfs::is_directory(source))
            run({"cp", "-a", source, (base / "native" / name).string()});
    }
    std::vector<stdfs::path> files;
    for (const auto& entry : stdfs::recursive_directory_iterator(base / "native"))
        if (entry.is_regular_file() && !entry.is_symlink())
            files.push_back(entry.path());
    for (std::size_t i = 0; i < files.size(); i += 50) {
        std::error_code ignored;
        stdfs::create_hard_link(files[i], files[i].string() + ".link", ignored);
    }
    run({"cp", "-a", (base / "native").string(), (base / "kfs").string()});
    run({"tar", "cf", (base / "docs.tar").string(), "-C", (base / "native").string(), "usr_share_doc"});

    // Compressed side by side; a file the engine refuses (hard-linked,
    // would not shrink) stays as it is.
    std::atomic<std::size_t> next = 0, compressed = 0;
    std::atomic<std::uint64_t> logical = 0;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        threads.emplace_back([&] {
            const kelvane::engine::FileCompressor compressor;
            for (std::size_t i; (i = next++) < files.size();) {
                const stdfs::path file = base / "kfs" / stdfs::relative(files[i], base / "native");
                try {
                    compressor.compressFile(file);
                    ++compressed;
                    logical += stdfs::file_size(file);
                } catch (const std::exception&) {
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::uint64_t total = 0;
    std::size_t entries = 0;
    for (const auto& entry : stdfs::recursive_directory_iterator(base / "native")) {
        ++entries;
        if (entry.is_regular_file() && !entry.is_symlink())
            total += entry.file_size();
    }
    char line[256];
    std::snprintf(line, sizeof line, "tree: %zu entries, %zu files of %.0f MB; %zu compressed (%.0f MB logical)", entries,
                  files.size(), total / 1e6, compressed.load(), logical.load() / 1e6);
    std::ofstream(made) << line << "\n";
    return line;
}

// Writes 1 GiB to `file` in 1 MiB requests and makes it durable.
void writeBigFile(const stdfs::path& file)
{
    std::vector<char> chunk(1 << 20);
    std::mt19937 rng(11);
    for (auto& c : chunk)
        c = static_cast<char>('a' + rng() % 26);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::perror(file.c_str());
    for (int i = 0; i < 1024; ++i)
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
            std::perror(file.c_str());
    ::fsync(fd);
    ::close(fd);
}

// "native 0.850 s  bindfs 4.100 s  kelvanefs 3.900 s  /native 4.59x  /bindfs 0.95x"
void printTreeRow(const std::string& label, const double figures[3])
{
    std::printf("  %-30s native %7.3f s  bindfs %7.3f s  kelvanefs %7.3f s  kelvanefs/native %5.2fx  kelvanefs/bindfs %5.2fx\n",
                label.c_str(), figures[0], figures[1], figures[2], figures[2] / figures[0], figures[2] / figures[1]);
}

int benchTree(const stdfs::path& base, int rounds, const std::string& options, bool root)
{
    const stdfs::path native = base / "native", kfs = base / "kfs", bind = base / "bind";
    for (const auto& point : {kfs, bind})
        if (mountedAt(point, "fuse"))
            run({"fusermount3", "-u", point.string()});
    std::printf("%s\n", makeTree(base).c_str());
    // A run stopped during its writes leaves them in the trees (earlier
    // versions named them unpacked-<n>): every walk must cover the same files.
    for (const auto& tree : {native, kfs})
        for (const auto& entry : stdfs::directory_iterator(tree)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("unpacked") || name.starts_with("big"))
                stdfs::remove_all(entry.path());
        }
    stdfs::create_directories(bind);
    if (!remountKelvanefs(kfs, options) || !remountBindfs(native, bind)) {
        std::fprintf(stderr, "mounting the tree failed\n");
        return 1;
    }
    const stdfs::path trees[3] = {native, bind, kfs};
    const auto shell = [](const std::string& command) { return run({"sh", "-c", command}); };
    for (int round = 1; round <= rounds; ++round) {
        std::printf("tree round %d\n", round);
        const std::pair<const char*, std::string> walks[] = {
            {"tar cf - . | wc -c", "cd '%s' && tar cf - . | wc -c"},
            {"du -s", "du -s '%s'"},
            {"find -type f", "find '%s' -type f"},
            {"ls -lR", "ls -lR '%s'"},
        };
        for (const auto& [label, form] : walks) {
            std::string commands[3];
            for (int k = 0; k < 3; ++k) {
                char command[1024];
                std::snprintf(command, sizeof command, form.c_str(), trees[k].c_str());
                commands[k] = command;
            }
            // Warm: each run once before, on the same mounts; then the
            // kinds in turn twice, the faster of each kept.
            double figures[3] = {1e9, 1e9, 1e9};
            for (int k = 0; k < 3; ++k)
                shell(commands[k]);
            for (int k = 0; k < 6; ++k)
                figures[k % 3] = std::min(figures[k % 3], seconds([&] { shell(commands[k % 3]); }));
            printTreeRow(std::string(label) + ", warm", figures);
        }
        if (root) {
            // Cold: nothing of the tree in memory, the mount new.
            double figures[3] = {1e9, 1e9, 1e9};
            for (int k = 0; k < 6; ++k) {
                const int kind = k % 3;
                if (kind == 2)
                    remountKelvanefs(kfs, options);
                dropCaches();
                figures[kind] = std::min(figures[kind], seconds([&] {
                                             shell("cd '" + trees[kind].string() + "' && tar cf - . | wc -c");
                                         }));
            }
            printTreeRow("tar cf - . | wc -c, cold", figures);
        }
        // Writes, each made durable: the documentation unpacked, and one
        // 1 GiB file; the three kinds in turn, once (the rounds repeat them).
        const stdfs::path unpacked[3] = {base / "unpacked", bind / "unpacked", kfs / "unpacked"};
        const stdfs::path big[3] = {base / "big", bind / "big", kfs / "big"};
        double unpacking[3] = {1e9, 1e9, 1e9}, writing[3] = {1e9, 1e9, 1e9};
        for (int k = 0; k < 3; ++k) {
            const int kind = k % 3;
            shell("rm -rf '" + unpacked[kind].string() + "' '" + big[kind].string() + "' && sync");
            stdfs::create_directories(unpacked[kind]);
            unpacking[kind] = std::min(unpacking[kind], seconds([&] {
                                           shell("tar xf '" + (base / "docs.tar").string() + "' -C '" +
                                                 unpacked[kind].string() + "' && sync");
                                       }));
            writing[kind] = std::min(writing[kind], seconds([&] { writeBigFile(big[kind]); }));
        }
        for (int kind = 0; kind < 3; ++kind)
            shell("rm -rf '" + unpacked[kind].string() + "' '" + big[kind].string() + "'");
        printTreeRow("tar xf docs, sync", unpacking);
        printTreeRow("1 GiB file written, fsync", writing);
    }
    for (const auto& point : {kfs, bind})
        run({"fusermount3", "-u", point.string()});
    return 0;
}

struct ReadFiles {
    std::vector<std::string> names;
    std::uint64_t logical = 0, stored = 0;
};

// The corpus files that compress, copied plain into `plain` and compressed
// into `compressed` until there are kReadFiles; nothing when none compresses.
std::optional<ReadFiles> makeReadFiles(const kelvane::engine::FileCompressor& compressor, const stdfs::path& plain,
                                       const stdfs::path& compressed)
{
    ReadFiles files;
    std::vector<std::string>& names = files.names;
    const std::vector<stdfs::path> corpus = kelvane::bench::corpusFiles();
    // Files that compression does not shrink (random, already compressed)
    // stay plain and would only measure the pass-through: left out.
    std::vector<bool> shrinks(corpus.size(), true);
    for (std::size_t next = 0; static_cast<int>(names.size()) < kReadFiles; ++next) {
        if (std::find(shrinks.begin(), shrinks.end(), true) == shrinks.end()) {
            std::fprintf(stderr, "no corpus file compresses\n");
            return std::nullopt;
        }
        if (!shrinks[next % corpus.size()])
            continue;
        const stdfs::path& source = corpus[next % corpus.size()];
        const std::string name = std::to_string(names.size()) + "-" + source.filename().string();
        stdfs::copy_file(source, compressed / name);
        try {
            compressor.compressFile(compressed / name);
        } catch (const kelvane::engine::FileCompressionError&) {
            shrinks[next % corpus.size()] = false;
            stdfs::remove(compressed / name);
            continue;
        }
        names.push_back(name);
        stdfs::copy_file(source, plain / name);
        kelvane::platform::FileStat st;
        kelvane::platform::lstat(compressed / name, st);
        files.logical += static_cast<std::uint64_t>(st.size);
        files.stored += static_cast<std::uint64_t>(st.blocks) * 512;
    }
    return files;
}

// The tree of 10,000 small text files in `tree`, every other one compressed.
void makeSmallTree(const kelvane::engine::FileCompressor& compressor, const stdfs::path& tree)
{
    std::mt19937 rng(7);
    for (int f = 0; f < kTreeFolders; ++f) {
        const stdfs::path folder = tree / ("d" + std::to_string(f));
        stdfs::create_directories(folder);
        for (int i = 0; i < kTreeFiles / kTreeFolders; ++i) {
            const stdfs::path file = folder / ("f" + std::to_string(i) + ".txt");
            std::string text;
            while (text.size() < 6000 + rng() % 4000)
                text += "line " + std::to_string(rng() % 1000) + " of the tree\n";
            std::ofstream(file) << text;
            if (i % 2 == 0)
                compressor.compressFile(file);
        }
    }
}

// du -s and ls -lR over the tree of 10,000 files: on the plain copy, through
// bindfs and through kelvanefs, cold (as root) and warm.
void walkSmallTree(const stdfs::path& treeCopy, const stdfs::path& bindTree, const stdfs::path& kfs,
                   const std::string& options, bool root)
{
    for (const bool cold : {true, false}) {
        if (cold && !root)
            continue;
        for (const auto& [label, command] : {std::pair{"du -s", std::vector<std::string>{"du", "-s"}},
                                             std::pair{"ls -lR", std::vector<std::string>{"ls", "-lR"}}}) {
            // Each walk three times, the three kinds in turn, the fastest
            // of each kept: on a machine that other builds load, one walk
            // of bindfs took 0.5 s and the next 2.6 s.
            double figures[3] = {1e9, 1e9, 1e9};
            const stdfs::path trees[3] = {treeCopy, bindTree, kfs / "tree"};
            for (int k = 0; k < 9; ++k) {
                const int kind = k % 3;
                auto arguments = command;
                arguments.push_back(trees[kind].string());
                if (cold) {
                    dropCaches();
                } else {
                    // Warm: the files below in memory, the mount new (nothing cached in it).
                    run(arguments);
                    if (kind == 1)
                        remountBindfs(treeCopy, bindTree);
                    if (kind == 2)
                        remountKelvanefs(kfs, options);
                }
                figures[kind] = std::min(figures[kind], seconds([&] { run(arguments); }));
            }
            std::printf("  %-28s raw %6.3f s  bindfs %6.3f s  kelvanefs %6.3f s  kelvanefs/bindfs %.2fx\n",
                        (std::string(label) + (cold ? ", cold" : ", warm")).c_str(), figures[0], figures[1],
                        figures[2], figures[2] / figures[1]);
        }
    }
}

// One round of reads of the same files: straight from the disk (`raw`),
// through bindfs and through kelvanefs; cold (as root) and warm, by one and
// four readers, then re-read at once.
void readRound(const std::vector<stdfs::path>& raw, const std::vector<stdfs::path>& viaBindfs,
               const std::vector<stdfs::path>& viaKelvanefs, double mb, bool root)
{
    // Each row measures the three kinds in turn five times and keeps the
    // medians, and the median of the five kelvanefs/bindfs ratios: on
    // the shared machines here one read of the same files through the
    // same mount took anywhere from 0.5x to 1.3x another's time.
    const auto seqRow = [&](const char* label, int readers, bool cold) {
        std::vector<double> figures[3], ratios;
        const std::vector<stdfs::path>* sets[3] = {&raw, &viaBindfs, &viaKelvanefs};
        for (int turn = 0; turn < kTurns; ++turn) {
            for (int k = 0; k < 3; ++k) {
                if (cold) {
                    dropCaches();
                } else {
                    // The bytes below in memory, the mount's own pages dropped.
                    readFiles(k == 2 ? viaKelvanefs : raw, 4);
                    if (k != 0)
                        forgetPages(*sets[k]);
                }
                figures[k].push_back(mb / seconds([&] { readFiles(*sets[k], readers); }));
            }
            ratios.push_back(figures[2].back() / figures[1].back());
        }
        std::printf("  %-28s raw %7.0f MB/s  bindfs %7.0f MB/s  kelvanefs %7.0f MB/s  kelvanefs/raw %.2fx", label,
                    median(figures[0]), median(figures[1]), median(figures[2]), median(figures[2]) / median(figures[0]));
        printRatios(ratios);
    };
    if (root) {
        seqRow("sequential, 1 reader, cold", 1, true);
        seqRow("sequential, 4 readers, cold", 4, true);
    }
    seqRow("sequential, 1 reader, warm", 1, false);
    seqRow("sequential, 4 readers, warm", 4, false);
    {  // re-reads: the same files read again at once
        // Five turns and the medians, as for the rows above: one re-read
        // alone swung between 3.1x and 4.4x bindfs from round to round.
        std::vector<double> bind, kel, ratios;
        readFiles(viaBindfs, 4);
        readFiles(viaKelvanefs, 4);
        for (int turn = 0; turn < kTurns; ++turn) {
            bind.push_back(mb / seconds([&] { readFiles(viaBindfs, 1); }));
            kel.push_back(mb / seconds([&] { readFiles(viaKelvanefs, 1); }));
            ratios.push_back(kel.back() / bind.back());
        }
        std::printf("  %-28s bindfs %7.0f MB/s  kelvanefs %7.0f MB/s", "re-read, 1 reader", median(bind), median(kel));
        printRatios(ratios);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    if (int status = 0; kelvane::bench::stopsForUsage(argc, argv, "mount_bench [WORK_FOLDER] [ROUNDS] [reads | metadata | tree | setup]", 3,
                                                      {"reads", "metadata", "tree", "setup"}, status))
        return status;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes, also into a file
    // The files are compressed before their mounts exist, as a test's are.
    kelvane::engine::Eligibility::enforceMountRule(false);
    const stdfs::path work = argc > 1 ? stdfs::path(argv[1]) : stdfs::temp_directory_path() / "kelvane-mount-bench";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const std::string only = argc > 3 ? argv[3] : "";
    const bool reads = only.empty() || only == "reads" || only == "setup",
               metadata = only.empty() || only == "metadata" || only == "setup";
    const stdfs::path kelvanefs = kelvanefsProgram();
    if (run({"bindfs", "--version"}) != 0 || !stdfs::exists(kelvanefs)) {
        std::fprintf(stderr, "mount_bench needs bindfs (Debian package bindfs) and %s\n", kelvanefs.c_str());
        return 1;
    }
    const bool root = ::geteuid() == 0;
    // KELVANEFS_OPTIONS adds mount options, to compare settings.
    std::string options = "auto_unmount";
    if (const char* extra = std::getenv("KELVANEFS_OPTIONS"); extra && *extra)
        options += std::string(",") + extra;
    const char* treeFolder = std::getenv("MOUNT_BENCH_TREE");
    const stdfs::path treeBase =
        treeFolder && *treeFolder ? stdfs::path(treeFolder) : stdfs::temp_directory_path() / "kelvane-mount-bench-tree";
    if (only == "tree")
        return benchTree(treeBase, rounds, options, root);

    // plain/: the files as they are; kfs/: the same files, compressed, with
    // the tree of 10,000 files (every other one compressed); tree-copy/: the
    // same tree for bindfs.
    const stdfs::path plain = work / "plain", kfs = work / "kfs", treeCopy = work / "tree-copy";
    const stdfs::path bindPlain = work / "bind-plain", bindTree = work / "bind-tree";
    for (const auto& point : {kfs, bindPlain, bindTree})
        if (mountedAt(point, "fuse"))
            run({"fusermount3", "-u", point.string()});
    stdfs::remove_all(work);
    for (const auto& folder : {plain, kfs / "files", kfs / "tree", bindPlain, bindTree})
        stdfs::create_directories(folder);

    const kelvane::engine::FileCompressor compressor;
    const std::optional<ReadFiles> files = makeReadFiles(compressor, plain, kfs / "files");
    if (!files)
        return 1;
    const std::vector<std::string>& names = files->names;
    const std::uint64_t logical = files->logical, stored = files->stored;
    makeSmallTree(compressor, kfs / "tree");
    if (run({"cp", "-a", (kfs / "tree").string(), treeCopy.string()}) != 0)
        return 1;
    std::printf("files: %d, %.1f MB logical, %.1f MB stored compressed; tree: %d files\n", kReadFiles, logical / 1e6,
                stored / 1e6, kTreeFiles);

    std::printf("kelvanefs -o %s\n", options.c_str());
    if (run({kelvanefs.string(), "-o", options, kfs.string()}) != 0 || !waitForMount(kfs, "kelvanefs") ||
        run({"bindfs", plain.string(), bindPlain.string()}) != 0 || !waitForMount(bindPlain, "fuse") ||
        run({"bindfs", treeCopy.string(), bindTree.string()}) != 0 || !waitForMount(bindTree, "fuse")) {
        std::fprintf(stderr, "mounting failed\n");
        return 1;
    }
    if (only == "setup") {
        std::printf("mounted: %s %s %s\n", kfs.c_str(), bindPlain.c_str(), bindTree.c_str());
        return 0;
    }
    const auto raw = under(plain, names), viaBindfs = under(bindPlain, names), viaKelvanefs = under(kfs / "files", names);
    const double mb = static_cast<double>(logical) / 1e6;

    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        if (reads)
            readRound(raw, viaBindfs, viaKelvanefs, mb, root);
        if (metadata)
            walkSmallTree(treeCopy, bindTree, kfs, options, root);
    }
    for (const auto& point : {kfs, bindPlain, bindTree})
        run({"fusermount3", "-u", point.string()});
    stdfs::remove_all(work);
    return only.empty() ? benchTree(treeBase, rounds, options, root) : 0;
}
