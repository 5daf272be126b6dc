#pragma once

#include "cli/batchsources.h"
#include "cli/sync/syncmanifest.h"

#include <QList>
#include <QString>

#include <functional>

// One source of a sync as it is now.
struct SyncSource
{
    BatchSource source;
    QString key; // as SyncEntry::key
    QString stamp; // as SyncEntry::stamp
    QString output; // where its output goes, relative to the destination
    QString album; // the output's folder relative to the destination
};

enum class SyncAction {
    Keep, // the output is as the source would make it: nothing to do
    Convert, // new, its audio changed, the settings changed or the output is gone
    Tags, // the same audio under other tags or pictures: the output's tags are written anew
    Move, // renamed or moved with the same audio: the output moves (and takes its tags)
    Orphan, // an output whose source is gone, left where it is
    Delete, // an output whose source is gone, removed (--delete-orphans)
};

QString SyncActionName(SyncAction action);

struct SyncStep
{
    SyncAction action = SyncAction::Keep;
    int source = -1; // into the sources; -1 for an orphan
    SyncEntry entry; // the manifest's entry as it will be once the step is done
    QString from; // Move: the output's old place; Convert: an old output the new one replaces
    QString fromKey; // Move: the manifest's key of the source it was
    QString reason; // why, in a few words
};

struct SyncPlanInput
{
    QString destination;
    QString settings; // the run's settings fingerprint
    // The audio of a source, computed only where the stamp no longer tells.
    std::function<QString(const SyncSource &)> fingerprint;
    // Whether an output exists (relative to the destination).
    std::function<bool(const QString &)> outputExists;
    // Whether an entry's album is this run's to look after (its shard), for orphans.
    std::function<bool(const QString &album)> ownsAlbum;
    bool deleteOrphans = false;
    // --replaygain album: a change to one file of an album converts the album, whose values
    // every file carries.
    bool albumGain = false;
};

// The least work that brings the destination in step with the sources: one step per source in
// their order, then the orphans in the manifest's key order.
QList<SyncStep> PlanSync(const QList<SyncSource> &sources, const SyncManifest &manifest, const SyncPlanInput &input);
