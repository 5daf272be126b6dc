#pragma once

class Dialogs;
class FileList;
class PreviewArea;
class QWidget;
class TEffectFrm;
class TtrimFrm;

// The Trim and Effect buttons: each works on the first target row, opens its dialog over the
// owner (centred, 94 pixels below its top) and, on OK, writes only its own fields into the
// row's job. Without a target row the user is told to select one.

// stopPreview: the main preview is playing or paused and ends before the dialog opens.
void OpenTrimDialog(
    TtrimFrm &dialog, FileList &list, PreviewArea &preview, bool stopPreview, Dialogs &dialogs, QWidget *owner);

void OpenEffectDialog(TEffectFrm &dialog, FileList &list, Dialogs &dialogs, QWidget *owner);
