// Number fields and field cutting of keyword-deck cards.
#include "input/keywordField.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "input/cardLineLedger.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

size_t skipBlanks(std::string_view text, size_t i) {
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

size_t skipDigits(std::string_view text, size_t i) {
    while (i < text.size() && isDigit(text[i])) ++i;
    return i;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = skipBlanks(text, 0);
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Blank, a parameter, or neither; i is left at the first non-blank.
bool blankOrParameter(std::string_view text, size_t& i, FieldStatus& status) {
    i = skipBlanks(text, 0);
    if (i == text.size()) {
        status = FieldStatus::Blank;
        return true;
    }
    if (text[i] == '&') {
        status = FieldStatus::Parameter;
        return true;
    }
    return false;
}

// The number at position i of a field: sign, digits with at most one point,
// and an exponent after a letter (e, E, d, D) or after its sign alone. The
// number is written out as strtod reads it into a buffer of the scan; no
// string is built per field.
struct ScannedNumber {
    std::string text;        // as strtod reads it
    bool whole = true;       // no point and no exponent
    size_t end = 0;
    void append(std::string_view part) { text.append(part.data(), part.size()); }
};

bool scanNumber(std::string_view text, size_t i, ScannedNumber& number) {
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t intStart = i;
    i = skipDigits(text, i);
    size_t digits = i - intStart;
    if (i < text.size() && text[i] == '.') {
        const size_t fracStart = ++i;
        i = skipDigits(text, i);
        digits += i - fracStart;
        number.whole = false;
    }
    if (digits == 0) return false;
    number.text.clear();
    number.append(text.substr(start, i - start));
    size_t j = i;
    const bool letter = j < text.size() && (text[j] == 'e' || text[j] == 'E' || text[j] == 'd' || text[j] == 'D');
    if (letter) ++j;
    const size_t signAt = j;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const bool sign = j > signAt;
    const size_t expStart = j;
    j = skipDigits(text, j);
    if (j > expStart && (letter || sign)) {
        number.text += 'e';
        number.append(text.substr(signAt, j - signAt));
        number.whole = false;
        i = j;
    }
    number.end = i;
    return true;
}

// The one number of a field: Blank, Parameter, NotNumber or Trailing when
// the field holds no number or something besides it.
FieldStatus scanField(std::string_view text, ScannedNumber& number) {
    size_t i = 0;
    FieldStatus status = FieldStatus::NotNumber;
    if (blankOrParameter(text, i, status)) return status;
    if (!scanNumber(text, i, number)) return FieldStatus::NotNumber;
    return skipBlanks(text, number.end) == text.size() ? FieldStatus::Number : FieldStatus::Trailing;
}

// An integer written with digits only, exactly, or OutOfRange.
FieldStatus wholeDigits(const std::string& digits, long long& value) {
    size_t i = 0;
    const bool negative = digits[0] == '-';
    if (digits[0] == '+' || digits[0] == '-') ++i;
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL
                                              : static_cast<unsigned long long>(LLONG_MAX);
    for (; i < digits.size(); ++i) {
        const unsigned long long digit = static_cast<unsigned long long>(digits[i] - '0');
        if (magnitude > (limit - digit) / 10ULL) return FieldStatus::OutOfRange;
        magnitude = magnitude * 10ULL + digit;
    }
    value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return FieldStatus::Number;
}

// One scan buffer per thread: its capacity is kept from field to field.
thread_local ScannedNumber scanned;

}  // namespace

FieldStatus parseFieldNumber(std::string_view text, double& value) {
    ScannedNumber& number = scanned;
    number.whole = true;
    const FieldStatus status = scanField(text, number);
    if (status != FieldStatus::Number) return status;
    const double parsed = std::strtod(number.text.c_str(), nullptr);
    if (std::isinf(parsed)) return FieldStatus::OutOfRange;
    value = parsed;
    return FieldStatus::Number;
}

FieldStatus parseFieldInteger(std::string_view text, long long& value) {
    ScannedNumber& number = scanned;
    number.whole = true;
    const FieldStatus status = scanField(text, number);
    if (status != FieldStatus::Number) return status;
    if (number.whole) return wholeDigits(number.text, value);
    const double parsed = std::strtod(number.text.c_str(), nullptr);
    if (parsed != std::trunc(parsed)) return FieldStatus::Fraction;
    // 2^63: the first double beyond the range of long long.
    if (std::fabs(parsed) >= 9223372036854775808.0) return FieldStatus::OutOfRange;
    value = static_cast<long long>(parsed);
    return FieldStatus::Number;
}

std::string fieldProblemText(FieldStatus status) {
    switch (status) {
        case FieldStatus::Parameter:
            return "names a parameter; parameters are not read by this version";
        case FieldStatus::NotNumber:
            return "is not a number";
        case FieldStatus::OutOfRange:
            return "holds a number too large for its field";
        case FieldStatus::Trailing:
            return "holds a number followed by other characters (a shifted column?)";
        case FieldStatus::Fraction:
            return "holds a fraction where the field takes a whole number";
        case FieldStatus::PastFields:
            return "lies past the fields its card is read for (columns no field covers)";
        case FieldStatus::NoLayout:
            return "fits neither the columns of its card nor, written with blanks, its fields";
        default:
            return std::string();
    }
}

namespace {

// The card line cut last and its fields, so that a field that does not read
// can be traced to its line and place. The reader runs on one thread; each
// thread keeps its own.
struct LastCut {
    std::string line;
    std::vector<std::string> fields;
};
thread_local LastCut lastCut;

const std::vector<std::string>& rememberCut(const std::string& line, const std::vector<std::string>& fields) {
    lastCut.line = line;
    lastCut.fields = fields;
    return fields;
}

int widthOf(const std::vector<int>& widths, int i) {
    if (widths.empty()) return 10;
    return widths[static_cast<size_t>(i) < widths.size() ? static_cast<size_t>(i) : widths.size() - 1];
}

// Blanks between the words of a line, as a stream reads words.
bool isWordGap(char c) { return isBlank(c) || c == '\v' || c == '\f'; }

}  // namespace

bool blankOrZeros(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (isWordGap(text[i]) || text[i] == ',')) ++i;
        const size_t start = i;
        while (i < text.size() && !isWordGap(text[i]) && text[i] != ',') ++i;
        if (i == start) break;
        double value = 0.0;
        if (parseFieldNumber(text.substr(start, i - start), value) != FieldStatus::Number || value != 0.0) return false;
    }
    return true;
}

