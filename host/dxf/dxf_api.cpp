// The DXF entry points of the host: reading files and strings, new drawings, safe saving.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "dxf/dxf_model.h"
#include "dxf/dxf_read.h"
#include "dxf/dxf_write.h"
#include "rx/in_parallel.h"
#include "zrx/db/database.h"
#include "zrxhost/dxf.h"
#include "zrxhost/messages.h"

namespace zrxhost {

namespace {

std::string noMemoryToRead() {
  return textInLanguage("not enough memory to read the drawing", "内存不足，无法读取图形");
}

std::string cannotWrite(const std::string& path, int errorNumber) {
  return path + ": " + textInLanguage("cannot write: {}", "无法写入：{}", std::strerror(errorNumber));
}

std::unique_ptr<ZcDbDatabase> readBuffer(dxf::FileBytes bytes, const std::string& name, DxfError& error,
                                         const DxfProgress& progress = {}) {
  try {
    auto file = std::make_shared<dxf::TagFile>();
    file->buffer = std::move(bytes);
    std::string message;
    std::unique_ptr<ZcDbDatabase> db = dxf::readTags(file, message, error.warnings, progress);
    if (!db) {
      error.message = name.empty() ? message : name + ": " + message;
      return nullptr;
    }
    db->setFileName(name);
    return db;
  } catch (const std::bad_alloc&) {
    error.message = (name.empty() ? std::string() : name + ": ") + noMemoryToRead();
    return nullptr;
  }
}

// Reads up to `size` bytes of `fd` into `to`, from `offset`, or from where the file stands when it
// is negative: the count read (short only at the end of the file), or -1 on a read error.
ssize_t readUpTo(int fd, char* to, std::size_t size, off_t offset = -1) {
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = offset < 0 ? ::read(fd, to + got, size - got)
                           : ::pread(fd, to + got, size - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// Whether the first line of `head` can begin a DXF file: a group code or the binary sentinel. A file
// that fails this is refused from its head, without reading the rest of it.
bool mayBeDxf(std::string_view head) {
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  if (head.starts_with("AutoCAD Binary DXF")) return true;
  std::size_t eol = head.find('\n');
  if (eol == std::string_view::npos) return false;  // a first line longer than the head
  std::string_view line = dxf::TagFile::trimmed(head.substr(0, eol));
  if (line.starts_with('-')) line.remove_prefix(1);
  return !line.empty() && line.size() <= 9 && line.find_first_not_of("0123456789") == std::string_view::npos;
}

// A large file is read in two halves at once, each into memory its own thread faults in first: a
// hundred megabytes of fresh memory take longer to fault in than to fill, and two cores fault them in
// twice as fast. True when all `size` bytes were read and the file holds no more; false with
// `failed` set on a read error, and false alone when the file's length changed meanwhile.
bool readInTwoHalves(int fd, std::size_t size, dxf::FileBytes& bytes, bool& failed) {
  char* to = bytes.allocate(size);
  if (!to) throw std::bad_alloc();
  const std::size_t half = size / 2 / 4096 * 4096;
  ssize_t got[2] = {0, 0};
  auto readPart = [&](int part, std::size_t from, std::size_t end) {
#ifdef MADV_POPULATE_WRITE
    ::madvise(to + from, end - from, MADV_POPULATE_WRITE);  // a hint: where refused, the read faults
#endif
    got[part] = readUpTo(fd, to + from, end - from, static_cast<off_t>(from));
  };
  inParallel(
      true, [&] { readPart(0, 0, half); }, [&] { readPart(1, half, size); });
  char more = 0;
  const ssize_t beyond = got[0] < 0 || got[1] < 0 ? -1 : readUpTo(fd, &more, 1, static_cast<off_t>(size));
  failed = beyond < 0;
  return !failed && beyond == 0 && static_cast<std::size_t>(got[0]) == half &&
         static_cast<std::size_t>(got[1]) == size - half;
}

// The file's bytes in `bytes`; or its first bytes only, when they show that it is no DXF drawing (the
// reader then says why).
bool readFile(const std::string& path, dxf::FileBytes& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + textInLanguage("cannot open: {}", "无法打开：{}", std::strerror(errno));
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = path + ": " + textInLanguage("is a directory, not a drawing", "是文件夹，不是图形");
    return false;
  }
  constexpr std::size_t kHead = std::size_t{1} << 12, kChunk = std::size_t{1} << 16, kLarge = std::size_t{1} << 24;
  const std::size_t expected = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  if (expected >= std::numeric_limits<std::uint32_t>::max()) {
    ::close(fd);
    error = path + ": " + dxf::fileTooLarge();
    return false;
  }
  std::string head(kHead, '\0');
  ssize_t n = readUpTo(fd, head.data(), kHead);
  bool failed = n < 0;
  std::size_t have = failed ? 0 : static_cast<std::size_t>(n);
  head.resize(have);
  try {
    if (failed || have < kHead || !mayBeDxf(head)) {
      bytes = std::move(head);
    } else if (expected < kLarge || !readInTwoHalves(fd, expected, bytes, failed)) {
      // Read on from the head, into a string sized from the file's length (no copy as it grows), one
      // byte longer: a read that fills it shows that the file has grown.
      std::string text = std::move(head);
      text.resize(std::max(expected, have) + 1);
      while (!failed) {
        ssize_t got = readUpTo(fd, text.data() + have, text.size() - have);
        failed = got < 0;
        have += failed ? 0 : static_cast<std::size_t>(got);
        if (have < text.size()) break;
        text.resize(text.size() + kChunk);  // not a regular file, or one that grows meanwhile
      }
      text.resize(have);
      bytes = std::move(text);
    }
  } catch (const std::bad_alloc&) {
    ::close(fd);
    error = path + ": " + noMemoryToRead();
    return false;
  }
  ::close(fd);
  if (failed) {
    error = path + ": " + textInLanguage("read error", "读取错误");
    return false;
  }
  return true;
}

// Writes all of `data` to `fd`; false with errno set on failure.
// Repeats `transfer(done)` (a read or write of the bytes from `done` on) until all `size` bytes are
// through; false with errno set when one fails or moves nothing.
template <typename Transfer>
bool transferAll(std::size_t size, Transfer transfer) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = transfer(done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, std::string_view data) {
  return transferAll(data.size(),
                     [&](std::size_t done) { return ::write(fd, data.data() + done, data.size() - done); });
}

// The file a path names once every symbolic link on its last component is followed (a dangling
// link gives the path it points at). False with errno set for a loop of links.
bool followLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return true;
    link.resize(static_cast<std::size_t>(n));
    std::size_t slash = target.rfind('/');
    target = link.starts_with('/') || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
  }
  errno = ELOOP;
  return false;
}

// Temporaries are named TARGET.zrxsave-XXXXXX, so that those of a save that was killed can be known
// and removed by the next one. The writer holds a lock on its temporary: a save still running
// elsewhere keeps its own.
constexpr std::string_view kTemporaryMark = ".zrxsave-";

class SaveTemporary {
 public:
  explicit SaveTemporary(const std::string& target) : mTarget(target), mPath(target + std::string(kTemporaryMark)) {
    mPath += "XXXXXX";
  }
  ~SaveTemporary() {
    if (mFd >= 0) ::close(mFd);
    if (!mCommitted) ::unlink(mPath.c_str());
  }
  bool open() {
    mFd = mkstemp(mPath.data());
    if (mFd < 0) {
      mCommitted = true;  // nothing to remove
      return false;
    }
    ::flock(mFd, LOCK_EX | LOCK_NB);
    mode_t mask = umask(0);
    umask(mask);
    fchmod(mFd, 0666 & ~mask);
    return true;
  }
  int fd() const { return mFd; }
  const std::string& path() const { return mPath; }
  // Makes the written file the target: flushed to disk, then renamed over it.
  bool commit() {
    if (::fsync(mFd) != 0) return false;
    int fd = mFd;
    mFd = -1;
    if (::close(fd) != 0) return false;
    if (std::rename(mPath.c_str(), mTarget.c_str()) != 0) return false;
    mCommitted = true;
    return true;
  }

