// Folder scan benchmark: builds a large tree of files, then times the folder
// walk against `find | sort` on the same tree and times filling the list edit
// with every workbook found.
//
//   scan_bench [files] [folders] [folder]   (defaults 100000, 2000, a temporary folder)
//
// A folder given as third argument keeps the tree afterwards, and a tree
// already in it (from an earlier run with the same counts) is used again.
//
// Figures are for a warm file-system cache: the tree has just been written,
// and `find` runs once before the timed runs.  Each figure is the best of
// five runs.
#include "worklist/worklist.h"
#include "worklist/worklist_testing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int maxDepth = 8;
constexpr int runs = 5;

struct Tree
{
    int files = 0;
    int workbooks = 0;
    int folders = 0;
    int depth = 0;
};

// Folders hang under a random earlier folder of depth below the limit; files
// are dealt out to the folders in turn.  Every fifth file is a workbook; the
// others carry suffixes the filter must turn down.  Names mix case, digits
// and Chinese so the sort has real work to do.
bool buildTree(const QString& top, int fileCount, int folderCount, Tree& tree)
{
    std::mt19937 random(20240607);
    std::vector<QString> paths{top};
    std::vector<int> depths{0};
    QDir dir;
    const QStringList folderNames{QStringLiteral("Dept"), QStringLiteral("报表"),
                                  QStringLiteral("archive"), QStringLiteral("Q"),
                                  QStringLiteral("财务_")};
    for (int i = 1; i < folderCount; ++i) {
        int parent = 0;
        do
            parent = int(random() % paths.size());
        while (depths[parent] >= maxDepth);
        const QString path = paths[parent] + QLatin1Char('/') +
                             folderNames[i % folderNames.size()] + QString::number(i);
        if (!dir.mkdir(path))
            return false;
        paths.push_back(path);
        depths.push_back(depths[parent] + 1);
        tree.depth = std::max(tree.depth, depths.back());
    }
    const QStringList workbookSuffixes{QStringLiteral(".xlsx"), QStringLiteral(".xls"),
                                       QStringLiteral(".csv"), QStringLiteral(".XLSM")};
    const QStringList otherSuffixes{QStringLiteral(".txt"), QStringLiteral(".pdf"),
                                    QStringLiteral(".docx"), QStringLiteral(".xlsb")};
    const QStringList stems{QStringLiteral("Book"), QStringLiteral("data_"), QStringLiteral("月报"),
                            QStringLiteral("Sales-")};
    for (int j = 0; j < fileCount; ++j) {
        const bool workbook = j % 5 == 0;
        const QString suffix = workbook ? workbookSuffixes[(j / 5) % 4] : otherSuffixes[j % 4];
        const QString path = paths[j % paths.size()] + QLatin1Char('/') + stems[(j / 7) % 4] +
                             QString::number(j) + suffix;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        tree.workbooks += workbook;
    }
    tree.files = fileCount;
    tree.folders = folderCount;
    return true;
}

// Wall-clock and CPU seconds (user and system, of this process and of the
// processes it waited for).  On a busy machine the CPU figures compare more
// fairly: `find | sort` runs as two processes on two cores.
struct Seconds
{
    double wall = 0;
    double cpu = 0;
};

double cpuSeconds()
{
#ifdef Q_OS_UNIX
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage usage;
        if (::getrusage(who, &usage) == 0)
            total += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
    }
    return total;
#else
    return 0;
#endif
}

// The best of five runs, wall clock and CPU each on its own.
Seconds bestOf(const std::function<void()>& run)
{
    Seconds best{1e9, 1e9};
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpu = cpuSeconds();
        timer.start();
        run();
        best.wall = std::min(best.wall, timer.nsecsElapsed() / 1e9);
        best.cpu = std::min(best.cpu, cpuSeconds() - cpu);
    }
    return best;
}

