// tolm-convert: the window's conversions from a terminal, on the same engine libraries.

#include "cli/batchrun.h"
#include "cli/batchsources.h"
#include "cli/consoledialogs.h"
#include "cli/convertoptions.h"
#include "cli/exitstatus.h"
#include "cli/inputlist.h"
#include "cli/interruptwatch.h"
#include "cli/profilechoice.h"
#include "cli/progressview.h"
#include "cli/sync/syncrun.h"
#include "cli/terminaltext.h"
#include "cli/usage.h"
#include "core/programtexts.h"
#include "core/programversion.h"
#include "core/startrecord.h"
#include "platform/childprocess.h"
#include "profiles/programstartup.h"
#include "profiles/workingfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int badCommandLine(const QString &why)
{
    print(stderr, u"tolm-convert: "_s + TerminalText(why) + u"\nTry 'tolm-convert --help' for more information.\n"_s);
    return ExitStatus::BadCommandLine;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(Usage::kProgramName.toString());
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLM_PROGRAM_VERSION));

    const ParsedCommandLine parsed = ParseConvertArguments(app.arguments().mid(1));
    if (!parsed.error.isEmpty())
        return badCommandLine(parsed.error);
    const ConvertOptions &options = parsed.options;
    if (const QString refused = SyncOptionsRefusal(options); !refused.isEmpty() && !options.help && !options.version)
        return badCommandLine(refused);
    if (options.help) {
        print(stdout, Usage::helpText());
        return ExitStatus::Converted;
    }
    if (options.version) {
        print(stdout,
            u"tolm-convert (TOLM Audio Converter) "_s + QCoreApplication::applicationVersion() + u"\nLicence: "_s
                + kLicenceName.toString() + u" ("_s + kLicenceSpdx.toString()
                + u").\nThis is free software: you are free to change and redistribute it.\n"
                  u"There is NO WARRANTY, to the extent permitted by law.\n"_s);
        return ExitStatus::Converted;
    }

    // The window's folders: its default output folder and the profile folder with the user
    // profiles.
    const QString programFolder = QCoreApplication::applicationDirPath();
    ConsoleDialogs dialogs;
    const StartupEnvironment environment = StartupEnvironment::fromSystem(programFolder);
    const WorkingFolders folders = ResolveWorkingFolders(environment, dialogs);
    const QString userProfilePath
        = folders.profileFolder.isEmpty() ? QString() : folders.profileFolder + u'/' + kUserProfileFileName;
    const ProfileChoice profiles = ProfileChoice::load(programFolder, userProfilePath);
    if (options.listProfiles) {
        print(stdout, profiles.listing());
        return ExitStatus::Converted;
    }

    QString profileError;
    const ProfileEntry *profile
        = options.profile.isEmpty() ? &profiles.entries().first() : profiles.find(options.profile, &profileError);
    if (!profile)
        return badCommandLine(profileError);
    TStartRecord job;
    if (const QString refused = ApplyProfileOptions(job, *profile, options); !refused.isEmpty())
        return badCommandLine(refused);

    // Without -o, the folder the window converts into.
    const QString outputFolder = QDir::cleanPath(QDir::current().absoluteFilePath(options.outputFolder.isEmpty()
            ? DestinationWithoutChoice(
                InitialDestinationFolder(environment.homeFolder), folders.defaultOutputFolder, !options.dryRun)
            : options.outputFolder));
    if (QFileInfo::exists(outputFolder) && !QFileInfo(outputFolder).isDir())
        return badCommandLine(u"the output \"%1\" is a file, not a folder"_s.arg(outputFolder));

    SyncShard shard;
    if (options.shardAuto) {
        QString why;
        const auto fromJob
            = SyncShard::fromEnvironment(QProcessEnvironment::systemEnvironment(), options.shardCount, &why);
        if (!fromJob)
            return badCommandLine(why);
        shard = *fromJob;
    } else if (options.shardCount > 0) {
        shard = { options.shardIndex, options.shardCount };
    }
    QStringList inputs = options.inputs;
    QStringList listed;
    if (!options.filesFrom.isEmpty()) {
        QString why;
        const auto list = ReadInputList(options.filesFrom, options.nullSeparated, &why);
        if (!list)
            return badCommandLine(why);
        listed = *list;
        inputs << listed;
    }

    InterruptWatch interrupts;
    ProgressView view(ProgressView::modeFor(stdout, options.quiet), stdout, stderr);
    GatheredSources gathered = GatherSources(options.inputs, options.recursive, outputFolder);
    if (!listed.isEmpty()) {
        const GatheredSources fromList = GatherListed(listed, options.recursive, outputFolder);
        gathered.sources << fromList.sources;
        gathered.missing << fromList.missing;
        gathered.refused << fromList.refused;
    }
    for (const QString &missing : gathered.missing)
        view.failure(missing, u"no such file or folder"_s);
    for (const auto &[sheet, reason] : gathered.refused)
        view.failure(sheet, reason);

    // The probes' one-millisecond scratch files, one each, gone with the run.
    QTemporaryDir scratch(QStandardPaths::writableLocation(QStandardPaths::TempLocation) + u"/tolm-convert-XXXXXX"_s);
    if (!scratch.isValid()) {
        view.message(u"cannot create a temporary folder: "_s + scratch.errorString());
        return ExitStatus::SomeFailed;
    }

    const int jobs = options.jobs > 0 ? options.jobs : qMax(1, QThread::idealThreadCount());
    view.setJobs(jobs);
    int status = ExitStatus::Converted;
    if (options.sync) {
        SyncRun sync({ gathered.sources, inputs, job, options, outputFolder, jobs, scratch.path(), shard }, view);
        QObject::connect(&sync, &SyncRun::finished, &app, [&](int exitStatus) {
            status = exitStatus;
            QCoreApplication::exit(exitStatus);
        });
        QObject::connect(&interrupts, &InterruptWatch::interrupted, &sync, &SyncRun::interrupt);
        QTimer::singleShot(0, &sync, &SyncRun::start);
        app.exec();
        if ((!gathered.missing.isEmpty() || !gathered.refused.isEmpty()) && status == ExitStatus::Converted)
            status = ExitStatus::SomeFailed;
        return status;
    }
    BatchRun runner(gathered.sources, job, options, jobs, scratch.path(), view);
    QObject::connect(&runner, &BatchRun::finished, &app, [&](int exitStatus) {
        status = exitStatus;
        QCoreApplication::exit(exitStatus);
    });
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &runner, &BatchRun::interrupt);
    runner.start();
    app.exec();
    // Probes and measurements ended on the way out are given their time to go.
    ChildProcess::settleBeforeExit();
    if ((!gathered.missing.isEmpty() || !gathered.refused.isEmpty()) && status == ExitStatus::Converted)
        status = ExitStatus::SomeFailed;
    return status;
}
