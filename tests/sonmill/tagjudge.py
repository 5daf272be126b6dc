#!/usr/bin/python3
"""Writes test sources' tags and reads converted files' tags with mutagen, a reader that
is not ours.

    tagjudge.py read FILE           prints the fields and pictures as JSON
    tagjudge.py write FILE PLAN     tags FILE from PLAN (JSON: fields, pictures)

Fields go by lower-case Vorbis comment names; each format's own names for them are
written out below as the formats' common taggers use them, independently of sonmill.
"""
import base64
import hashlib
import json
import sys

import mutagen
from mutagen import id3
from mutagen.flac import FLAC, Picture
from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis

# ID3v2.4 text frames.
ID3_TEXT = {
    'title': 'TIT2', 'artist': 'TPE1', 'album': 'TALB', 'albumartist': 'TPE2', 'date': 'TDRC',
    'originaldate': 'TDOR', 'genre': 'TCON', 'composer': 'TCOM', 'conductor': 'TPE3',
    'lyricist': 'TEXT', 'label': 'TPUB', 'copyright': 'TCOP', 'isrc': 'TSRC', 'bpm': 'TBPM',
    'grouping': 'TIT1', 'mood': 'TMOO', 'titlesort': 'TSOT', 'artistsort': 'TSOP',
    'albumsort': 'TSOA', 'albumartistsort': 'TSO2', 'composersort': 'TSOC', 'encoder': 'TSSE',
    'compilation': 'TCMP',
}
# ID3 user text frames by description.
ID3_USER = {
    'barcode': 'BARCODE', 'catalognumber': 'CATALOGNUMBER',
    'musicbrainz_albumid': 'MusicBrainz Album Id', 'musicbrainz_artistid': 'MusicBrainz Artist Id',
    'acoustid_id': 'Acoustid Id',
    'replaygain_track_gain': 'REPLAYGAIN_TRACK_GAIN', 'replaygain_track_peak': 'REPLAYGAIN_TRACK_PEAK',
    'replaygain_album_gain': 'REPLAYGAIN_ALBUM_GAIN', 'replaygain_album_peak': 'REPLAYGAIN_ALBUM_PEAK',
}
MB_OWNER = 'http://musicbrainz.org'
# MP4 atoms; the rest are freeform ----:com.apple.iTunes:<name>.
MP4_ATOMS = {
    'title': '\xa9nam', 'artist': '\xa9ART', 'album': '\xa9alb', 'albumartist': 'aART',
    'date': '\xa9day', 'genre': '\xa9gen', 'comment': '\xa9cmt', 'composer': '\xa9wrt',
    'lyrics': '\xa9lyr', 'copyright': 'cprt', 'grouping': '\xa9grp', 'titlesort': 'sonm',
    'artistsort': 'soar', 'albumsort': 'soal', 'albumartistsort': 'soaa', 'composersort': 'soco',
    'encoder': '\xa9too',
}
MP4_FREEFORM = {
    'musicbrainz_trackid': 'MusicBrainz Track Id', 'musicbrainz_albumid': 'MusicBrainz Album Id',
    'musicbrainz_artistid': 'MusicBrainz Artist Id', 'acoustid_id': 'Acoustid Id',
    'replaygain_track_gain': 'replaygain_track_gain', 'replaygain_track_peak': 'replaygain_track_peak',
    'replaygain_album_gain': 'replaygain_album_gain', 'replaygain_album_peak': 'replaygain_album_peak',
}
FREEFORM = '----:com.apple.iTunes:'


def freeform_name(key):
    return MP4_FREEFORM.get(key, key.upper())


def picture_entry(type_, mime, desc, data):
    return {'type': type_, 'mime': mime, 'desc': desc, 'size': len(data),
            'sha1': hashlib.sha1(data).hexdigest()}


def read_vorbis(tags, pictures):
    fields = {}
    for key, value in tags:
        fields.setdefault(key.lower(), []).append(value)
    return fields, [picture_entry(p.type, p.mime, p.desc, p.data) for p in pictures]


def split_pair(fields, text, number, total):
    n, _, t = str(text).partition('/')
    if n:
        fields[number] = [n]
    if t:
        fields[total] = [t]


def read_id3(tags):
    fields, pictures = {}, []
    if tags is None:
        return fields, pictures
    by_frame = {frame: key for key, frame in ID3_TEXT.items()}
    by_desc = {desc.lower(): key for key, desc in ID3_USER.items()}
    for frame in tags.values():
        name = frame.FrameID
        if name in by_frame:
            fields[by_frame[name]] = [str(t) for t in frame.text]
        elif name == 'TRCK':
            split_pair(fields, frame.text[0], 'tracknumber', 'tracktotal')
        elif name == 'TPOS':
            split_pair(fields, frame.text[0], 'discnumber', 'disctotal')
        elif name == 'TXXX':
            key = by_desc.get(frame.desc.lower(), frame.desc.lower())
            fields[key] = [str(t) for t in frame.text]
        elif name == 'COMM' and frame.desc == '':
            fields['comment'] = [str(t) for t in frame.text]
        elif name == 'USLT':
            fields['lyrics'] = [frame.text]
        elif name == 'UFID' and frame.owner == MB_OWNER:
            fields['musicbrainz_trackid'] = [frame.data.decode('utf-8')]
        elif name == 'APIC':
            pictures.append(picture_entry(int(frame.type), frame.mime, frame.desc, frame.data))
    return fields, pictures