 private:
  std::string mTarget, mPath;
  int mFd = -1;
  bool mCommitted = false;
};

// The file a save streams into. The header, put in again at the end, may have grown by a few
// bytes (a handle seed with more digits): what follows it is then moved back, from the end.
class FileSink : public dxf::DxfSink {
 public:
  explicit FileSink(int fd) : mFd(fd) {}
  bool append(std::string_view bytes) override {
    if (!writeAll(mFd, bytes)) return failed();
    mSize += bytes.size();
    return true;
  }
  bool replace(std::size_t at, std::size_t reserved, std::string_view header) override {
    // The seed only grows, and its header with it.
    if (header.size() < reserved || at + reserved > mSize) {
      errno = EINVAL;
      return failed();
    }
    const std::size_t grow = header.size() - reserved;
    std::string chunk(std::min<std::size_t>(kChunk, mSize), '\0');
    for (std::size_t end = mSize; grow > 0 && end > at + reserved;) {
      const std::size_t begin = std::max(at + reserved, end > chunk.size() ? end - chunk.size() : 0);
      if (!readAt(chunk.data(), end - begin, begin) || !writeAt(chunk.data(), end - begin, begin + grow))
        return failed();
      end = begin;
    }
    if (!writeAt(header.data(), header.size(), at)) return failed();
    mSize += grow;
    return true;
  }
  int failedErrno() const { return mErrno; }

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;
  bool failed() {
    mErrno = errno != 0 ? errno : EIO;
    return false;
  }
  bool readAt(char* data, std::size_t size, std::size_t offset) {
    return transferAll(size, [&](std::size_t done) {
      return ::pread(mFd, data + done, size - done, static_cast<off_t>(offset + done));
    });
  }
  bool writeAt(const char* data, std::size_t size, std::size_t offset) {
    return transferAll(size, [&](std::size_t done) {
      return ::pwrite(mFd, data + done, size - done, static_cast<off_t>(offset + done));
    });
  }
  int mFd;
  std::size_t mSize = 0;
  int mErrno = 0;
};

// Removes what killed saves of `target` left beside it; a temporary another save holds locked stays.
void removeStaleTemporaries(const std::string& target, const std::string& own) {
  std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string prefix =
      (slash == std::string::npos ? target : target.substr(slash + 1)) + std::string(kTemporaryMark);
  DIR* folder = ::opendir(dir.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    std::string_view name(entry->d_name);
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 6) continue;
    std::string stale = (slash == std::string::npos ? std::string() : dir) + std::string(name);
    if (stale == own) continue;
    int fd = ::open(stale.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(stale.c_str());
    ::close(fd);
  }
  ::closedir(folder);
}

}  // namespace

