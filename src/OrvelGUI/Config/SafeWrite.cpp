#include "OrvelGUI/Config/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace safewrite {
namespace {

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Writes all of `contents`, resuming after short writes and signals.
bool WriteAll(int fd, const QByteArray& contents, int& failure) {
  const char* at = contents.constData();
  qint64 left = contents.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, at, std::size_t(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      return false;
    }
    at += written;
    left -= written;
  }
  return true;
}

// A FIFO or device: its reader or driver takes the bytes, it is not ours to
// replace. No O_TRUNC: a device may not support it and a FIFO has nothing to
// truncate.
bool WriteInPlace(const QString& path, const QByteArray& contents, QString& error) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + Reason(errno);
    return false;
  }
  int failure = 0;
  bool ok = WriteAll(fd, contents, failure);
  if (::close(fd) != 0 && ok) {
    failure = errno;
    ok = false;
  }
  if (!ok) error = path + ": " + Reason(failure);
  return ok;
}

// The permissions a newly created file gets: 0666 less the umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mode_t(0666) & ~mask;
}

bool ReplaceRegular(const QString& path, const QByteArray& contents, const struct stat* existing, QString& error) {
  const QFileInfo info(path);
  const QString folder = info.absolutePath();
  QByteArray pattern = QFile::encodeName(folder + "/." + info.fileName() + ".XXXXXX");
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = path + ": cannot write in " + folder + ": " + Reason(errno);
    return false;
  }
  int failure = 0;
  // The replacement is the old file's in all but its bytes: its mode and,
  // where allowed (root writing another user's file), its owner.
  bool ok =
      ::fchmod(fd, existing != nullptr ? (existing->st_mode & 07777) : NewFileMode()) == 0 || (failure = errno, false);
  if (ok && existing != nullptr && ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
    // Not permitted for others than root; the file is then the writer's, as any new file.
  }
  ok = ok && WriteAll(fd, contents, failure);
  // Without the sync a crash after the rename could leave an empty file
  // where the old one was.
  ok = ok && (::fsync(fd) == 0 || (failure = errno, false));
  if (::close(fd) != 0 && ok) {
    failure = errno;
    ok = false;
  }
  ok = ok && (::rename(pattern.constData(), QFile::encodeName(path).constData()) == 0 || (failure = errno, false));
  if (!ok) {
    ::unlink(pattern.constData());
    error = path + ": " + Reason(failure) + "; the file was not changed";
    return false;
  }
  // The rename itself lasts only once the folder is synced; a folder that
  // cannot be synced does not undo the write.
  const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

}  // namespace

bool WriteFile(const QString& path, const QByteArray& contents, QString& error) {
  if (path.isEmpty()) {
    error = "no output file named";
    return false;
  }
  QString target = path;
  const QFileInfo link(path);
  // A link to an existing file: replace the file, keep the link.
  if (link.isSymLink() && link.exists()) target = link.canonicalFilePath();
  struct stat status {};
  if (::stat(QFile::encodeName(target).constData(), &status) != 0) {
    if (errno != ENOENT) {
      error = path + ": " + Reason(errno);
      return false;
    }
    return ReplaceRegular(target, contents, nullptr, error);
  }
  if (S_ISDIR(status.st_mode)) {
    error = path + ": is a folder";
    return false;
  }
  if (!S_ISREG(status.st_mode)) return WriteInPlace(target, contents, error);
  // Refused up front, as rename would otherwise replace a file the user may
  // not write.
  if (::access(QFile::encodeName(target).constData(), W_OK) != 0) {
    error = path + ": " + Reason(errno);
    return false;
  }
  return ReplaceRegular(target, contents, &status, error);
}

namespace {

// The first error of a write to standard output: the stream only keeps a
// flag, and errno is long overwritten by the time the command ends.
int gStandardOutputFailure = 0;

ssize_t WriteStandardOutput(void*, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = ::write(STDOUT_FILENO, data + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (gStandardOutputFailure == 0) gStandardOutputFailure = written < 0 ? errno : EIO;
      return -1;
    }
    done += std::size_t(written);
  }
  return ssize_t(size);
}

}  // namespace

void WatchStandardOutput() {
  cookie_io_functions_t functions{};
  functions.write = WriteStandardOutput;
  std::FILE* watched = ::fopencookie(nullptr, "w", functions);
  if (watched == nullptr) return;  // the plain stream still reports a failure, if not its reason
  std::fflush(stdout);
  // Line by line to a terminal, as the plain stream does.
  std::setvbuf(watched, nullptr, ::isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, BUFSIZ);
  stdout = watched;
}

bool FinishStandardOutput(QString& error) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int failure = gStandardOutputFailure != 0 ? gStandardOutputFailure : errno;
  if (flushed && !std::ferror(stdout)) return true;
  error = "standard output: " + Reason(failure != 0 ? failure : EIO);
  return false;
}

}  // namespace safewrite