def read_mp4(tags):
    fields, pictures = {}, []
    by_atom = {atom: key for key, atom in MP4_ATOMS.items()}
    for atom, values in (tags or {}).items():
        if atom in by_atom:
            fields[by_atom[atom]] = [str(v) for v in values]
        elif atom == 'trkn' or atom == 'disk':
            n, t = values[0]
            base = 'track' if atom == 'trkn' else 'disc'
            if n:
                fields[base + 'number'] = [str(n)]
            if t:
                fields[base + 'total'] = [str(t)]
        elif atom == 'tmpo':
            fields['bpm'] = [str(values[0])]
        elif atom == 'cpil':
            fields['compilation'] = ['1' if values else '0']
        elif atom == 'covr':
            for cover in values:
                mime = 'image/png' if cover.imageformat == MP4Cover.FORMAT_PNG else 'image/jpeg'
                pictures.append(picture_entry(None, mime, None, bytes(cover)))
        elif atom.startswith(FREEFORM):
            name = atom[len(FREEFORM):]
            by_name = {v.lower(): k for k, v in MP4_FREEFORM.items()}
            key = by_name.get(name.lower(), name.lower())
            fields[key] = [bytes(v).decode('utf-8') for v in values]
    return fields, pictures


def read(path):
    audio = mutagen.File(path)
    if audio is None:
        raise SystemExit('mutagen does not know ' + path)
    kind = type(audio).__name__
    if isinstance(audio, FLAC):
        fields, pictures = read_vorbis(audio.tags or [], audio.pictures)
    elif isinstance(audio, (OggVorbis, OggOpus)):
        pictures = [Picture(base64.b64decode(data)) for data in audio.get('metadata_block_picture', [])]
        tags = [(k, v) for k, v in (audio.tags or []) if k.lower() != 'metadata_block_picture']
        fields, pictures = read_vorbis(tags, pictures)
    elif isinstance(audio, MP4):
        fields, pictures = read_mp4(audio.tags)
    else:  # MP3, WAVE, AIFF: an ID3v2 tag
        fields, pictures = read_id3(audio.tags)
        if audio.tags is not None:
            fields['id3version'] = ['2.%d' % audio.tags.version[1]]
    return {'kind': kind, 'fields': fields, 'pictures': pictures, 'seconds': audio.info.length}


def write(path, plan):
    fields = plan.get('fields', {})
    pictures = []
    for p in plan.get('pictures', []):
        with open(p['file'], 'rb') as f:
            pictures.append((p['type'], p['mime'], p['desc'], f.read()))
    audio = mutagen.File(path)
    if isinstance(audio, FLAC):
        if audio.tags is not None:
            audio.tags.clear()  # the encoder's own description
        for key, values in fields.items():
            audio[key] = values
        for type_, mime, desc, data in pictures:
            picture = Picture()
            picture.type, picture.mime, picture.desc, picture.data = type_, mime, desc, data
            audio.add_picture(picture)
        audio.save()
    elif isinstance(audio, MP4):
        if audio.tags is None:
            audio.add_tags()
        for key, values in fields.items():
            if key in MP4_ATOMS:
                audio.tags[MP4_ATOMS[key]] = values
            elif key in ('tracknumber', 'discnumber'):
                base = key[:-len('number')]
                audio.tags['trkn' if base == 'track' else 'disk'] = [
                    (int(values[0]), int(fields.get(base + 'total', ['0'])[0]))]
            elif key in ('tracktotal', 'disctotal'):
                continue
            elif key == 'bpm':
                audio.tags['tmpo'] = [int(values[0])]
            elif key == 'compilation':
                audio.tags['cpil'] = values[0] == '1'
            else:
                audio.tags[FREEFORM + freeform_name(key)] = [
                    MP4FreeForm(v.encode('utf-8')) for v in values]
        covers = []
        for type_, mime, desc, data in pictures:
            covers.append(MP4Cover(data, MP4Cover.FORMAT_PNG if mime == 'image/png' else MP4Cover.FORMAT_JPEG))
        if covers:
            audio.tags['covr'] = covers
        audio.save()
    else:  # MP3: ID3v2.4
        tags = id3.ID3()
        enc = id3.Encoding.UTF8
        for key, values in fields.items():
            if key in ID3_TEXT:
                tags.add(getattr(id3, ID3_TEXT[key])(encoding=enc, text=values))
            elif key in ('tracknumber', 'discnumber'):
                base = key[:-len('number')]
                total = fields.get(base + 'total')
                text = values[0] + ('/' + total[0] if total else '')
                tags.add((id3.TRCK if base == 'track' else id3.TPOS)(encoding=enc, text=[text]))
            elif key in ('tracktotal', 'disctotal'):
                continue
            elif key == 'comment':
                tags.add(id3.COMM(encoding=enc, lang='eng', desc='', text=values))
            elif key == 'lyrics':
                tags.add(id3.USLT(encoding=enc, lang='eng', desc='', text=values[0]))
            elif key == 'musicbrainz_trackid':
                tags.add(id3.UFID(owner=MB_OWNER, data=values[0].encode('utf-8')))
            else:
                tags.add(id3.TXXX(encoding=enc, desc=ID3_USER.get(key, key.upper()), text=values))
        for type_, mime, desc, data in pictures:
            tags.add(id3.APIC(encoding=enc, mime=mime, type=type_, desc=desc, data=data))
        tags.save(path, v2_version=4)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == 'read':
        json.dump(read(sys.argv[2]), sys.stdout, ensure_ascii=False)
    elif len(sys.argv) == 4 and sys.argv[1] == 'write':
        with open(sys.argv[3], encoding='utf-8') as f:
            write(sys.argv[2], json.load(f))
    else:
        raise SystemExit(__doc__)


if __name__ == '__main__':
    main()
