// Built-in DXF data: the tags new objects are written from.
#include <map>
#include <mutex>
#include <string>

#include "dxf/dxf_model.h"

namespace zrxhost::dxf {

namespace {

struct Template {
  const char* name;
  const char* r2000;
  const char* r12;
};

// Each line is "code value"; the value may be empty. Handles and owners are placeholders that the
// writer replaces.
const Template kTemplates[] = {
    {"TEXT", "0 TEXT|5 0|330 0|100 AcDbEntity|8 0|100 AcDbText|10 0.0|20 0.0|30 0.0|40 1.0|1 |100 AcDbText",
     "0 TEXT|5 0|8 0|10 0.0|20 0.0|30 0.0|40 1.0|1 "},
    {"MTEXT", "0 MTEXT|5 0|330 0|100 AcDbEntity|8 0|100 AcDbMText|10 0.0|20 0.0|30 0.0|40 1.0|71 1|1 ", ""},
    {"LINE", "0 LINE|5 0|330 0|100 AcDbEntity|8 0|100 AcDbLine|10 0.0|20 0.0|30 0.0|11 0.0|21 0.0|31 0.0",
     "0 LINE|5 0|8 0|10 0.0|20 0.0|30 0.0|11 0.0|21 0.0|31 0.0"},
    {"INSERT", "0 INSERT|5 0|330 0|100 AcDbEntity|8 0|100 AcDbBlockReference|2 |10 0.0|20 0.0|30 0.0",
     "0 INSERT|5 0|8 0|2 |10 0.0|20 0.0|30 0.0"},
    {"POLYLINE", "0 POLYLINE|5 0|330 0|100 AcDbEntity|8 0|100 AcDb3dPolyline|66 1|10 0.0|20 0.0|30 0.0|70 8",
     "0 POLYLINE|5 0|8 0|66 1|10 0.0|20 0.0|30 0.0|70 8"},
    {"VERTEX",
     "0 VERTEX|5 0|330 0|100 AcDbEntity|8 0|100 AcDbVertex|100 AcDb3dPolylineVertex|10 0.0|20 0.0|30 0.0|70 32",
     "0 VERTEX|5 0|8 0|10 0.0|20 0.0|30 0.0|70 32"},
    {"SEQEND", "0 SEQEND|5 0|330 0|100 AcDbEntity|8 0", "0 SEQEND|5 0|8 0"},
    {"LAYER", "0 LAYER|5 0|330 0|100 AcDbSymbolTableRecord|100 AcDbLayerTableRecord|2 |70 0|62 7|6 Continuous",
     "0 LAYER|2 |70 0|62 7|6 CONTINUOUS"},
    {"STYLE",
     "0 STYLE|5 0|330 0|100 AcDbSymbolTableRecord|100 AcDbTextStyleTableRecord|2 |70 0|40 0.0|41 1.0|50 0.0|71 0|"
     "42 2.5|3 |4 ",
     "0 STYLE|2 |70 0|40 0.0|41 1.0|50 0.0|71 0|42 2.5|3 |4 "},
    {"BLOCK_RECORD", "0 BLOCK_RECORD|5 0|330 0|100 AcDbSymbolTableRecord|100 AcDbBlockTableRecord|2 |340 0", ""},
    {"BLOCK", "0 BLOCK|5 0|330 0|100 AcDbEntity|8 0|100 AcDbBlockBegin|2 |70 0|10 0.0|20 0.0|30 0.0|3 |1 ",
     "0 BLOCK|5 0|8 0|2 |70 0|10 0.0|20 0.0|30 0.0|3 |1 "},
    {"ENDBLK", "0 ENDBLK|5 0|330 0|100 AcDbEntity|8 0|100 AcDbBlockEnd", "0 ENDBLK|5 0|8 0"},
};

std::shared_ptr<const TagFile> parseTemplate(const char* source) {
  auto file = std::make_shared<TagFile>();
  std::string text;
  std::string_view s(source);
  while (!s.empty()) {
    std::size_t bar = s.find('|');
    std::string_view line = s.substr(0, bar);
    std::size_t space = line.find(' ');
    // Group codes right-aligned in three columns, as the writer lays them out: the tags are copied
    // as they stand.
    const std::string_view code = line.substr(0, space);
    if (code.size() < 3) text.append(3 - code.size(), ' ');
    text.append(code);
    text.push_back('\n');
    if (space != std::string_view::npos) text.append(line.substr(space + 1));
    text.push_back('\n');
    s = bar == std::string_view::npos ? std::string_view() : s.substr(bar + 1);
  }
  file->buffer = std::move(text);
  std::string error;
  scanTags(*file, error);
  return file;
}

}  // namespace

std::shared_ptr<const TagFile> templateTags(const char* name, bool r12) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const TagFile>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  std::string key = std::string(name) + (r12 ? "/12" : "");
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  const char* source = "";
  for (const Template& t : kTemplates)
    if (key.rfind(t.name, 0) == 0 && std::string(t.name).size() == std::string(name).size())
      source = r12 && t.r12[0] != '\0' ? t.r12 : t.r2000;
  auto file = parseTemplate(source);
  cache.emplace(key, file);
  return file;
}

}  // namespace zrxhost::dxf
