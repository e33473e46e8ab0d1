// The writer behind writeDxf: a database read from DXF back to DXF text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class ZcDbDatabase;

namespace zrxhost::dxf {

// For checking the writer: while on (on this thread), a changed record is written by comparing every
// value with the object's, as records of every kind can be, trusting neither the edits setters told
// nor which values an object keeps as read. Both ways must give the same bytes.
void compareEveryValue(bool on);

// The whole file in `out`; false with `error` when the database has no DXF layout.
bool writeTags(ZcDbDatabase& db, std::string& out, std::string& error);

// The file in two pieces: `header` belongs at offset `headerAt` of `body`. The header is made last
// (only then is the handle seed known); a caller that streams the file writes the pieces in order
// instead of moving the whole body to make room for it.
struct DxfPieces {
  std::string body;
  std::string header;
  std::size_t headerAt = 0;
};
// `progress` (may be empty) hears the fraction of the entities written.
bool writeTags(ZcDbDatabase& db, DxfPieces& out, std::string& error, const std::function<void(double)>& progress = {});

// Where a streamed write puts the file, piece by piece, so that the whole text is never held.
class DxfSink {
 public:
  virtual ~DxfSink() = default;
  // Adds `bytes` at the end; false when they cannot be kept (the write then stops).
  virtual bool append(std::string_view bytes) = 0;
  // Puts `header` at `at` in place of the `reserved` bytes there, moving what follows when it is
  // longer. The header is written early with the handle seed known then; a seed that grew during
  // the write (new objects past it) is put in at the end.
  virtual bool replace(std::size_t at, std::size_t reserved, std::string_view header) = 0;
};
// The same file as the other forms give, handed to `sink` as it is made. False with `error` (empty
// when the sink failed, which knows why).
bool writeTags(ZcDbDatabase& db, DxfSink& sink, std::string& error, const std::function<void(double)>& progress = {});

}  // namespace zrxhost::dxf
