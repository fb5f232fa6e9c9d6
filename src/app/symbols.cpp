// SPDX-License-Identifier: GPL-3.0-or-later
// Loading of the digit figures from trelvan.sym.
//
// The file holds nine blocks, for the figures 1 to 9 in this order:
//   count line    16X, I8   16 ignored characters, then the cell count n in columns 17-24
//   offset lines  20I4      row, column of cell 1, row, column of cell 2, ...; 10 cells per
//                           line, ceil(n / 10) lines; a block with n <= 0 still has one line,
//                           which is read and ignored
// Blank fields read as 0 and a short line reads as if padded with blanks. Anything after the
// ninth block is never read. Every read failure stops the program with a message naming the
// unit and the file.
#include "app/symbols.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/fields.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"
#include "platform/unique_fd.h"

namespace trelvan {

SymbolTable symbolTable;

namespace {

constexpr int kUnit = 14;
constexpr int kFigures = 9;
constexpr int kLabelWidth = 16;     // 16X
constexpr int kCountWidth = 8;      // I8
constexpr int kOffsetWidth = 4;     // I4
constexpr int kValuesPerLine = 20;  // 20I4

// An integer field: blanks are ignored, an all-blank field is 0; anything that is not a
// number is a conversion error (no value).
std::optional<int32_t> readIntField(std::string_view field) {
    auto v = fields::readI(field);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*v);
}

// Columns [start, start + width) of a line, blank-padded past its end.
std::string fieldOf(const std::string& line, size_t start, size_t width) {
    std::string field = start < line.size() ? line.substr(start, width) : std::string();
    field.resize(width, ' ');
    return field;
}

// The field as it may stand in a message: bytes outside printable ASCII become '?'.
std::string printable(std::string_view field) {
    std::string text(field);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    return text;
}

// Longest line read: far beyond the 80 columns of the layout, so that no input (a file of
// one endless line, say) makes a line grow without bound. The rest of a longer line is never
// read, as the columns after the layout are not.
constexpr size_t kMaxLine = 1u << 16;

// Status "unknown": an existing file is opened, a missing one is created empty (without
// waiting, should something other than a file appear at the path meanwhile). A symbolic link
// that leads to no file is reported, never used to make one.
std::unique_ptr<LineInput> openUnknown(const std::string& path) {
    auto input = std::make_unique<LineInput>(path, kMaxLine);
    if (input->isOpen() || input->error() != ENOENT) return input;
    const UniqueFd created(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!created) return input;
    return std::make_unique<LineInput>(path, kMaxLine);
}

// The symbol file opened as unit 14, read line by line. Only a regular file is read: a FIFO,
// a device or a directory in its place stops the program at once, naming the reason.
class SymbolFile {
  public:
    explicit SymbolFile(const std::string& path) : path_(path), input_(openUnknown(path)) {
        if (!input_->isOpen())
            fail("не удалось открыть файл (" + errorReason(input_->error()) + ")");
    }

    // The next line without its line end; at the end of the file the program stops, naming
    // what was being read.
    std::string nextLine(const std::string& what) {
        std::optional<std::string> line = input_->next();
        if (input_->error() != 0)
            fail("ошибка чтения: " + what + " (" + errorReason(input_->error()) + ")");
        if (!line) fail("конец файла при чтении: " + what);
        ++lineNumber_;
        return std::move(*line);
    }

    // Reads the integer field at columns [start, start + width) of line; a field that is not
    // a number stops the program.
    int32_t integerField(const std::string& line, size_t start, size_t width,
                         const std::string& what) {
        const std::string field = fieldOf(line, start, width);
        const std::optional<int32_t> value = readIntField(field);
        if (!value) {
            fail("ошибка преобразования: " + what + ", строка " + std::to_string(lineNumber_) +
                 ", колонки " + std::to_string(start + 1) + "-" + std::to_string(start + width) +
                 ": \"" + printable(field) + "\" - не число");
        }
        return *value;
    }

    // A cell count beyond the capacity of the table IJNOT stops the program.
    [[noreturn]] void tooManyCells(const std::string& what, int32_t count) {
        fail(what + ", строка " + std::to_string(lineNumber_) + ": " + std::to_string(count) +
             " больше наибольшего возможного " + std::to_string(kMaxCells) + " (таблица IJNOT)");
    }

  private:
    [[noreturn]] void fail(const std::string& reason) {
        stopWithMessage("Файл " + path_ + " (unit " + std::to_string(kUnit) + "): " + reason);
    }

    std::string path_;
    std::unique_ptr<LineInput> input_;
    long lineNumber_ = 0;
};

void loadFigure(SymbolFile& file, SymbolTable& table, int s) {
    const std::string figure = "фигура " + std::to_string(s);
    const std::string countWhat = "число клеток, " + figure;
    const std::string offsetsWhat = "смещения клеток, " + figure;

    const std::string countLine = file.nextLine(countWhat);
    const int32_t n = file.integerField(countLine, kLabelWidth, kCountWidth, countWhat);
    table.NOTDIM[s - 1] = n;

    // A block without cells still has its one offset line.
    if (n <= 0) {
        file.nextLine(offsetsWhat);
        return;
    }
    if (n > kMaxCells) file.tooManyCells(countWhat, n);

    std::string line;
    for (int v = 0; v < 2 * n; ++v) {
        const int column = v % kValuesPerLine;
        if (column == 0) line = file.nextLine(offsetsWhat);
        const int j = v / 2 + 1;
        const int k = v % 2 + 1;
        table.IJNOT(j, k, s) =
            file.integerField(line, size_t(column) * kOffsetWidth, kOffsetWidth, offsetsWhat);
    }
}

}  // namespace

void loadSymbolTable(const std::string& path, SymbolTable& table) {
    SymbolFile file(path);
    for (int s = 1; s <= kFigures; ++s) loadFigure(file, table, s);
}

void loadSymbolTable() {
    loadSymbolTable("trelvan.sym", symbolTable);
}

}  // namespace trelvan
