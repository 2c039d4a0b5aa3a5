// SPDX-License-Identifier: MIT
// 1. The main table's model and view with 100,000 registered rows and one
// registered folder of 100,000 files, expanded: replacing the rows when the
// ids stay (data changes only) and when they change (reset, the expansion,
// selection and scroll put back), one paint of the visible rows, and the
// memory the rows and the model take per row.
// 2. The wizard's page for a preset folder whose scan finds 100,000 files, and
// one of 400,000 (found long before the window has taken them in), on
// screen: the longest time between two repaints of the page while it scans
// (goal <= 100 ms), and the time from a press of "停止" to the scan's end
// (goal <= 0.5 s).
// Runs offscreen; prints figures.

#include "BenchUsage.h"

#include "operations/rows/FileStatusCache.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "store/ModelContainer.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/sheets/WizardPresetDetailView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace kelvane;
using operations::DisplayRow;

namespace {

constexpr int topRows = 100'000;
constexpr int folderFiles = 100'000;

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

// An id made of a word, like the short ids of the rows measured before.
operations::RowId rowId(const std::string& word) { return operations::RowId::child({}, word); }

DisplayRow fileRow(const std::string& id, const std::string& folder, int n)
{
    DisplayRow row;
    row.id = rowId(id);
    row.displayName = "document-" + std::to_string(n) + ".txt";
    row.url = folder + "/" + row.displayName;
    row.logicalSize = 4096 + static_cast<std::uint64_t>(n) * 17;
    row.mtime = std::chrono::system_clock::now();
    row.stars = n % 6;
    return row;
}

// `generation` changes the ids (a new listing), the figures change always.
std::vector<DisplayRow> makeRows(int generation, std::uint64_t sizeBump)
{
    std::vector<DisplayRow> rows;
    rows.reserve(topRows + 1);
    DisplayRow folder;
    folder.id = rowId("registered-folder");
    folder.displayName = "大きなフォルダ";
    folder.kind = DisplayRow::DisplayKind::folder;
    folder.url = "/home/user/big";
    std::vector<DisplayRow> children;
    children.reserve(folderFiles);
    for (int i = 0; i < folderFiles; ++i) {
        children.push_back(fileRow("child-" + std::to_string(generation) + "-" + std::to_string(i), "/home/user/big", i));
        children.back().logicalSize = *children.back().logicalSize + sizeBump;
    }
    folder.children = std::make_shared<const std::vector<DisplayRow>>(std::move(children));
    operations::FolderAggregate aggregate;
    aggregate.totalCount = folderFiles;
    folder.folderAggregate = aggregate;
    rows.push_back(std::move(folder));
    for (int i = 0; i < topRows; ++i) {
        rows.push_back(fileRow("registered-" + std::to_string(generation) + "-" + std::to_string(i), "/home/user/docs", i));
        rows.back().logicalSize = *rows.back().logicalSize + sizeBump;
    }
    return rows;
}

double milliseconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

bool mainTableFigures()
{
    operations::FileStatusCache cache;
    // Half the files have a state, as after a scan.
    std::vector<std::pair<operations::RowId, operations::FileStatusEntry>> entries;
    for (int i = 0; i < topRows; i += 2)
        entries.emplace_back(rowId("registered-0-" + std::to_string(i)),
                             operations::FileStatusEntry::loaded{engine::FileCompressionInfo{
                                 engine::FileCompressionStatus::uncompressed{}, 8192, 8192}});
    cache.setEntries(std::move(entries));

    const long before = residentKiB();
    auto model = std::make_unique<ui::DisplayRowTreeModel>(cache);
    model->setRows(makeRows(0, 0));
    const long after = residentKiB();

    ui::RowTreeView view;
    view.setRowModel(model.get());
    view.resize(1100, 700);
    view.show();
    QCoreApplication::processEvents();
    view.expand(model->index(0, 0));
    view.selectIds({rowId("registered-folder"), rowId("child-0-42")});
    QCoreApplication::processEvents();

    // Each replacement is timed five times on fresh rows (built beforehand,
    // as the derived refresh builds them off the main thread) up to the end
    // of the event-loop turn that handles it; the median and the worst count.
    const auto timeReplacement = [&](bool newIds) {
        std::vector<double> times;
        for (int run = 0; run < 5; ++run) {
            static int generation = 0;
            std::vector<DisplayRow> rows = makeRows(newIds ? ++generation : generation, 1 + run);
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            model->setRows(std::move(rows));
            QCoreApplication::processEvents();
            times.push_back(milliseconds(timer));
        }
        std::sort(times.begin(), times.end());
        return std::pair{times[2], times.back()};
    };
    const auto [sameIds, sameIdsWorst] = timeReplacement(false);
    const auto [newIds, newIdsWorst] = timeReplacement(true);
    const bool stillExpanded = view.isExpanded(model->index(0, 0));
    const bool stillSelected = view.selectionModel()->isRowSelected(0, {});

    // One paint of what is on screen.
    QPixmap canvas(view.viewport()->size());
    QElapsedTimer timer;
    timer.start();
    view.viewport()->render(&canvas);
    const double paint = milliseconds(timer);

    const double rowCount = topRows + folderFiles + 1;
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("load average while measuring: %.1f\n", load[0]);
    std::printf("rows: %d registered + 1 folder of %d files (still expanded: %s, still selected: %s)\n", topRows,
                folderFiles, stillExpanded ? "yes" : "no", stillSelected ? "yes" : "no");
    std::printf("replace rows, same ids (data changed only): %8.1f ms median, %6.1f ms worst of 5\n", sameIds,
                sameIdsWorst);
    std::printf("replace rows, new ids (reset and restore):  %8.1f ms median, %6.1f ms worst of 5\n", newIds,
                newIdsWorst);
    std::printf("paint the visible rows once:                %8.1f ms\n", paint);
    std::printf("memory per row (rows + model):              %8.0f bytes\n",
                static_cast<double>(after - before) * 1024.0 / rowCount);
    // The worst run is printed to show the noise of a busy machine; the
    // median is the figure the goal holds for.
    const bool ok = sameIds < 100 && newIds < 100 && paint < 100;
    std::printf("%s\n", ok ? "all under 100 ms" : "OVER 100 ms");
    return ok;
}


// Sparse files of 64 KB and more: the scan reads only their metadata.
void makeScanFolder(const std::filesystem::path& root, int scanMatches)
{
    for (int i = 0; i < scanMatches; ++i) {
        const std::filesystem::path folder = root / ("d" + std::to_string(i % 100));
        if (i < 100)
            std::filesystem::create_directories(folder);
        const std::string path = (folder / ("f" + std::to_string(i) + ".log")).string();
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, 65536 + i % 4096) != 0) {
            std::perror(path.c_str());
            std::exit(2);
        }
        ::close(fd);
    }
}

