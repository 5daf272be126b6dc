#include "profiles/programstartup.h"

#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// Creates the file empty, only when it is new, so a file made meanwhile is never truncated.
void createEmptyFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        qWarning("Cannot create %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

} // namespace

ProgramState PrepareProgramState(const StartupEnvironment &environment, Dialogs &dialogs)
{
    ProgramState state;
    state.programFolder = environment.programFolder;
    const WorkingFolders folders = ResolveWorkingFolders(environment, dialogs);
    state.quitRequested = !folders.userPathValid;
    state.defaultOutputFolder = folders.defaultOutputFolder;
    state.profileFolder = folders.profileFolder;
    state.cataloguePath = environment.programFolder + kCatalogueRelativePath;

    // With no folder reached there is no place for the per-user files; the program is
    // ending then anyway.
    const bool haveProfileFolder = !state.profileFolder.isEmpty();
    if (haveProfileFolder) {
        state.userProfilePath = state.profileFolder + u'/' + kUserProfileFileName;
        state.destinationHistoryPath = state.profileFolder + u'/' + kDestinationHistoryFileName;
        if (QFile::exists(state.userProfilePath))
            state.userProfileNames = PrivateProfile::sectionNames(state.userProfilePath);
    }

    state.initialDestination = InitialDestinationFolder(environment.homeFolder);

    if (haveProfileFolder) {
        if (!QFile::exists(state.destinationHistoryPath))
            createEmptyFile(state.destinationHistoryPath);
        else
            state.destinationHistory.load(state.destinationHistoryPath);
    }
    state.destinationHistory.add(state.initialDestination);
    return state;
}
