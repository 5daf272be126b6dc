#pragma once

#include <QString>

class FileList;

enum class MoveDirection { Up, Down };

// Moves the first selected row one place, with its record; it becomes the only selected
// row and the current one (a view shows it whole). Several selected rows still move only
// the first. Returns its new index, or -1 when nothing moved (no selection, or the first row
// up, or the last one down).
int MoveRow(FileList &list, MoveDirection direction);

// Deletes the selected rows with their records; returns how many went.
int RemoveSelectedRows(FileList &list);

// Sends the target rows' output to the folder: each row's OutputPath becomes the folder and
// its Destination name. The names stay; a clash is settled when the row converts.
void ApplyFolderToRows(FileList &list, const QString &folder);

// The whole text behind a cell the list shows cut short: the source's name; for the
// destination, its name and, on a second line, the whole output path. Empty for the other
// columns, whose short texts always fit.
QString CellToolTip(FileList &list, int row, int column);
