// Snapshot files in the save folder "save": one section per browser window,
// named after the local time of the save ("save\YYYYMMDDhhmmss.txt").
#pragma once

#include <string>
#include <vector>

#include "snapshot/browser_window.h"
#include "storage/profile_document.h"

// True when "save" is a directory or could be created.
bool EnsureSaveFolder();

// Removes the temporary files of snapshot saves that were cut short (the
// program killed, the power lost). Only at start-up, before any save.
void RemoveInterruptedSnapshotSaves();

// "save\" + the local time as %Y%m%d%H%M%S + ".txt"; empty when the time
// cannot be had.
std::string MakeSnapshotFileName();

// Every entry of the save folder whose own name ends in ".txt" (any case),
// as "save\<name>", ascending byte-wise.
std::vector<std::string> ListSnapshotFiles();

// The greatest name of ListSnapshotFiles(), or empty.
std::string NewestSnapshotFile();

// The records of a snapshot file in the order of their section numbers.
// Empty also when there is no file to read.
BrowserWindowList ReadSnapshotFile(const std::string& path);
BrowserWindowList ReadNewestSnapshot();
// As above, telling "nothing could be read" (false: no snapshot, an empty
// path, a folder, a file that cannot be opened or read to its end) apart
// from a snapshot read with no records (true, `records` empty).
bool ReadSnapshotFile(const std::string& path, BrowserWindowList& records);
bool ReadNewestSnapshot(BrowserWindowList& records);

// Writes `list` as a new snapshot file unless it equals the last snapshot
// written in this run. Every CR and LF in a name, title or address is written
// as a space, so no text can break into lines of its own. True only when a
// file was written; after a failed write the last written snapshot is
// unchanged, so the next save retries.
bool WriteSnapshotFile(const BrowserWindowList& list);

// True when `data` differs from the last snapshot written in this run. Only
// compares: WriteSnapshotFile records a snapshot once it reached the disk.
bool SnapshotChanged(const ProfileData& data);
// The same for the snapshot `list` would be written as.
bool SnapshotChanged(const BrowserWindowList& list);

// The content of the last snapshot written in this run (empty at start).
const ProfileData& LastWrittenSnapshot();
// Forgets it, as at the start of a run. For tests.
void ResetLastWrittenSnapshot();
