#include "cli/profilechoice.h"

#include "cli/convertoptions.h"
#include "core/startrecord.h"
#include "profiles/privateprofile.h"
#include "profiles/profilejob.h"
#include "profiles/profilelibrary.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

ProfileChoice ProfileChoice::load(const QString &programFolder, const QString &userProfilePath)
{
    ProfileChoice choice;
    const QString cataloguePath = programFolder + kCatalogueRelativePath;
    QStringList names = BuiltInProfileNames();
    if (!userProfilePath.isEmpty() && QFileInfo::exists(userProfilePath))
        names += PrivateProfile::sectionNames(userProfilePath);
    for (int position = 0; position < names.size(); ++position) {
        ProfileEntry entry;
        entry.name = names.at(position);
        entry.position = position;
        entry.settings
            = ReadProfileSettings(ProfileFileForPosition(position, cataloguePath, userProfilePath), entry.name);
        // Built-in library paths are relative to the program folder; user ones are full paths.
        if (!entry.settings.libraryFile.isEmpty())
            entry.libraryPath
                = entry.userProfile() ? entry.settings.libraryFile : programFolder + entry.settings.libraryFile;
        choice.m_entries << entry;
    }
    return choice;
}

const ProfileEntry *ProfileChoice::find(const QString &typed, QString *error) const
{
    const QString wanted = typed.trimmed();
    QList<const ProfileEntry *> byPrefix;
    QList<const ProfileEntry *> byExtension;
    const QString extension = wanted.startsWith(u'.') ? wanted : u'.' + wanted;
    for (const ProfileEntry &entry : m_entries) {
        if (entry.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &entry;
        if (entry.name.startsWith(wanted, Qt::CaseInsensitive))
            byPrefix << &entry;
        if (ProfileExtension(entry.name).compare(extension, Qt::CaseInsensitive) == 0)
            byExtension << &entry;
    }
    if (!wanted.isEmpty() && byPrefix.size() == 1)
        return byPrefix.first();
    if (!wanted.isEmpty() && byExtension.size() == 1)
        return byExtension.first();

    const QList<const ProfileEntry *> &candidates = byPrefix.size() > 1 ? byPrefix : byExtension;
    if (wanted.isEmpty() || candidates.isEmpty()) {
        *error = u"no profile \"%1\" (--list-profiles shows them)"_s.arg(typed);
    } else {
        QStringList names;
        for (const ProfileEntry *entry : candidates)
            names << u"  "_s + entry->name;
        *error = u"\"%1\" could be any of these profiles; give more of its name:\n%2"_s.arg(typed, names.join(u'\n'));
    }
    return nullptr;
}

QString ProfileChoice::listing() const
{
    QString out;
    for (const ProfileEntry &entry : m_entries) {
        const ProfileSettings &s = entry.settings;
        out += entry.name + (entry.userProfile() ? u"  [user profile]"_s : QString()) + u'\n';
        QStringList details { u"encoder "_s + (s.audioCodec.isEmpty() ? u"(none)"_s : s.audioCodec), s.channels };
        if (s.lossless == kTrue) {
            details << u"lossless"_s;
        } else {
            // An empty rate keeps the source's (Opus: the header records it).
            details << (s.sampleRate.isEmpty() ? u"the source's rate"_s : s.sampleRate);
            if (s.bitrateNot == kTrue)
                details << u"no bit-rate choice"_s;
            else
                details << u"high %1, normal %2, low %3"_s.arg(s.bitrateHigh, s.bitrateNormal, s.bitrateLow);
        }
        if (s.videoNot == kTrue)
            details << u"no video"_s;
        out += u"    "_s + details.join(u", "_s) + u'\n';
    }
    return out;
}

namespace {

// The item of a chooser record that the value picks, or an empty text.
QString offeredItem(const ChooserRecord &record, const std::function<bool(const QString &)> &fits)
{
    for (const QString &item : record.items) {
        if (fits(item))
            return item;
    }
    return {};
}

QString offeredList(const ChooserRecord &record)
{
    return record.items.isEmpty() ? u"none"_s : record.items.join(u", "_s);
}

} // namespace

QString ApplyProfileOptions(TStartRecord &job, const ProfileEntry &profile, const ConvertOptions &options)
{
    ApplyProfileToJob(job, profile.name, profile.settings, options.qualityPosition);
    // The album's values come later, once every file has been measured (BatchRun).
    job.Loudness.normalizeLufs = options.normalizeLufs;
    job.Loudness.replayGain = options.replayGain != ReplayGainChoice::None;
    if (!options.rate && !options.channels && !options.bitrate)
        return {};

    if (job.Lossless == kTrue)
        return u"\"%1\" is lossless: its rate, channels and bit rate cannot be changed"_s.arg(profile.name);
    if (options.bitrate && job.BitrateNot == kTrue)
        return u"\"%1\" offers no bit-rate choice"_s.arg(profile.name);
    // The same message the settings dialog gives when it cannot open.
    const LibraryReadResult library = profile.libraryPath.isEmpty() || !QFileInfo::exists(profile.libraryPath)
        ? LibraryReadResult { {}, u"missing"_s }
        : ReadProfileLibrary(profile.libraryPath);
    if (!library.error.isEmpty() || library.records.size() < kLibraryRecordCount)
        return u"Can't found  library file for selected profile!"_s;

    const auto record = [&](LibraryChooser which) { return library.records.at(int(which)); };
    if (options.rate) {
        const ChooserRecord rates = record(LibraryChooser::SampleRate);
        const QString wanted = u"%1 Hz"_s.arg(*options.rate);
        const QString item = offeredItem(rates, [&](const QString &text) { return text == wanted; });
        if (item.isEmpty())
            return u"\"%1\" offers the sample rates %2"_s.arg(profile.name, offeredList(rates));
        job.SampleRate = item;
    }
    if (options.channels) {
        const ChooserRecord layouts = record(LibraryChooser::Channels);
        // The first character of a channel text is the count, "5" standing for six.
        const QString first = *options.channels == 6 ? u"5"_s : QString::number(*options.channels);
        const QString item = offeredItem(layouts, [&](const QString &text) { return text.startsWith(first); });
        if (item.isEmpty())
            return u"\"%1\" offers the channel layouts %2"_s.arg(profile.name, offeredList(layouts));
        job.Channels = item;
    }
    if (options.bitrate) {
        const ChooserRecord rates = record(LibraryChooser::Bitrate);
        const QString wanted = u"%1 kbps"_s.arg(*options.bitrate);
        const QString item = offeredItem(rates, [&](const QString &text) { return text == wanted; });
        if (item.isEmpty())
            return u"\"%1\" offers the bit rates %2"_s.arg(profile.name, offeredList(rates));
        job.Bitrate = item;
    }
    return {};
}
