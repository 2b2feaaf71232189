// Window helpers for dialogs: centring, the standard open and save dialogs
// centred over their owner, switching groups of controls on and off, and
// whether a point lies over a control. Controls are named by their object
// names.
#pragma once

#include <QPoint>

class QWidget;

// Centres window over over; when over is null, over the window's parent
// window; without a parent, over the window itself. The window stays on
// its screen (see CentredOrigin) and keeps its size. Nothing happens when
// window is null.
void CenterWindow(QWidget* window, QWidget* over = nullptr);

// Runs the open dialog (open nonzero: the file must exist) or the save
// dialog (asks before overwriting) over owner, centred on it. filter is a
// filter list (see ParseFilterList) and *filterIndex its 1-based entry to
// start with and, afterwards, the one the user ended with. file holds the
// name to start with and receives the chosen path; fileTitle (same size,
// may be null) its last component. A file name without an extension gets
// defaultExt (without its dot) when given. Nonzero when the user chose a
// file; 0 when the dialog was cancelled or the path does not fit fileSize
// bytes (the buffers are then left as they were).
int DoStandardFileDialog(QWidget* owner, const char* filter, char* file, unsigned long fileSize,
                         int open, char* fileTitle, const char* initialDir, const char* title,
                         const char* defaultExt, unsigned* filterIndex);

// Enables (nonzero) or disables the controls of dialog named by the first
// count entries of names; names dialog does not hold are passed over.
void EnableZeControls(QWidget* dialog, const char* const* names, int count, int enable);
// Shows (nonzero) or hides them the same way.
void ShowZeControls(QWidget* dialog, const char* const* names, int count, int show);

// Nonzero when point, in dialog's client coordinates, lies over the named
// control (left and top edges inclusive, right and bottom exclusive); 0
// when dialog holds no such control.
int MouseOverDialogControl(QWidget* dialog, const char* name, QPoint point);