// When every widget of one window was painted, while it records.
class RepaintLog final : public QObject {
public:
    explicit RepaintLog(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~RepaintLog() override { qApp->removeEventFilter(this); }

    void start()
    {
        times_.clear();
        clock_.start();
    }
    double now() const { return milliseconds(clock_); }
    // The longest time without a repaint between the start and `end` (ms).
    double longestGap(double end) const
    {
        double gap = 0;
        double last = 0;
        for (const double t : times_) {
            if (t > end)
                break;
            if (t - last > gap)
                gap = t - last, gapStart_ = last;
            last = t;
        }
        if (end - last > gap)
            gap = end - last, gapStart_ = last;
        return gap;
    }
    // Where the last longestGap found its gap.
    double gapStart() const { return gapStart_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && clock_.isValid())
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == window_)
                times_.push_back(now());
        return false;
    }

private:
    QWidget* window_;
    QElapsedTimer clock_;
    std::vector<double> times_;
    mutable double gapStart_ = 0;
};

// Runs the event loop until the page's scan has ended.
void waitForScanEnd(operations::WizardPresetScanModel& model)
{
    QEventLoop loop;
    QObject::connect(&model, &operations::WizardPresetScanModel::scanStateChanged, &loop, [&] {
        if (!model.isScanning())
            loop.quit();
    });
    if (model.isScanning())
        loop.exec();
}

QPushButton* buttonTitled(QWidget* in, const QString& title)
{
    for (QPushButton* button : in->findChildren<QPushButton*>())
        if (button->text() == title)
            return button;
    return nullptr;
}

