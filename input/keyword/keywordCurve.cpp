// Keyword families *DEFINE and *INCLUDE_TRANSFORM: load curves into the
// curve manager; tables, boxes, coordinate systems by nodes,
// transformations and include transforms into the solver's lists.
#include <algorithm>
#include <sstream>

#include "core/curvemanager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

namespace {

// Points a table record holds (its lines after the id card).
constexpr int kTablePointMax = 128;

}  // namespace

// Reads the point lines from line `first` to the block's last line: two
// numbers per line in columns of 20 (or blank- or comma-separated), handed
// to point(a, o). Blank lines are passed over; a field that does not read
// as a number refuses the deck after the block.
template <class Point>
void KeywordReader::readPointLines(const std::vector<std::string>& lines, size_t first, Point point) {
  const size_t end = cardLineEnd(lines);
  for (size_t i = first; i < end; ++i) {
    const std::vector<std::string> f = splitDataFields(lines[i], {20}, 2);
    double a = 0.0, o = 0.0;
    const FieldStatus sa = fields_.read(f[0], a);
    const FieldStatus so = fields_.read(f[1], o);
    if (fields_.problem().any()) return;
    if (sa == FieldStatus::Blank && so == FieldStatus::Blank) continue;
    point(a, o);
  }
}

// A curve needs a point, and its abscissae may not decrease; false after
// refusing the deck, naming the curve and the line.
bool KeywordReader::curvePointsUsable(const std::string& header, int id, const double* x, int count,
                                      const std::vector<std::string>& lines, size_t cardLine) {
  if (refused_ || fields_.problem().any()) return false;
  const std::string which = "\"" + header + "\" " + std::to_string(id);
  // A curve made by another reader may carry an analytic form instead.
  if (count == 0 && current_ != nullptr) {
    refuse(which + atLine() + " gives no point");
    return false;
  }
  for (int i = 1; i < count; ++i) {
    if (x[i] >= x[i - 1]) continue;
    // The point's line: the i-th line with a point after the card.
    int seen = -1;
    size_t line = cardLine;
    while (seen < i && ++line < cardLineEnd(lines)) {
      if (lines[line].find_first_not_of(' ') != std::string::npos) ++seen;
    }
    static const std::string none;  // a line of the list itself, not a copy: its place names its line
    refuse(lineWhere(header, line < lines.size() ? lines[line] : none) + ": curve " + std::to_string(id) +
           " goes back from the abscissa " + std::to_string(x[i - 1]) + " to " + std::to_string(x[i]) +
           "; the abscissae of a curve may not decrease");
    return false;
  }
  return true;
}

namespace {

// True when a record of the list has the id in the given field.
template <class Record, class Owner, class Id>
bool idTaken(const std::vector<Record>& records, Id Owner::*field, int id) {
  return std::any_of(records.begin(), records.end(), [&](const Record& r) { return r.*field == id; });
}

}  // namespace

