#include "cli/sync/audiofingerprint.h"

#include "cli/sync/childrun.h"
#include "core/siblingcommands.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace AudioFingerprint {

namespace {

constexpr int kDecodeTimeoutMs = 30 * 60 * 1000;
constexpr qsizetype kStreamInfoSize = 34;
constexpr qsizetype kDigestOffset = 18; // in STREAMINFO, after the sizes, rate, channels and count
constexpr qsizetype kDigestSize = 16;

} // namespace

QString flacDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(4);
    // An ID3v2 tag some taggers put before the stream.
    if (head.startsWith("ID3")) {
        const QByteArray id3 = head + file.read(6);
        if (id3.size() < 10)
            return {};
        const qint64 size = (qint64(id3[6] & 0x7f) << 21) | (qint64(id3[7] & 0x7f) << 14) | (qint64(id3[8] & 0x7f) << 7)
            | qint64(id3[9] & 0x7f);
        if (!file.seek(10 + size))
            return {};
        head = file.read(4);
    }
    if (head != "fLaC")
        return {};
    const QByteArray block = file.read(4);
    // The first metadata block is STREAMINFO, always.
    if (block.size() < 4 || (block[0] & 0x7f) != 0)
        return {};
    const QByteArray info = file.read(kStreamInfoSize);
    if (info.size() != kStreamInfoSize)
        return {};
    const QByteArray digest = info.mid(kDigestOffset, kDigestSize);
    if (digest.count('\0') == kDigestSize)
        return {};
    return u"flac-md5:"_s + QString::fromLatin1(digest.toHex());
}

QString of(const QString &path, const QString &transcoder, const QString &scratchFolder)
{
    if (const QString digest = flacDigest(path); !digest.isEmpty())
        return digest;
    // AU has no place for tags: its bytes are the header the format gives and the samples.
    QTemporaryFile decoded(scratchFolder + u"/fingerprint-XXXXXX.au"_s);
    if (!decoded.open())
        return {};
    decoded.close();
    const ChildRun run = RunToEnd(transcoder,
        { kSiblingKey.toString(), TranscoderOption::Overwrite.toString(), TranscoderOption::Input.toString(), path,
            decoded.fileName() },
        kDecodeTimeoutMs);
    if (!run.inTime || run.exitCode != 0)
        return {};
    QFile file(decoded.fileName());
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return u"pcm-sha1:"_s + QString::fromLatin1(hash.result().toHex());
}

} // namespace AudioFingerprint
