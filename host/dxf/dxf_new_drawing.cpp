// A new, empty drawing written out as DXF text in code: the tables, blocks and objects every version needs.
#include <cstdio>
#include <string>
#include <string_view>

#include "dxf/dxf_model.h"

namespace zrxhost::dxf {

namespace {

// Groups in DXF's text form, with handles given out in order as the drawing is written.
class DrawingText {
 public:
  explicit DrawingText(bool r12) : mR12(r12) {}

  void tag(int code, std::string_view value) {
    char number[8];
    std::snprintf(number, sizeof number, "%3d\n", code);
    mText += number;
    mText += value;
    mText += '\n';
  }
  void tag(int code, double value) {
    char number[32];
    std::snprintf(number, sizeof number, "%.17g", value);
    std::string text = number;
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    tag(code, text);
  }
  void tag(int code, int value) { tag(code, std::to_string(value)); }
  void point(int code, double x, double y) {
    tag(code, x);
    tag(code + 10, y);
  }
  void point(int code, double x, double y, double z) {
    point(code, x, y);
    tag(code + 20, z);
  }

  std::string newHandle() { return hex(mNextHandle++); }
  std::string handleSeed() const { return hex(mNextHandle); }

  // The start of an object or table record: its type, handle (under `handleCode`), owner and the
  // subclass markers R2000 and later carry. R12 records have neither owner nor markers; they have
  // handles, so that what is added later has handles the seed accounts for.
  void record(std::string_view type, const std::string& handle, const std::string& owner,
              std::initializer_list<std::string_view> subclasses, int handleCode = 5) {
    tag(0, type);
    tag(handleCode, handle);
    if (mR12) return;
    tag(330, owner);
    for (std::string_view subclass : subclasses) tag(100, subclass);
  }
  void beginSection(std::string_view name) {
    tag(0, "SECTION");
    tag(2, name);
  }
  void endSection() { tag(0, "ENDSEC"); }

  bool r12() const { return mR12; }
  std::string text() && { return std::move(mText); }

 private:
  static std::string hex(unsigned handle) {
    char text[17];
    std::snprintf(text, sizeof text, "%X", handle);
    return text;
  }

