#pragma once
// The engine as a whole, for its hosts and tests.

// Every unit's process-wide state back to how the program starts: run state,
// search context, file table, match list, compare buffers, filter, picture
// store, date view, deletion, phrase system, settings and program sections. The host
// stays installed.
void ResetEngine();

// Program end: writes the settings if they changed and deletes the
// fingerprint store's files. Hosts call it once, explicitly; nothing is left
// to static destructors.
void CloseEngine();
