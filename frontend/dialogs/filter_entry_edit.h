// Editing one video filter entry of a task through its settings dialog, as the
// main window's filter commands do it: on a copy of the task's settings, kept
// only when the dialog was accepted and returned a usable text.
#pragma once

#include <cstddef>

class CTask;
class IFilterSetup;
class QWidget;

// The longest parameter text (its NUL counted) a filter entry takes from a dialog.
constexpr size_t kFilterDialogTextLimit = 1024;

// Finds the entry of that key in a copy of the task's video filters (compared
// without case), or appends one (empty text, a user filter); gives its text to
// setup and runs setup.Edit(owner). When accepted and the text is shorter than
// the limit, the entry takes the text and the copy's settings go back to the
// task: true. Otherwise the task is untouched: false (a message shown when the
// entry cannot be added or the text is too long).
bool EditVideoFilterEntry(QWidget* owner, CTask& task, const char* key, IFilterSetup& setup);