namespace {

// Cuts into n fields; returns the text past them.
std::string_view commaFields(std::string_view line, int n, std::vector<std::string_view>& fields) {
    fields.assign(static_cast<size_t>(n), std::string_view());
    size_t start = 0;
    for (int i = 0; i < n && start <= line.size(); ++i) {
        const size_t comma = line.find(',', start);
        const size_t end = comma == std::string_view::npos ? line.size() : comma;
        fields[static_cast<size_t>(i)] = line.substr(start, end - start);
        if (comma == std::string_view::npos) return std::string_view();
        start = comma + 1;
    }
    return start <= line.size() ? line.substr(start) : std::string_view();
}

std::string_view columnFields(std::string_view line, const std::vector<int>& widths, int n,
                              std::vector<std::string_view>& fields) {
    fields.assign(static_cast<size_t>(n), std::string_view());
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t width = static_cast<size_t>(widthOf(widths, i));
        if (start < line.size()) fields[static_cast<size_t>(i)] = line.substr(start, width);
        start += width;
    }
    return start < line.size() ? line.substr(start) : std::string_view();
}

// The first n blank-separated words of a line; fields without a word stay
// empty.
std::string_view wordFields(std::string_view line, int n, std::vector<std::string_view>& fields) {
    fields.assign(static_cast<size_t>(n), std::string_view());
    size_t i = 0;
    for (std::string_view& field : fields) {
        while (i < line.size() && isWordGap(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !isWordGap(line[i])) ++i;
        field = line.substr(start, i - start);
    }
    return line.substr(std::min(i, line.size()));
}

// The first line since the last clear whose cutting left text past its
// fields or fit no layout.
thread_local FieldProblem cutTrouble;

void noteCut(FieldStatus status, std::string_view text, std::string_view line) {
    if (cutTrouble.any()) return;
    cutTrouble.status = status;
    cutTrouble.text = std::string(trimmed(text));
    cutTrouble.line = std::string(line);
    cutTrouble.field = 0;
}

void notePast(std::string_view past, std::string_view line) {
    if (!blankOrZeros(past)) noteCut(FieldStatus::PastFields, past, line);
}

std::vector<std::string> owned(const std::vector<std::string_view>& views) {
    std::vector<std::string> fields(views.size());
    for (size_t i = 0; i < views.size(); ++i) fields[i].assign(views[i].data(), views[i].size());
    return fields;
}

}  // namespace

std::vector<std::string> splitFixedFields(const std::string& line, const std::vector<int>& widths, int n) {
    std::vector<std::string_view> views;
    const std::string_view past =
        line.find(',') != std::string::npos ? commaFields(line, n, views) : columnFields(line, widths, n, views);
    // A line of the block being read is checked once the block is read,
    // against the widest cut made of it; any other line now.
    if (!takeCardLine(line, line.size() - past.size())) notePast(past, line);
    return rememberCut(line, owned(views));
}

const FieldProblem& cutProblem() { return cutTrouble; }

