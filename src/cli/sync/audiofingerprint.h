#pragma once

#include <QString>

// What a source's audio is, independent of its tags and pictures, so that a tag edit is told
// from a new rip and a renamed file is recognised. A FLAC file carries the MD5 of its samples
// in its header ("flac-md5:<hex>"); anything else is decoded once by the transcoder into a
// tagless AU file whose bytes are hashed ("pcm-sha1:<hex>"). Empty when it cannot be told.
namespace AudioFingerprint {

// The MD5 a FLAC file's STREAMINFO holds; empty when the file is no FLAC or holds none (an
// encoder may leave it zero).
QString flacDigest(const QString &path);

// flacDigest, else the hash of the decoded audio; scratchFolder holds the decoded file while
// it is hashed. transcoder: the sonmill to decode with.
QString of(const QString &path, const QString &transcoder, const QString &scratchFolder);

} // namespace AudioFingerprint
