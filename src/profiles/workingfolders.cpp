#include "profiles/workingfolders.h"

#include "platform/dialogs.h"
#include "platform/userinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

QString StartupText::userFolderFailed(const QString &userName)
{
    return u"Can't create directory  \\"_s + userName + u" !"_s;
}

QString InitialDestinationFolder(const QString &homeFolder)
{
    return QDir::cleanPath(homeFolder) + u'/' + kProductFolderName;
}

QString DestinationWithoutChoice(const QString &initialDestination, const QString &defaultOutputFolder, bool mayCreate)
{
    if (!mayCreate || QFileInfo(initialDestination).isDir() || QDir().mkdir(initialDestination))
        return initialDestination;
    return defaultOutputFolder;
}

StartupEnvironment StartupEnvironment::fromSystem(const QString &programFolder)
{
    StartupEnvironment environment;
    environment.programFolder = programFolder;
    environment.homeFolder = qEnvironmentVariable("HOME");
    environment.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    environment.userName = LoggedOnUserName();
    return environment;
}

namespace {

// One level: an existing folder, or one created now below an existing parent.
bool ensureFolder(const QString &path, bool allowed)
{
    if (!allowed || path.isEmpty() || QDir::isRelativePath(path))
        return false;
    return QFileInfo(path).isDir() || QDir().mkdir(path);
}

// The home folder is usable when it is an absolute path below a folder that exists.
bool usableHome(const QString &home)
{
    if (home.isEmpty() || QDir::isRelativePath(home))
        return false;
    const QString cleaned = QDir::cleanPath(home);
    if (cleaned == u"/"_s)
        return false;
    return QFileInfo(QFileInfo(cleaned).absolutePath()).isDir();
}

// The documents level below w. Normally w is the home folder and the level is the documents
// folder itself; when the home folder could not be had, the same relative place below w.
QString documentsBelow(const QString &w, const QString &home, const QString &documents)
{
    if (w == home)
        return documents;
    const QString relative = QDir(home).relativeFilePath(documents);
    if (relative.startsWith(u".."_s) || QDir::isAbsolutePath(relative))
        return QDir::cleanPath(w + u'/' + QFileInfo(documents).fileName());
    return QDir::cleanPath(w + u'/' + relative);
}

} // namespace

WorkingFolders ResolveWorkingFolders(const StartupEnvironment &environment, Dialogs &dialogs)
{
    WorkingFolders result;
    const QString home = environment.homeFolder.isEmpty() ? QString() : QDir::cleanPath(environment.homeFolder);
    result.userPathValid = usableHome(home);
    if (!result.userPathValid)
        dialogs.showMessage(nullptr, MessageRequest::plain(StartupText::UserPathInvalid.toString()));
    // Once the user path is known to be unusable nothing is created anywhere: every level then
    // fails with its own message and the program ends after start-up.
    const bool create = result.userPathValid;

    // Each step remembers w and puts it back when its level cannot be had.
    const auto step = [&](QString &w, const QString &target, const QString &message) {
        if (ensureFolder(target, create)) {
            w = target;
            return;
        }
        dialogs.showMessage(nullptr, MessageRequest::plain(message));
    };

    QString w = create ? QFileInfo(home).absolutePath() : QString();
    step(w, home, StartupText::userFolderFailed(environment.userName));
    step(w, create ? documentsBelow(w, home, QDir::cleanPath(environment.documentsFolder)) : QString(),
        StartupText::DocumentsFailed.toString());
    step(w, create ? QDir::cleanPath(w + u'/' + kProductFolderName) : QString(), StartupText::ProductFailed.toString());
    result.defaultOutputFolder = w;
    step(w, create ? QDir::cleanPath(w + u'/' + kProgramFolderName) : QString(), StartupText::ProgramFailed.toString());
    result.defaultOutputFolder = w;
    step(w, create ? QDir::cleanPath(w + u'/' + kProfileFolderName) : QString(), StartupText::ProfileFailed.toString());
    result.profileFolder = w;
    return result;
}
