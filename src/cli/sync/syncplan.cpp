#include "cli/sync/syncplan.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

QString SyncActionName(SyncAction action)
{
    switch (action) {
    case SyncAction::Keep:
        return u"keep"_s;
    case SyncAction::Convert:
        return u"convert"_s;
    case SyncAction::Tags:
        return u"tags"_s;
    case SyncAction::Move:
        return u"move"_s;
    case SyncAction::Orphan:
        return u"orphan"_s;
    case SyncAction::Delete:
        return u"delete"_s;
    }
    return {};
}

QList<SyncStep> PlanSync(const QList<SyncSource> &sources, const SyncManifest &manifest, const SyncPlanInput &input)
{
    QSet<QString> present;
    for (const SyncSource &source : sources)
        present.insert(source.key);
    // Entries whose source is gone, by their audio: the outputs a renamed source may take.
    QStringList goneKeys;
    for (const SyncEntry &entry : manifest.entries()) {
        if (!present.contains(entry.key) && input.ownsAlbum(entry.album))
            goneKeys << entry.key;
    }
    goneKeys.sort();
    QHash<QString, QString> goneByAudio;
    for (const QString &key : std::as_const(goneKeys)) {
        const SyncEntry &entry = *manifest.find(key);
        if (!entry.audio.isEmpty() && entry.settings == input.settings && input.outputExists(entry.output))
            goneByAudio.insert(entry.audio, key);
    }
    QSet<QString> moved;

    QList<SyncStep> steps;
    for (int index = 0; index < sources.size(); ++index) {
        const SyncSource &source = sources.at(index);
        SyncStep step;
        step.source = index;
        step.entry = { source.key, source.stamp, {}, input.settings, source.output, source.album };
        const SyncEntry *known = manifest.find(source.key);
        const bool isTrack = source.source.track.has_value();
        if (known && known->settings == input.settings && input.outputExists(known->output)) {
            step.entry.output = known->output; // a name settled by an earlier clash stays
            step.entry.audio = known->audio;
            if (known->stamp == source.stamp) {
                step.action = SyncAction::Keep;
            } else if (isTrack) {
                step.action = SyncAction::Convert;
                step.reason = u"its CUE sheet or image changed"_s;
                step.from = known->output;
            } else {
                step.entry.audio = input.fingerprint(source);
                const bool same = !step.entry.audio.isEmpty() && step.entry.audio == known->audio;
                step.action = same ? SyncAction::Tags : SyncAction::Convert;
                step.reason = same ? u"same audio, other tags"_s : u"the audio changed"_s;
                if (!same)
                    step.from = known->output;
            }
        } else if (known) {
            step.action = SyncAction::Convert;
            step.reason = known->settings != input.settings ? u"the settings changed"_s : u"its output is gone"_s;
            step.entry.audio = isTrack ? QString() : input.fingerprint(source);
            if (known->output != source.output)
                step.from = known->output;
        } else {
            step.action = SyncAction::Convert;
            step.reason = u"new"_s;
            if (!isTrack) {
                step.entry.audio = input.fingerprint(source);
                const QString gone = goneByAudio.value(step.entry.audio);
                if (!step.entry.audio.isEmpty() && !gone.isEmpty() && !moved.contains(gone)) {
                    const SyncEntry &old = *manifest.find(gone);
                    // An album's gain belongs to its folder: a file moved to another album
                    // needs that album's.
                    if (!input.albumGain || old.album == source.album) {
                        moved.insert(gone);
                        step.action = SyncAction::Move;
                        step.from = old.output;
                        step.fromKey = old.key;
                        step.reason = u"renamed or moved"_s;
                    }
                }
            }
        }
        steps << step;
    }

    QSet<QString> changedAlbums;
    for (const QString &key : std::as_const(goneKeys)) {
        if (moved.contains(key))
            continue;
        const SyncEntry &entry = *manifest.find(key);
        SyncStep step;
        step.action = input.deleteOrphans ? SyncAction::Delete : SyncAction::Orphan;
        step.entry = entry;
        step.reason = u"its source is gone"_s;
        steps << step;
        changedAlbums.insert(entry.album);
    }

    // An album whose files change (one converted anew, one gone) is measured and converted
    // whole: every file carries the album's values. A rename alone changes nothing of it.
    if (input.albumGain) {
        for (const SyncStep &step : std::as_const(steps)) {
            if (step.action == SyncAction::Convert)
                changedAlbums.insert(step.entry.album);
        }
        for (SyncStep &step : steps) {
            if (step.source >= 0 && step.action != SyncAction::Convert && changedAlbums.contains(step.entry.album)) {
                if (step.action == SyncAction::Keep || step.action == SyncAction::Tags)
                    step.from = step.entry.output;
                step.action = SyncAction::Convert;
                step.reason = u"its album changed"_s;
            }
        }
    }
    return steps;
}
