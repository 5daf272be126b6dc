#pragma once

#include <QString>

class Dialogs;

// Where the program runs for this user: the folders the working-folder chain starts from.
struct StartupEnvironment
{
    QString programFolder; // folder of the executable, no trailing '/'
    QString homeFolder; // the user folder
    QString documentsFolder; // the desktop's documents folder (XDG), usually <home>/Documents
    QString userName;

    // Reads the running system: HOME, the XDG user folders, the logged-on user.
    static StartupEnvironment fromSystem(const QString &programFolder);
};

// Failure messages of the working-folder chain, texts as the program has always shown them.
namespace StartupText {
inline constexpr QStringView UserPathInvalid = u"User path is not valid!\r\n\r\nProgram terminate!";
QString userFolderFailed(const QString &userName); // "Can't create directory  \<user> !"
inline constexpr QStringView DocumentsFailed = u"Can't create directory \\My Documents !";
inline constexpr QStringView ProductFailed = u"Can't create directory \\TOLM !";
inline constexpr QStringView ProgramFailed = u"Can't create directory \\PROG-NAME !";
inline constexpr QStringView ProfileFailed = u"Can't create directory \\profile !";
} // namespace StartupText

inline constexpr QStringView kProductFolderName = u"TOLM";
inline constexpr QStringView kProgramFolderName = u"TOLM Audio Converter";
inline constexpr QStringView kProfileFolderName = u"profile";

// The folder the window's Destination starts at, <home>/TOLM: where it converts into unless
// the user picks another. tolm-convert writes there too when no -o is given.
QString InitialDestinationFolder(const QString &homeFolder);

// Where a conversion goes when the user chose no folder: the initial destination, made when
// missing (one level, as the window makes it), or the default output folder when it cannot
// be; with mayCreate false nothing is made and the initial destination is taken as it is.
QString DestinationWithoutChoice(const QString &initialDestination, const QString &defaultOutputFolder, bool mayCreate);

struct WorkingFolders
{
    QString defaultOutputFolder;
    QString profileFolder; // empty when no level could be reached
    bool userPathValid = true; // false: the program must end after start-up
};

// Walks home -> documents -> TOLM -> TOLM Audio Converter -> profile, creating each missing
// level (one level at a time: its parent must exist). A level that neither exists nor can be
// created shows its message through dialogs and the next level is placed in the last folder
// that exists.
WorkingFolders ResolveWorkingFolders(const StartupEnvironment &environment, Dialogs &dialogs);