void KeywordReader::readDefine(const std::string& block) {
  const std::string header = blockHeader(block);
  auto has = [&header](const char* word) { return keywordIs(header, word); };
  const std::vector<std::string> lines = splitDeckLines(block);
  // Refuses (true) an id an earlier card of the kind gave: a lookup by id
  // would take one of the two cards and pass over the other.
  auto repeated = [&](int cardLine, const std::string& kind, bool taken, int id) {
    if (taken) {
      refuse(lineWhereAt(header, static_cast<size_t>(cardLine)) + ": the " + kind + " id " + std::to_string(id) +
             " is given twice");
    }
    return taken;
  };

  if (has("DEFINE_CURVE")) {
    Curve curve(1.0, 1.0, 0.0, 0);
    curve.zeroFill();
    const int cardLine = firstCardLine(header, lines, &curve.name);
    // LCINT (field 8) resamples a material's curve in other programs;
    // curves here are taken point for point.
    int lcint = 0;
    readCard(lines, cardLine, curve.curve_card_id, curve.curve_card_flag, curve.x_scale, curve.y_scale, curve.x_offset,
             curve.y_offset, curve.curve_card_type, lcint);
    // SFA and SFO blank or 0 are 1.0; the offsets shift the points
    // before they are scaled: x = SFA (a + OFFA), y = SFO (o + OFFO).
    if (curve.x_scale == 0.0) curve.x_scale = 1.0;
    if (curve.y_scale == 0.0) curve.y_scale = 1.0;
    readPointLines(lines, static_cast<size_t>(cardLine) + 1, [&curve](double a, double o) {
      curve.addPoint((a + curve.x_offset) * curve.x_scale, (o + curve.y_offset) * curve.y_scale);
    });
    // SIDR 1 and 2 put the curve into a dynamic relaxation before the
    // run; DATTYP other than 0 reads its points another way.
    refuseUncomputedFields(*this, header, lines, cardLine,
                           {{2, "SIDR", "the curve in a dynamic relaxation"},
                            {7, "DATTYP", "points read as another kind of data"}});
    curve.id = curve.curve_card_id;
    if (repeated(cardLine, "curve", idTaken(fem_->curveManager->curve_array, &Curve::id, curve.id), curve.id)) return;
    // Every point, also past those the record holds.
    const double* x = curve.heldWhole() ? curve.x : curve.all_x.data();
    if (!curvePointsUsable(header, curve.curve_card_id, x, curve.pointCount(), lines, static_cast<size_t>(cardLine))) {
      return;
    }
    fem_->curveManager->addCurve(curve);
  } else if (has("DEFINE_TABLE")) {
    TableManager& tables = *fem_->tableManager;
    CurveTable table;
    const int cardLine = firstCardLine(header, lines, &table.title);
    readCard(lines, cardLine, table.table_id, table.table_value1, table.table_value2);
    if (repeated(cardLine, "table", idTaken(tables.table_array, &CurveTable::table_id, table.table_id),
                 table.table_id)) {
      return;
    }
    int count = 0;
    readPointLines(lines, static_cast<size_t>(cardLine) + 1, [&table, &count](double a, double o) {
      if (count < kTablePointMax) {
        table.x[count] = a;
        table.y[count] = o;
      }
      ++count;
    });
    if (count > kTablePointMax) {
      refuse("\"" + header + "\" " + std::to_string(table.table_id) + " has " + std::to_string(count) +
             " lines; a table holds at most " + std::to_string(kTablePointMax));
      return;
    }
    if (!curvePointsUsable(header, table.table_id, table.x, count, lines, static_cast<size_t>(cardLine))) return;
    tables.table_array.push_back(table);
    tables.table_num = static_cast<int32_t>(tables.table_array.size());
  } else if (has("DEFINE_BOX")) {
    BoxManager& boxes = *fem_->boxManager;
    DefineBox box;
    const int cardLine = firstCardLine(header, lines, nullptr);
    readCard(lines, cardLine, box.box_id, box.box_values);
    if (repeated(cardLine, "box", idTaken(boxes.box_array, &DefineBox::box_id, box.box_id), box.box_id)) return;
    boxes.box_array.push_back(box);
    boxes.box_num = static_cast<int32_t>(boxes.box_array.size());
  } else if (has("DEFINE_COORDINATE_NODES")) {
    CoordinateNodes coordinate;
    std::string flag;
    readCard(lines, firstCardLine(header, lines, nullptr), coordinate.coord_values, flag);
    if (!flag.empty()) coordinate.coord_flag = flag[0];
    fem_->coordinate_nodes_array->push_back(coordinate);
  } else if (has("DEFINE_TRANSFORMATION")) {
    Transformation transformation;
    // A title line comes before the id card in the "_TITLE" form.
    const int idLine = firstCardLine(header, lines, nullptr);
    readCard(lines, idLine, transformation.transform_id);
    const size_t end = cardLineEnd(lines);
    for (size_t i = static_cast<size_t>(idLine) + 1; i < end; ++i) {
      TransformStep step;
      readCard(lines, static_cast<int>(i), step.step_name, step.step_values);
      transformation.steps.push_back(step);
    }
    fem_->transformation_array->push_back(transformation);
  } else {
    unreadBlock(header);
  }
}

void KeywordReader::readIncludeTransform(const std::string& block) {
  const std::vector<std::string> lines = splitDeckLines(block);
  IncludeTransform include;
  int32_t* v = include.include_values;
  readCard(lines, 2, cardSpan(v, 7));
  readCard(lines, 3, v[7]);
  readCard(lines, 4, cardSpan(v + 8, 5));
  readCard(lines, 5, v[13]);
  fem_->include_transform_array->push_back(include);
  // The included data would be missing from the model: the deck is
  // refused, naming the file, as a plain *INCLUDE is.
  refuseInclude(block);
}
