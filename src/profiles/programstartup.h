#pragma once

#include "profiles/destinationhistory.h"
#include "profiles/workingfolders.h"

#include <QString>
#include <QStringList>

class Dialogs;

// The program-wide values fixed at start-up, which other parts of the program read for the
// whole run (only the destination history changes later).
struct ProgramState
{
    QString programFolder;
    QString defaultOutputFolder;
    QString profileFolder;
    QString userProfilePath; // <profile folder>/userprofile.ini
    QString cataloguePath; // <program folder>/Config/config.ini
    QString destinationHistoryPath; // <profile folder>/destination.ini
    QStringList userProfileNames; // sections of the user profile file, in file order
    DestinationHistory destinationHistory;
    QString initialDestination; // <home>/TOLM, shown by the destination edit
    bool quitRequested = false; // the program ends as soon as its event loop starts
};

inline constexpr QStringView kUserProfileFileName = u"userprofile.ini";
inline constexpr QStringView kDestinationHistoryFileName = u"destination.ini";

// Resolves the working folders, reads the user profile names and the destination history
// (creating an empty history file when there is none) and adds the initial destination.
ProgramState PrepareProgramState(const StartupEnvironment &environment, Dialogs &dialogs);