  bool mR12;
  unsigned mNextHandle = 1;
  std::string mText;
};

// Handles fixed before the sections that use them are written.
struct Handles {
  std::string modelRecord, paperRecord, modelLayout, paperLayout, rootDictionary, groupDictionary, layoutDictionary;
};

// Header variables a CAD program looks for in any drawing; the rest take their defaults.
void writeHeader(DrawingText& d, const std::string& version, const std::string& handleSeed) {
  auto variable = [&](std::string_view name) { d.tag(9, name); };
  d.beginSection("HEADER");
  variable("$ACADVER");
  d.tag(1, version);
  if (!d.r12()) {
    variable("$DWGCODEPAGE");
    d.tag(3, "ANSI_1252");
  }
  if (version >= "AC1018") {
    variable("$LASTSAVEDBY");
    d.tag(1, "zrxhost");
  }
  variable("$INSBASE");
  d.point(10, 0, 0, 0);
  variable("$EXTMIN");
  d.point(10, 1e20, 1e20, 1e20);
  variable("$EXTMAX");
  d.point(10, -1e20, -1e20, -1e20);
  variable("$LIMMIN");
  d.point(10, 0, 0);
  variable("$LIMMAX");
  d.point(10, 420, 297);
  variable("$LTSCALE");
  d.tag(40, 1.0);
  variable("$TEXTSIZE");
  d.tag(40, 2.5);
  variable("$TEXTSTYLE");
  d.tag(7, d.r12() ? "STANDARD" : "Standard");
  variable("$CLAYER");
  d.tag(8, "0");
  variable("$CELTYPE");
  d.tag(6, d.r12() ? "BYLAYER" : "ByLayer");
  variable("$CECOLOR");
  d.tag(62, 256);
  variable("$DIMSTYLE");
  d.tag(2, d.r12() ? "STANDARD" : "Standard");
  variable("$LUNITS");
  d.tag(70, 2);
  variable("$PDMODE");
  d.tag(70, 0);
  variable("$PDSIZE");
  d.tag(40, 0.0);
  variable("$TILEMODE");
  d.tag(70, 1);
  variable("$HANDLING");
  d.tag(70, 1);
  variable("$HANDSEED");
  d.tag(5, handleSeed);
  if (!d.r12()) {
    variable("$MEASUREMENT");
    d.tag(70, 1);
    variable("$INSUNITS");
    d.tag(70, 4);
  }
  d.endSection();
}

void writeClasses(DrawingText& d, const std::string& version) {
  d.beginSection("CLASSES");
  d.tag(0, "CLASS");
  d.tag(1, "LAYOUT");
  d.tag(2, "AcDbLayout");
  d.tag(3, "ObjectDBX Classes");
  d.tag(90, 0);
  if (version >= "AC1018") d.tag(91, 2);
  d.tag(280, 0);
  d.tag(281, 0);
  d.endSection();
}

// One symbol table: its header, then `writeRecords(tableHandle)` for each record it holds.
template <typename Records>
void writeTable(DrawingText& d, std::string_view name, int count, Records writeRecords) {
  const std::string handle = d.newHandle();
  d.tag(0, "TABLE");
  d.tag(2, name);
  d.tag(5, handle);
  if (!d.r12()) {
    d.tag(330, "0");
    d.tag(100, "AcDbSymbolTable");
  }
  d.tag(70, count);
  if (!d.r12() && name == "DIMSTYLE") {
    d.tag(100, "AcDbDimStyleTable");
    d.tag(71, count);
  }
  writeRecords(handle);
  d.tag(0, "ENDTAB");
}

void writeTables(DrawingText& d, const Handles& h) {
  const bool r12 = d.r12();
  auto named = [&](std::string_view r12Name, std::string_view name) { return r12 ? r12Name : name; };
  d.beginSection("TABLES");
  writeTable(d, "VPORT", 1, [&](const std::string& table) {
    d.record("VPORT", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbViewportTableRecord"});
    d.tag(2, "*ACTIVE");
    d.tag(70, 0);
    d.point(10, 0, 0);
    d.point(11, 1, 1);
    d.point(12, 210, 148.5);
    d.point(13, 0, 0);
    d.point(14, 10, 10);
    d.point(15, 10, 10);
    d.point(16, 0, 0, 1);
    d.point(17, 0, 0, 0);
    d.tag(40, 297.0);
    d.tag(41, 1.5);
    d.tag(42, 50.0);
    d.tag(43, 0.0);
    d.tag(44, 0.0);
    d.tag(50, 0.0);
    d.tag(51, 0.0);
    d.tag(71, 0);
    d.tag(72, 1000);
    d.tag(73, 1);
    d.tag(74, 3);
    d.tag(75, 0);
    d.tag(76, 0);
    d.tag(77, 0);
    d.tag(78, 0);
  });
  writeTable(d, "LTYPE", r12 ? 1 : 3, [&](const std::string& table) {
    auto linetype = [&](std::string_view name, std::string_view description) {
      d.record("LTYPE", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbLinetypeTableRecord"});
      d.tag(2, name);
      d.tag(70, 0);
      d.tag(3, description);
      d.tag(72, 65);
      d.tag(73, 0);
      d.tag(40, 0.0);
    };
    if (!r12) {
      linetype("ByBlock", "");
      linetype("ByLayer", "");
    }
    linetype(named("CONTINUOUS", "Continuous"), "Solid line");
  });
  writeTable(d, "LAYER", 1, [&](const std::string& table) {
    d.record("LAYER", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbLayerTableRecord"});
    d.tag(2, "0");
    d.tag(70, 0);
    d.tag(62, 7);
    d.tag(6, named("CONTINUOUS", "Continuous"));
  });
  writeTable(d, "STYLE", 1, [&](const std::string& table) {
    d.record("STYLE", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbTextStyleTableRecord"});
    d.tag(2, named("STANDARD", "Standard"));
    d.tag(70, 0);
    d.tag(40, 0.0);
    d.tag(41, 1.0);
    d.tag(50, 0.0);
    d.tag(71, 0);
    d.tag(42, 2.5);
    d.tag(3, "txt");
    d.tag(4, "");
  });
  writeTable(d, "VIEW", 0, [](const std::string&) {});
  writeTable(d, "UCS", 0, [](const std::string&) {});
  writeTable(d, "APPID", 1, [&](const std::string& table) {
    d.record("APPID", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbRegAppTableRecord"});
    d.tag(2, "ACAD");
    d.tag(70, 0);
  });
  writeTable(d, "DIMSTYLE", 1, [&](const std::string& table) {
    d.record("DIMSTYLE", d.newHandle(), table, {"AcDbSymbolTableRecord", "AcDbDimStyleTableRecord"}, 105);
    d.tag(2, named("STANDARD", "Standard"));
    d.tag(70, 0);
  });
  if (!r12) {
    writeTable(d, "BLOCK_RECORD", 2, [&](const std::string& table) {
      auto blockRecord = [&](const std::string& handle, std::string_view name, const std::string& layout) {
        d.record("BLOCK_RECORD", handle, table, {"AcDbSymbolTableRecord", "AcDbBlockTableRecord"});
        d.tag(2, name);
        d.tag(340, layout);
      };
      blockRecord(h.modelRecord, "*Model_Space", h.modelLayout);
      blockRecord(h.paperRecord, "*Paper_Space", h.paperLayout);
    });
  }
  d.endSection();
}

void writeBlocks(DrawingText& d, const Handles& h) {
  auto block = [&](std::string_view name, const std::string& owner, bool paper) {
    d.record("BLOCK", d.newHandle(), owner, {"AcDbEntity"});
    if (paper && !d.r12()) d.tag(67, 1);
    d.tag(8, "0");
    if (!d.r12()) d.tag(100, "AcDbBlockBegin");
    d.tag(2, name);
    d.tag(70, 0);
    d.point(10, 0, 0, 0);
    d.tag(3, name);
    d.tag(1, "");
    d.record("ENDBLK", d.newHandle(), owner, {"AcDbEntity"});
    if (paper && !d.r12()) d.tag(67, 1);
    d.tag(8, "0");
    if (!d.r12()) d.tag(100, "AcDbBlockEnd");
  };
  d.beginSection("BLOCKS");
  block(d.r12() ? "$MODEL_SPACE" : "*Model_Space", h.modelRecord, false);
  block(d.r12() ? "$PAPER_SPACE" : "*Paper_Space", h.paperRecord, true);
  d.endSection();
}

void writeObjects(DrawingText& d, const Handles& h) {
  auto dictionary = [&](const std::string& handle, const std::string& owner,
                        std::initializer_list<std::pair<std::string_view, std::string>> entries) {
    d.tag(0, "DICTIONARY");
    d.tag(5, handle);
    if (owner != "0") {
      d.tag(102, "{ACAD_REACTORS");
      d.tag(330, owner);
      d.tag(102, "}");
    }
    d.tag(330, owner);
    d.tag(100, "AcDbDictionary");
    d.tag(281, 1);
    for (const auto& [name, entry] : entries) {
      d.tag(3, name);
      d.tag(350, entry);
    }
  };
  // A layout with the plot settings of an A3 sheet in millimetres, drawn from `blockRecord`.
  auto layout = [&](const std::string& handle, std::string_view name, int tabOrder, const std::string& blockRecord) {
    d.tag(0, "LAYOUT");
    d.tag(5, handle);
    d.tag(102, "{ACAD_REACTORS");
    d.tag(330, h.layoutDictionary);
    d.tag(102, "}");
    d.tag(330, h.layoutDictionary);
    d.tag(100, "AcDbPlotSettings");
    d.tag(1, "");
    d.tag(2, "");
    d.tag(4, "");
    d.tag(6, "");
    for (int code = 40; code <= 49; ++code) d.tag(code, 0.0);
    d.tag(140, 0.0);
    d.tag(141, 0.0);
    d.tag(142, 1.0);
    d.tag(143, 1.0);
    d.tag(70, tabOrder == 0 ? 1712 : 688);
    d.tag(72, 1);
    d.tag(73, 0);
    d.tag(74, 5);
    d.tag(7, "");
    d.tag(75, 16);
    d.tag(147, 1.0);
    d.tag(148, 0.0);
    d.tag(149, 0.0);
    d.tag(100, "AcDbLayout");
    d.tag(1, name);
    d.tag(70, 1);
    d.tag(71, tabOrder);
    d.point(10, 0, 0);
    d.point(11, 420, 297);
    d.point(12, 0, 0, 0);
    d.point(14, 1e20, 1e20, 1e20);
    d.point(15, -1e20, -1e20, -1e20);
    d.tag(146, 0.0);
    d.point(13, 0, 0, 0);
    d.point(16, 1, 0, 0);
    d.point(17, 0, 1, 0);
    d.tag(76, 0);
    d.tag(330, blockRecord);
  };
  d.beginSection("OBJECTS");
  dictionary(h.rootDictionary, "0", {{"ACAD_GROUP", h.groupDictionary}, {"ACAD_LAYOUT", h.layoutDictionary}});
  dictionary(h.groupDictionary, h.rootDictionary, {});
  dictionary(h.layoutDictionary, h.rootDictionary, {{"Layout1", h.paperLayout}, {"Model", h.modelLayout}});
  layout(h.modelLayout, "Model", 0, h.modelRecord);
  layout(h.paperLayout, "Layout1", 1, h.paperRecord);
  d.endSection();
}

}  // namespace

bool canMakeDrawing(const std::string& version) {
  return version == "AC1009" || (version >= "AC1015" && isKnownVersion(version));
}

std::string newDrawingText(const std::string& version) {
  DrawingText d(version == "AC1009");
  Handles h;
  if (!d.r12()) {
    h.rootDictionary = d.newHandle();
    h.groupDictionary = d.newHandle();
    h.layoutDictionary = d.newHandle();
    h.modelRecord = d.newHandle();
    h.paperRecord = d.newHandle();
    h.modelLayout = d.newHandle();
    h.paperLayout = d.newHandle();
  }
  // The header comes first in the file but states the handle seed: write the rest, then put it before.
  if (!d.r12()) writeClasses(d, version);
  writeTables(d, h);
  writeBlocks(d, h);
  d.beginSection("ENTITIES");
  d.endSection();
  if (!d.r12()) writeObjects(d, h);
  d.tag(0, "EOF");

  DrawingText header(d.r12());
  writeHeader(header, version, d.handleSeed());
  return std::move(header).text() + std::move(d).text();
}

}  // namespace zrxhost::dxf
