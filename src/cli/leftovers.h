#pragma once

#include <QString>
#include <QStringList>

// The transcoder's temporary output files that one of its processes holds open in a folder:
// what must not be left behind should the process have to be ended by force.
QStringList OpenTemporaryOutputs(qint64 processId, const QString &folder);

// A name of the transcoder's temporary output files (".sonmill-XXXXXX.part").
bool IsTemporaryOutputName(const QString &fileName);
