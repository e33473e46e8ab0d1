// The DXF entry points of the host: reading files and strings, new drawings, safe saving.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "dxf/dxf_model.h"
#include "dxf/dxf_read.h"
#include "dxf/dxf_write.h"
#include "zrx/db/database.h"
#include "zrxhost/dxf.h"

namespace zrxhost {

namespace {

std::unique_ptr<ZcDbDatabase> readBuffer(std::string bytes, const std::string& name, DxfError& error,
                                         const DxfProgress& progress = {}) {
  try {
    auto file = std::make_shared<dxf::TagFile>();
    file->buffer = std::move(bytes);
    std::string message;
    std::unique_ptr<ZcDbDatabase> db = dxf::readTags(file, message, progress);
    if (!db) {
      error.message = name.empty() ? message : name + ": " + message;
      return nullptr;
    }
    db->setFileName(name);
    return db;
  } catch (const std::bad_alloc&) {
    error.message = (name.empty() ? std::string() : name + ": ") + "not enough memory to read the drawing";
    return nullptr;
  }
}

bool readFile(const std::string& path, std::string& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = path + ": is a directory, not a drawing";
    return false;
  }
  // Straight into the string, sized from the file's length: no stdio buffer in between. A file
  // that is not regular or grows meanwhile is read on in chunks.
  std::size_t have = 0;
  bytes.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : std::size_t{1} << 16);
  bool failed = false;
  while (true) {
    if (have == bytes.size()) bytes.resize(bytes.size() + (std::size_t{1} << 16));
    ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  ::close(fd);
  if (failed) {
    error = path + ": read error";
    return false;
  }
  return true;
}

// Writes all of `data` to `fd`; false with errno set on failure.
bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::unique_ptr<ZcDbDatabase> readDxf(const std::string& path, DxfError& error, const DxfProgress& progress) {
  std::string bytes;
  if (!readFile(path, bytes, error.message)) return nullptr;
  return readBuffer(std::move(bytes), path, error, progress);
}

std::unique_ptr<ZcDbDatabase> readDxfFromString(const std::string& text, DxfError& error) {
  return readBuffer(text, std::string(), error);
}

std::unique_ptr<ZcDbDatabase> newDrawing() {
  DxfError error;
  return readBuffer(dxf::newDrawingTemplate(), std::string(), error);
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
  dxf::DxfPieces pieces;
  try {
    if (!dxf::writeTags(db, pieces, error.message, progress)) return false;
  } catch (const std::bad_alloc&) {
    error.message = path + ": not enough memory to write the drawing";
    return false;
  }
  // A temporary file beside the target, renamed over it only once completely written.
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error.message = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  const std::string_view body(pieces.body);
  for (std::string_view piece :
       {body.substr(0, pieces.headerAt), std::string_view(pieces.header), body.substr(pieces.headerAt)}) {
    if (!writeAll(fd, piece)) {
      error.message = path + ": cannot write: " + std::strerror(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    error.message = path + ": cannot write: " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    error.message = path + ": cannot replace: " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace zrxhost