bool wizardScanFigures(int scanMatches, double stopAfterMs)
{
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("kelvane-ui-bench-" + std::to_string(::getpid()));
    const std::filesystem::path folder = base / "scan";
    QElapsedTimer making;
    making.start();
    makeScanFolder(folder, scanMatches);
    const double madeIn = milliseconds(making) / 1000;
    auto container = store::ModelContainer::open({base / "store.sqlite"});

    discovery::WizardPreset preset;
    preset.id = "bench";
    preset.title = "ベンチ";
    preset.resolvedPath = folder;
    auto model = std::make_unique<operations::WizardPresetScanModel>(preset, container->mainContext(),
                                                                      [](const auto&) {});
    operations::WizardPresetScanModel& scan = *model;
    ui::sheets::WizardPresetDetailView page(std::move(model), nullptr);
    page.resize(820, 640);
    RepaintLog repaints(&page);
    // Something on the page always wants drawing, as a spinner does: a gap
    // between repaints is then time the page could not draw.
    QTimer animation;
    QObject::connect(&animation, &QTimer::timeout, &page, [&page] { page.update(); });
    animation.start(16);

    // A whole scan: it starts when the page is shown.
    repaints.start();
    page.show();
    waitForScanEnd(scan);
    const double scanMs = repaints.now();
    const double gap = repaints.longestGap(scanMs);
    const double gapAt = repaints.gapStart();
    const std::size_t found = scan.candidates().size();

    // A scan stopped part-way: the press is due `stopAfterMs` after the
    // start; what counts is the time from when it was due, so a window too
    // busy to take the press pays for it too.
    QCoreApplication::processEvents();
    repaints.start();
    buttonTitled(&page, QStringLiteral("再スキャン"))->click();
    double pressedAt = -1;
    std::size_t foundAtPress = 0;
    QTimer::singleShot(static_cast<int>(stopAfterMs), Qt::PreciseTimer, &page, [&] {
        pressedAt = repaints.now();
        foundAtPress = scan.candidates().size();
        if (scan.isScanning())
            buttonTitled(&page, QStringLiteral("停止"))->click();
    });
    waitForScanEnd(scan);
    const double stoppedAt = repaints.now();
    const double stopGap = repaints.longestGap(stoppedAt);
    const double stopGapAt = repaints.gapStart();
    const std::size_t foundAtEnd = scan.candidates().size();
    page.hide();
    std::filesystem::remove_all(base);

    const double stopMs = stoppedAt - stopAfterMs;
    std::printf("wizard scan: %d files of 64 KB and more (made in %.1f s)\n", scanMatches, madeIn);
    std::printf("whole scan: %zu matches in %.2f s; longest time without a repaint %.1f ms (from %.0f ms)\n",
                found, scanMs / 1000, gap, gapAt);
    if (stopMs < 0) {
        std::printf("stopped scan: ended (%zu matches) before the press was due at %.0f ms\n", foundAtEnd,
                    stopAfterMs);
        return gap <= 100;
    }
    // A press taken only after the scan had ended did nothing: the scan
    // ended when it would have without it.
    std::printf("stopped scan: \"停止\" due at %.0f ms, taken at %.0f ms with %zu matches shown; the scan ended "
                "%.0f ms after it was due with %zu matches; longest time without a repaint %.1f ms (from %.0f ms)\n",
                stopAfterMs, pressedAt, foundAtPress, stopMs, foundAtEnd, stopGap, stopGapAt);
    const bool ok = gap <= 100 && stopGap <= 100 && stopMs <= 500;
    std::printf("%s\n", ok ? "repaints within 100 ms, stop within 0.5 s" : "OVER the goals (100 ms, 0.5 s)");
    return ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    if (int status = 0; kelvane::bench::stopsForUsage(argc, argv, "ui_bench [table | wizard] [MS_BEFORE_STOP]", 1,
                                                      {"table", "wizard"}, status))
        return status;
    const std::string only = argc > 1 ? argv[1] : "";
    const double stopAfterMs = argc > 2 ? std::atof(argv[2]) : 500;
    bool ok = true;
    if (only.empty() || only == "table")
        ok &= mainTableFigures();
    if (only.empty() || only == "wizard")
        for (const int matches : {100'000, 400'000})
            ok &= wizardScanFigures(matches, stopAfterMs);
    return ok ? 0 : 1;
}