void noteCutProblem(FieldStatus status, std::string_view text, std::string_view line) { noteCut(status, text, line); }

void clearCutProblem() { cutTrouble = FieldProblem(); }

namespace {

// How the blank-separated words of a line sit in its columns: whether every
// column read holds at most one word (or a piece of one that touches the
// next column: numbers may touch) with nothing but blanks and zeros past
// them; whether the line is written in the columns (words that cross a
// column edge, or words that all end at column ends or all start at column
// starts, so that blank columns count); and how many words it holds.
struct DataLayout {
    bool fits = true;
    bool inColumns = false;
    int words = 0;
};

DataLayout dataLayout(std::string_view line, const std::vector<int>& widths, int n) {
    DataLayout layout;
    bool crosses = false, rightAligned = true, leftAligned = true;
    size_t column = 0, columnStart = 0, columnEnd = static_cast<size_t>(widthOf(widths, 0));
    int wordsInColumn = 0;
    auto advanceTo = [&](size_t pos) {
        while (pos >= columnEnd && column < static_cast<size_t>(n)) {
            ++column;
            wordsInColumn = 0;
            columnStart = columnEnd;
            columnEnd += static_cast<size_t>(widthOf(widths, static_cast<int>(column)));
        }
    };
    for (size_t i = skipBlanks(line, 0); i < line.size(); i = skipBlanks(line, i)) {
        size_t end = i;
        while (end < line.size() && !isBlank(line[end])) ++end;
        ++layout.words;
        advanceTo(i);
        if (column >= static_cast<size_t>(n)) {
            // Past the columns read: only blanks and zeros may stand there.
            if (!blankOrZeros(line.substr(i))) layout.fits = false;
            for (size_t j = skipBlanks(line, end); j < line.size(); j = skipBlanks(line, j)) {
                ++layout.words;
                while (j < line.size() && !isBlank(line[j])) ++j;
            }
            rightAligned = false;
            break;
        }
        leftAligned = leftAligned && i == columnStart;
        if (++wordsInColumn > 1) layout.fits = false;
        // The pieces of a word that runs on into later columns.
        while (end > columnEnd && column + 1 < static_cast<size_t>(n)) {
            crosses = true;
            advanceTo(columnEnd);
            ++wordsInColumn;
        }
        if (end > columnEnd) {
            if (!blankOrZeros(line.substr(columnEnd))) layout.fits = false;
            rightAligned = false;
        } else {
            rightAligned = rightAligned && end == columnEnd;
        }
        i = end;
    }
    layout.inColumns = crosses || rightAligned || leftAligned;
    return layout;
}

}  // namespace

void cutDataFields(std::string_view line, const std::vector<int>& widths, int n, FieldCut& cut, int least) {
    cut.line = line;
    if (line.find(',') != std::string_view::npos) {
        notePast(commaFields(line, n, cut.fields), line);
        return;
    }
    const DataLayout layout = dataLayout(line, widths, n);
    const bool wordsFit = layout.words >= (least > 0 ? least : n) && layout.words <= n;
    if (layout.fits && (layout.inColumns || !wordsFit)) {
        columnFields(line, widths, n, cut.fields);
    } else if (wordsFit) {
        wordFields(line, n, cut.fields);
    } else {
        // The columns read it, so that a field names what it holds.
        columnFields(line, widths, n, cut.fields);
        noteCut(FieldStatus::NoLayout, line, line);
    }
}

void cutDataFields(const std::string& line, const std::vector<int>& widths, int n, FieldCut& cut, int least) {
    takeCardLine(line);
    cutDataFields(std::string_view(line), widths, n, cut, least);
}

std::vector<std::string> splitDataFields(const std::string& line, const std::vector<int>& widths, int n, int least) {
    FieldCut cut;
    cutDataFields(line, widths, n, cut, least);
    return rememberCut(line, owned(cut.fields));
}

void FieldStream::note(FieldStatus status, std::string_view text) {
    if (status == FieldStatus::Blank || status == FieldStatus::Number || problem_.any()) return;
    // The field is one of the last cut line's, or a whole text of its own.
    for (size_t i = 0; i < lastCut.fields.size(); ++i) {
        if (lastCut.fields[i] == text) {
            keep(status, text, lastCut.line, static_cast<int>(i) + 1);
            return;
        }
    }
    keep(status, text, text, 0);
}

void FieldStream::keep(FieldStatus status, std::string_view text, std::string_view line, int field) {
    problem_.status = status;
    problem_.text = std::string(trimmed(text));
    problem_.line = std::string(line);
    problem_.field = field;
}

std::string firstWord(std::string_view text) {
    std::vector<std::string_view> word;
    wordFields(text, 1, word);
    return std::string(word[0]);
}
