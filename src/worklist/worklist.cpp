#include "worklist/worklist.h"
#include "worklist/worklist_testing.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <vector>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace worklist {
namespace {

bool portableWalk = false;

// The names found in one folder, before sorting.
struct Listing
{
    std::vector<QString> files;
    std::vector<QString> folders;
};

// Identities of the folders already listed in one walk: device and inode on
// Linux, the canonical path elsewhere.  A folder reached a second time, through
// a link cycle or a second link, is not listed again.
using Visited = QSet<QByteArray>;

bool isDotOrDotDot(const QString& name)
{
    return name == QLatin1String(".") || name == QLatin1String("..");
}

// The portable listing through QDirIterator.  Hidden means what QFileInfo says
// it means on the platform.
bool listPortable(const QString& folder, Visited& visited, Listing& out)
{
    const QFileInfo self(folder);
    if (!self.isDir())
        return false;
    const QByteArray id = self.canonicalFilePath().toUtf8();
    if (id.isEmpty() || visited.contains(id))
        return false;
    visited.insert(id);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        const QString name = entry.fileName();
        if (isDotOrDotDot(name))
            continue;
        if (entry.isSymLink()) {
            if (!entry.isHidden() && entry.isDir())
                out.folders.push_back(name);
        } else if (entry.isFile()) {
            out.files.push_back(name);
        } else if (entry.isDir() && !entry.isHidden()) {
            out.folders.push_back(name);
        }
    }
    return true;
}

#ifdef Q_OS_LINUX
// The listing through readdir: the entry type comes with the name, so only
// links (and entries of file systems that give no type) cost a stat call.
bool listLinux(const QString& folder, Visited& visited, Listing& out)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat self;
    if (::fstat(fd, &self) != 0) {
        ::close(fd);
        return false;
    }
    const QByteArray id =
        QByteArray::number(quint64(self.st_dev)) + ':' + QByteArray::number(quint64(self.st_ino));
    if (visited.contains(id)) {
        ::close(fd);
        return false;
    }
    visited.insert(id);
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_REG) {
            out.files.push_back(QFile::decodeName(name));
            continue;
        }
        // Hidden on Linux: the name starts with a full stop.
        if (name[0] == '.')
            continue;
        if (type == DT_DIR) {
            out.folders.push_back(QFile::decodeName(name));
        } else if (type == DT_LNK) {
            struct stat target;
            if (::fstatat(fd, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
                out.folders.push_back(QFile::decodeName(name));
        }
    }
    ::closedir(dir);
    return true;
}
#endif

bool listFolder(const QString& folder, Visited& visited, Listing& out)
{
#ifdef Q_OS_LINUX
    if (!portableWalk)
        return listLinux(folder, visited, out);
#endif
    return listPortable(folder, visited, out);
}

// Sorts names ignoring case by character code: each name is compared as its
// Unicode simple case folding (QString::toCaseFolded), UTF-16 code unit by
// code unit, with no locale collation; names that fold alike keep a fixed
// order by their own code units.  "Apple.xls" folds to "apple.xls", which sorts
// before "apple2.xls" because "." (U+002E) is below "2" (U+0032).
void sortNames(std::vector<QString>& names)
{
    if (names.size() < 2)
        return;
    struct Keyed
    {
        QString key;
        QString name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (QString& name : names)
        keyed.push_back({name.toCaseFolded(), std::move(name)});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int c = a.key.compare(b.key, Qt::CaseSensitive);
        return c != 0 ? c < 0 : a.name.compare(b.name, Qt::CaseSensitive) < 0;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].name);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// folder: the path the folder is opened by and its files are named under;
// absolute: its absolute path, under which its subfolders are walked.  The
// paths of the files go to the visitor in walk order.
template <typename Visit>
void walk(const QString& folder, const QString& absolute, Visited& visited, const Visit& visit)
{
    Listing listing;
    if (!listFolder(folder, visited, listing))
        return;
    sortNames(listing.files);
    sortNames(listing.folders);
    for (const QString& name : listing.files)
        visit(joined(folder, name));
    for (const QString& name : listing.folders) {
        const QString sub = joined(absolute, name);
        walk(sub, sub, visited, visit);
    }
}

// The walk from the top folder.  An empty folder text names no folder; it is
// not taken as the current one.
template <typename Visit>
void walkFrom(const QString& folder, const Visit& visit)
{
    if (folder.isEmpty())
        return;
    Visited visited;
    walk(folder, QDir(folder).absolutePath(), visited, visit);
}

// Whether the lower-cased text ends with the suffix, which is in lower-case
// ASCII.  Only the tail is lowered, and only A to Z: no other character has a
// lower-case form that ends in one of the suffixes' characters, so this is the
// same test as lowering the whole text, without building a copy of it.
bool endsWithLowered(const QString& text, QLatin1String suffix)
{
    const qsizetype size = suffix.size();
    if (text.size() < size)
        return false;
    const QChar* tail = text.constData() + (text.size() - size);
    for (qsizetype i = 0; i < size; ++i) {
        char16_t c = tail[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (c != char16_t(suffix.at(i).unicode()))
            return false;
    }
    return true;
}

} // namespace

bool isOwnTemporaryFile(const QString& path)
{
    const int slash =
        int(std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))));
    return QStringView(path).mid(slash + 1).startsWith(QLatin1String(".~quorvane-"));
}

bool isAcceptedWorkbookPath(const QString& path)
{
    if (path.contains(QLatin1String("~$")) || isOwnTemporaryFile(path))
        return false;
    return endsWithLowered(path, QLatin1String(".xls")) ||
           endsWithLowered(path, QLatin1String(".xlsx")) ||
           endsWithLowered(path, QLatin1String(".csv")) ||
           endsWithLowered(path, QLatin1String(".xlsm"));
}

QList<QFileInfo> FindFilesRecursive(const QString& folder)
{
    QList<QFileInfo> result;
    walkFrom(folder, [&result](const QString& path) { result.append(QFileInfo(path)); });
    return result;
}

QString workbookListText(const QString& folder)
{
    // Walks without building a QFileInfo for every file: only the paths count.
    QString text;
    walkFrom(folder, [&text](const QString& path) {
        if (isAcceptedWorkbookPath(path)) {
            text += path;
            text += QLatin1Char('\n');
        }
    });
    return text;
}

namespace testing {

void setPortableWalk(bool portable)
{
    portableWalk = portable;
}

} // namespace testing
} // namespace worklist