bool runFind(const QString& top)
{
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    shell.setProcessEnvironment(env);
    shell.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("find \"$0\" -type f | sort > /dev/null"), top});
    return shell.waitForFinished(-1) && shell.exitStatus() == QProcess::NormalExit &&
           shell.exitCode() == 0;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int fileCount = args.size() > 1 ? args[1].toInt() : 100000;
    const int folderCount = args.size() > 2 ? args[2].toInt() : 2000;
    if (fileCount <= 0 || folderCount <= 0) {
        std::fprintf(stderr, "usage: scan_bench [files] [folders]\n");
        return 2;
    }

    QTemporaryDir temp;
    const bool keep = args.size() > 3;
    if (!keep && !temp.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString top = keep ? QDir(args[3]).absoluteFilePath(QStringLiteral("tree"))
                             : temp.filePath(QStringLiteral("tree"));
    const QString done = top + QStringLiteral(".built-") + QString::number(fileCount) +
                         QLatin1Char('-') + QString::number(folderCount);
    Tree tree;
    QElapsedTimer timer;
    timer.start();
    if (keep && QFileInfo::exists(done)) {
        std::printf("tree: reusing %s\n", qPrintable(top));
    } else {
        if (QFileInfo::exists(top) || !QDir().mkpath(top) ||
            !buildTree(top, fileCount, folderCount, tree)) {
            std::fprintf(stderr, "cannot build the tree in %s\n", qPrintable(top));
            return 1;
        }
        if (keep)
            QFile(done).open(QIODevice::WriteOnly);
        std::printf(
            "tree: %d files (%d workbooks) in %d folders, depth up to %d, built in %.1f s\n",
            tree.files, tree.workbooks, tree.folders, tree.depth, timer.nsecsElapsed() / 1e9);
    }

    if (!runFind(top)) {
        std::fprintf(stderr, "find | sort failed\n");
        return 1;
    }
    const Seconds floor = bestOf([&] { runFind(top); });
    std::printf("                                       wall        cpu\n");
    std::printf("find DIR -type f | sort (floor):     %7.3f s  %7.3f s\n", floor.wall, floor.cpu);

    qsizetype entries = 0;
    const Seconds walk = bestOf([&] { entries = worklist::FindFilesRecursive(top).size(); });
    std::printf("FindFilesRecursive:                  %7.3f s  %7.3f s  %lld entries\n", walk.wall,
                walk.cpu, static_cast<long long>(entries));
    std::printf("  ratio to the floor:                %7.2f x  %7.2f x  (target <= 2: %s)\n",
                walk.wall / floor.wall, walk.cpu / floor.cpu, verdict(walk.wall <= 2 * floor.wall));

    worklist::testing::setPortableWalk(true);
    const Seconds portable = bestOf([&] { entries = worklist::FindFilesRecursive(top).size(); });
    worklist::testing::setPortableWalk(false);
    std::printf("  portable QDir walk, for comparison:%7.3f s  %7.3f s  %.2f x floor (wall)\n",
                portable.wall, portable.cpu, portable.wall / floor.wall);

    QString text;
    const Seconds build = bestOf([&] { text = worklist::workbookListText(top); });
    const int lines = int(text.count(QLatin1Char('\n')));
    QPlainTextEdit edit;
    edit.resize(800, 600);
    edit.show();
    const Seconds fill = bestOf([&] {
        edit.clear();
        edit.setPlainText(text);
        app.processEvents();
    });
    std::printf("list text (walk + filter):           %7.3f s  %7.3f s  %d lines\n", build.wall,
                build.cpu, lines);
    std::printf("setPlainText into the list edit:     %7.3f s  %7.3f s\n", fill.wall, fill.cpu);
    std::printf("list fill, walk to filled edit:      %7.3f s  %7.3f s  (target < 1 s for %d "
                "workbooks: %s)\n",
                build.wall + fill.wall, build.cpu + fill.cpu, lines,
                verdict(build.wall + fill.wall < 1.0));

    // For comparison: one insertion at the text cursor per workbook.
    const QStringList paths = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    edit.clear();
    timer.restart();
    QTextCursor cursor = edit.textCursor();
    for (const QString& path : paths)
        cursor.insertText(path + QLatin1Char('\n'));
    app.processEvents();
    std::printf("  one cursor insertion per line:     %7.3f s  (one run)\n",
                timer.nsecsElapsed() / 1e9);
    const bool same = edit.toPlainText() == text;
    std::printf("  both fills give the same text:     %s\n", same ? "yes" : "NO");

    if (!keep) {
        timer.restart();
        temp.remove();
        std::printf("tree removed in %.1f s\n", timer.nsecsElapsed() / 1e9);
    }
    return same ? 0 : 1;
}
