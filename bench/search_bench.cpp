// SPDX-License-Identifier: MIT
// Times the file-system search against find(1) on one generated tree, with
// warm caches, plus the folder file counter on the same tree.
//
//   search_bench [folder]   (default: a fresh folder under $TMPDIR or /tmp)

#include "BenchUsage.h"

#include "discovery/FileSystemSearcher.h"
#include "discovery/FolderFileCounter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace kd = kelvane::discovery;

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubfoldersPerTop = 39;  // 50 + 50 * 39 = 2,000 folders
constexpr int kFiles = 200'000;
constexpr std::uint32_t kSeed = 20240601;
constexpr int kRuns = 5;

// Extensions with weights; "txt" and "log" together are a fifth of the files,
// and about half of those reach the size bound below, so a tenth match.
const std::vector<std::pair<std::string, int>> kExtensions{
    {"txt", 10}, {"LOG", 5}, {"log", 5}, {"jpg", 15}, {"png", 10}, {"o", 15},
    {"json", 10}, {"dylib", 10}, {"dat", 10}, {"", 10}};
constexpr std::uint64_t kMinSize = 1024;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double bestOf(const std::function<void()>& run) {
    run();  // warm the caches
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

std::vector<fs::path> makeTree(const fs::path& root) {
    std::vector<fs::path> folders;
    for (int t = 0; t < kTopFolders; ++t) {
        const auto top = root / ("top" + std::to_string(t));
        folders.push_back(top);
        for (int s = 0; s < kSubfoldersPerTop; ++s) folders.push_back(top / ("sub" + std::to_string(s)));
    }
    for (const auto& folder : folders) fs::create_directories(folder);

    std::mt19937 rng(kSeed);
    std::vector<int> weights;
    for (const auto& e : kExtensions) weights.push_back(e.second);
    std::discrete_distribution<int> pickExtension(weights.begin(), weights.end());
    // Sizes spread over 0 B to 1 MiB on a log scale; files are sparse.
    std::uniform_real_distribution<double> logSize(0.0, 20.0);
    std::uniform_int_distribution<std::time_t> age(0, 3 * 365 * 86400);
    const std::time_t now = std::time(nullptr);
    for (int i = 0; i < kFiles; ++i) {
        const auto& folder = folders[static_cast<std::size_t>(i) % folders.size()];
        const auto& ext = kExtensions[static_cast<std::size_t>(pickExtension(rng))].first;
        const auto path = folder / ("file" + std::to_string(i) + (ext.empty() ? "" : "." + ext));
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(std::exp2(logSize(rng)))) != 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        const timespec times[2] = {{now - age(rng), 0}, {now - age(rng), 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
    return folders;
}

// The same question asked two ways: by name and size (find and the search
// both decide most files by name alone), and by date (every file's status
// is needed).
struct Question {
    const char* label;
    kd::SearchCriteria criteria;
    std::vector<std::string> findExpression;
};

// Runs find with the expression; stdout to `out` (a descriptor) or /dev/null.
void runFind(const fs::path& root, const std::vector<std::string>& expression, int out) {
    std::vector<char*> argv{const_cast<char*>("find"), const_cast<char*>(root.c_str())};
    for (const auto& word : expression) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int target = out >= 0 ? out : ::open("/dev/null", O_WRONLY);
        ::dup2(target, 1);
        ::execvp("find", argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "find failed\n");
        std::exit(1);
    }
}

long findMatchCount(const fs::path& root, const std::vector<std::string>& expression) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    FILE* in = ::fdopen(fds[0], "r");
    const pid_t reader = ::fork();
    if (reader == 0) {
        ::close(fds[0]);
        runFind(root, expression, fds[1]);
        ::_exit(0);
    }
    ::close(fds[1]);
    long lines = 0;
    for (int c; (c = std::fgetc(in)) != EOF;)
        if (c == '\n') ++lines;
    std::fclose(in);
    ::waitpid(reader, nullptr, 0);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = 0; kelvane::bench::stopsForUsage(argc, argv, "search_bench [FOLDER]", 0, {}, status))
        return status;
    fs::path root;
    bool own = false;
    if (argc > 1) {
        root = argv[1];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvane-search-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        root = pattern;
        own = true;
    }

    auto start = std::chrono::steady_clock::now();
    makeTree(root);
    std::printf("tree: %d files in %d folders at %s (%.2f s to make)\n", kFiles, kTopFolders * (1 + kSubfoldersPerTop),
                root.c_str(), seconds(std::chrono::steady_clock::now() - start));

    // Modification times are spread evenly over three years: the oldest tenth.
    const std::time_t cutoff = std::time(nullptr) - 3 * 365 * 86400 * 9 / 10;
    const std::vector<Question> questions{
        {"txt/log files of at least 1 KiB",
         kd::SearchCriteria{root, true, std::nullopt, kMinSize, std::nullopt,
                            kd::ExtensionFilter(kd::ExtensionFilter::includeOnly{{"txt", "log"}}), false, false},
         {"-type", "f", "(", "-iname", "*.txt", "-o", "-iname", "*.log", ")", "-size",
          "+" + std::to_string(kMinSize - 1) + "c"}},
        {"files modified before a date",
         kd::SearchCriteria{root, true, std::chrono::system_clock::from_time_t(cutoff), std::nullopt, std::nullopt,
                            std::nullopt, false, false},
         {"-type", "f", "!", "-newermt", "@" + std::to_string(cutoff)}},
    };

    bool agreed = true;
    const kd::FileSystemSearcher searcher;
    for (const auto& question : questions) {
        std::size_t matched = 0;
        const double searchTime = bestOf([&] { matched = searcher.search(question.criteria).size(); });
        const double findTime = bestOf([&] { runFind(root, question.findExpression, -1); });
        const long findMatched = findMatchCount(root, question.findExpression);
        agreed = agreed && static_cast<long>(matched) == findMatched;
        std::printf("\n%s:\n", question.label);
        std::printf("  matches: searcher %zu, find %ld (%.1f%% of the files)%s\n", matched, findMatched,
                    100.0 * static_cast<double>(matched) / kFiles,
                    static_cast<long>(matched) == findMatched ? "" : "  MISMATCH");
        std::printf("  FileSystemSearcher: %8.1f ms (best of %d, warm)\n", searchTime * 1e3, kRuns);
        std::printf("  find:               %8.1f ms (best of %d, warm)\n", findTime * 1e3, kRuns);
        std::printf("  ratio searcher/find: %.2f (goal <= 1.0, aim 0.7)\n", searchTime / findTime);
    }

    std::int64_t counted = 0;
    const double counterTime = bestOf([&] { counted = kd::FolderFileCounter().countFiles(root, true); });
    std::printf("\nFolderFileCounter:    %8.1f ms, %lld files (best of %d, warm)\n", counterTime * 1e3,
                static_cast<long long>(counted), kRuns);

    if (own) fs::remove_all(root);
    return agreed && counted == kFiles ? 0 : 1;
}
