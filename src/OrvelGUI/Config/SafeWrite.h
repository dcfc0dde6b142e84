#pragma once

#include <QByteArray>
#include <QString>

// Every file the tools write goes through here, so that a write that fails
// (no space, an I/O error, a read-only folder) leaves the file that was there
// byte-identical. A regular file (or a new one) is written beside its target
// under a temporary name, flushed, synced and renamed over it; a symbolic
// link is followed, so that its target is replaced and the link kept. A FIFO,
// a character or block device or a socket is written in place, never renamed
// over, since replacing it with a regular file would take it from whoever
// else uses it. Directories are refused.
namespace safewrite {

// The whole of `contents` into `path`; false with `error` (naming the path and
// the system's reason) when any part of it failed.
bool WriteFile(const QString& path, const QByteArray& contents, QString& error);

// Makes standard output remember why a write to it failed, for
// FinishStandardOutput to say. Call first thing in main, before any output.
void WatchStandardOutput();

// Flushes standard output and reports whether everything written to it
// arrived: a full disk or a closed pipe behind it must not pass for success.
bool FinishStandardOutput(QString& error);

}  // namespace safewrite