std::unique_ptr<ZcDbDatabase> readDxf(const std::string& path, DxfError& error, const DxfProgress& progress) {
  dxf::FileBytes bytes;
  if (!readFile(path, bytes, error.message)) return nullptr;
  return readBuffer(std::move(bytes), path, error, progress);
}

std::unique_ptr<ZcDbDatabase> readDxfFromString(const std::string& text, DxfError& error) {
  return readBuffer(text, std::string(), error);
}

std::string dxfVersion(const ZcDbDatabase& db) {
  const dxf::DrawingLayout* layout = dxf::layoutOf(db);
  return layout ? layout->version : std::string();
}

std::unique_ptr<ZcDbDatabase> newDrawing(const std::string& version) {
  if (!dxf::canMakeDrawing(version)) return nullptr;
  DxfError error;
  return readBuffer(dxf::newDrawingText(version), std::string(), error);
}

std::string writeDxfToString(ZcDbDatabase& db) {
  std::string out, error;
  try {
    if (!dxf::writeTags(db, out, error)) return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
  return out;
}

bool writeDxf(ZcDbDatabase& db, const std::string& path, DxfError& error, const DxfProgress& progress) {
  // A link is written through, so that it keeps pointing at the drawing.
  std::string target;
  if (!followLinks(path, target)) {
    error.message = cannotWrite(path, errno);
    return false;
  }
  // A size limit makes a write fail (EFBIG) instead of killing the process with SIGXFSZ, so that the
  // temporary file is removed and the failure reported.
  struct sigaction ignore {
  }, before{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  SaveTemporary tmp(target);
  int writeErrno = 0;
  bool written = tmp.open();
  if (!written) writeErrno = errno;
  std::string writeError;
  if (written) {
    FileSink sink(tmp.fd());
    try {
      written = dxf::writeTags(db, sink, writeError, progress);
    } catch (const std::bad_alloc&) {
      written = false;
      writeError = path + ": " + textInLanguage("not enough memory to write the drawing", "内存不足，无法写入图形");
    }
    writeErrno = sink.failedErrno();
    if (written && !tmp.commit()) {
      written = false;
      writeErrno = errno;
    }
  }
  sigaction(SIGXFSZ, &before, nullptr);
  if (!written) {
    // The temporary goes with `tmp`; the drawing on disk stays as it was.
    error.message = writeError.empty() ? cannotWrite(path, writeErrno) : writeError;
    return false;
  }
  removeStaleTemporaries(target, tmp.path());
  return true;
}

}  // namespace zrxhost
