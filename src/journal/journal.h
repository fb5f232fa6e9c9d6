// SPDX-License-Identifier: GPL-3.0-or-later
// Results journal trelvan.rez: the line layouts its two writers use and the streaming reader
// of the progress chart.
//
// The file is Windows-1251 text with CR LF line ends. Its first line is the header of the
// exercise that created it; every further line is one entry, a training (marker "ОЗп=" in
// columns 43-46) or a vision check (marker "ОЗи=" in columns 30-33), each starting with the
// local date and time of its writing. The program only creates and appends to the file.
// The columns of both kinds are in one table, journal/entry_layout.h.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "journal/entry_layout.h"
#include "platform/textfile.h"

namespace trelvan {

// The journal in the working directory.
inline constexpr const char* journalFileName = "trelvan.rez";

// The eye mark of an entry, Windows-1251, left-justified in 8 columns that every reader skips:
// "гл.оба", "гл.прав" or "гл.лев" in columns 34-41 of a training, 56-63 of a vision check.
std::string eyeMark(Eye eye);

// Header line texts (Windows-1251 bytes, without the line end): 74 characters when a
// training creates the file, 115 when a vision check does. No reader interprets them.
const std::string& trainingHeader();
const std::string& checkHeader();

// One training entry, 73 characters and CR LF:
// 1X,I2.2,'.',I2.2,'.',I4,'г, ',I2,'ч ',I2,'м ',I2,'с,                ОЗп=',F4.2,F10.2,I6,2X,F5.0
// With an eye, its mark stands in columns 34-41 of the 16 blanks (27-42) before the marker.
std::string trainingEntryLine(int day, int month, int year, int hour, int minute, int second,
                              float acuity, float meanTime, int32_t volume, float distanceCm,
                              std::optional<Eye> eye = std::nullopt);

// One vision check entry, 74 characters and CR LF:
// 1X,I2.2,'.',I2.2,'.',I4,'г, ',I2,'ч ',I2,'м ',I2,'с,   ОЗи=',F4.2,32X,F5.0
// A result above the highest level the screen draws true to size carries that level as a
// mark in columns 38-51, which every reader of the journal skips:
// ...,'ОЗи=',F4.2,1X,'экран до ',F4.2,18X,F5.0 (columns 52-67 stay blank).
// With an eye, its mark stands in columns 56-63 (64-69 stay blank).
std::string checkEntryLine(int day, int month, int year, int hour, int minute, int second,
                           float acuity, float distanceCm,
                           std::optional<float> trueTo = std::nullopt,
                           std::optional<Eye> eye = std::nullopt);

// Why an entry with these values cannot be journaled (UTF-8, for the screen), or an empty
// text when every value fits its field: a value written as asterisks, or one that makes no
// sense as a measurement (a distance of 0 or less), would stop every reader at that line.
std::string trainingEntryProblem(float acuity, float meanTime, int32_t volume, float distanceCm);
std::string checkEntryProblem(float acuity, float distanceCm, std::optional<float> trueTo);

// Append one entry to the journal at path, creating the file with the header of this
// exercise when it is missing or empty. The date and time are those taken just before the
// call. On failure the file is as it was, the result is false and errorText (if given)
// receives a UTF-8 reason for the screen. Values the entry's fields cannot hold (see
// trainingEntryProblem) are refused that way before the file is touched. When another program
// keeps the journal locked, the user is asked (askRetry of the window services) whether to try
// again, as often as they like; a last line without a line end that is no whole entry (the
// remains of an append cut short) is cut off before the entry is written.
bool appendTrainingEntry(int day, int month, int year, int hour, int minute, int second,
                         float acuity, float meanTime, int32_t volume, float distanceCm,
                         const std::string& path = journalFileName,
                         std::string* errorText = nullptr, std::optional<Eye> eye = std::nullopt);
bool appendCheckEntry(int day, int month, int year, int hour, int minute, int second, float acuity,
                      float distanceCm, const std::string& path = journalFileName,
                      std::string* errorText = nullptr, std::optional<float> trueTo = std::nullopt,
                      std::optional<Eye> eye = std::nullopt);

// The message that another program keeps the journal at path locked (UTF-8): "Журнал занят
// другой программой: …", naming the process where the system tells it.
std::string journalLockedText(const std::string& path);

// How a line of the journal could be read.
enum class LineStatus {
    ok,         // date, time and the values of every marker found
    badDate,    // the date or time fields are not numbers, the month is above 13, or the
                // fields are all blank
    badValues,  // date and time are good, a value field of a marked entry is not a number
    // Unreadable (as badDate or badValues) because the line is UTF-8 text: its letters take
    // two bytes each, so no field stands in its columns. The journal was saved in UTF-8.
    notWindows1251,
    // The line holds a CR that does not end it: the file's lines end in CR alone, so what is
    // read as one line holds several. Found in the header, it ends the reading at line 1.
    bareCarriageReturn,
};

// Whether the text is UTF-8 with Cyrillic letters in it: every byte above 127 belongs to a
// well-formed UTF-8 sequence (one cut off at the end of the text aside) and at least one
// sequence is a Cyrillic letter.
bool isCyrillicUtf8(std::string_view text);

// How a line taken from the journal stands, the one rule of every reader. fieldsStatus is
// what its fields gave (ok for the header, whose text nobody reads): a CR inside the line
// makes it bareCarriageReturn whatever its fields hold, and a line whose fields cannot be read
// is notWindows1251 when it is UTF-8 text.
inline LineStatus classifyLine(std::string_view text, LineStatus fieldsStatus) {
    if (text.find('\r') != std::string_view::npos) return LineStatus::bareCarriageReturn;
    if (fieldsStatus != LineStatus::ok && isCyrillicUtf8(text)) return LineStatus::notWindows1251;
    return fieldsStatus;
}

// Why a reading stopped, in the words of each place that says it: the chart's note and the
// HTML report (Russian, UTF-8) and the standard error of trelvan-report (English). Empty for
// ok.
struct StopReason {
    LineStatus status;
    const char* chart;  // "Чтение журнала остановлено на строке N: <chart>."
    const char* report;  // "Строка N: <report>. Чтение журнала остановлено на ней, ..."
    const char* english;  // "FILE:N: <english>; reading stopped at this line, ..."
};

inline constexpr StopReason stopReasons[] = {
    {LineStatus::ok, "", "", ""},
    {LineStatus::badDate, "не читаются дата или время", "дата или время не читаются",
     "date or time unreadable"},
    {LineStatus::badValues, "не читаются значения", "значения не читаются", "values unreadable"},
    {LineStatus::notWindows1251, "текст в UTF-8, а не в Windows-1251",
     "журнал сохранён в UTF-8, а не в Windows-1251", "the journal is UTF-8 text, not Windows-1251"},
    {LineStatus::bareCarriageReturn, "строки кончаются знаком CR без LF",
     "строки разделены одним CR, а не CR LF", "lines end in CR alone, not CR LF"},
};

// The reason of a status.
constexpr const StopReason& stopReason(LineStatus status) {
    for (const StopReason& reason : stopReasons)
        if (reason.status == status) return reason;
    return stopReasons[0];
}

// Every status but ok has its reason in all three wordings.
constexpr bool everyStopWorded() {
    for (LineStatus status : {LineStatus::badDate, LineStatus::badValues,
                              LineStatus::notWindows1251, LineStatus::bareCarriageReturn}) {
        const StopReason& reason = stopReason(status);
        if (reason.status != status || *reason.chart == '\0' || *reason.report == '\0' ||
            *reason.english == '\0')
            return false;
    }
    return true;
}
static_assert(everyStopWorded());

// One entry line as the reader finds it. Values of a kind whose marker is absent are 0.
struct JournalLine {
    LineStatus status = LineStatus::ok;
    long lineNumber = 0;  // 1-based line of the file; the header is line 1

    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;

    bool isCheck = false;  // "ОЗи=" in columns 30-33
    // The check's values could be read. On a line holding both markers this stays true when
    // only the training's values are unreadable: the chart draws the check before it reads
    // the training, and the line's status is then badValues.
    bool checkRead = false;
    float checkAcuity = 0.0f;
    float checkDistance = 0.0f;
    // The screen-limit mark of a check (columns 39-51): the result lies above trueTo, the
    // highest level the screen drew true to size. Absent on older lines and on results the
    // screen could show.
    std::optional<float> checkTrueTo;
    // The eye of the entry, from the mark of its kind (a check's when the line has both
    // markers); both when there is no mark.
    Eye eye = Eye::both;

    bool isTraining = false;  // "ОЗп=" in columns 43-46
    float trainingAcuity = 0.0f;
    float meanTime = 0.0f;
    int32_t volume = 0;
    float trainingDistance = 0.0f;
};

// Reads the journal one entry line at a time, holding only the current line: the header is
// skipped, every line is taken as text of at most 120 characters, and the reading ends at the
// end of the file or at the first line that cannot be read.
//
// A line with status badDate ends the reading with nothing usable. A line with status
// badValues still has a valid date and time (the time range of the chart includes it), but
// its values are not to be used (but for a check read whole, checkRead), and it too ends the
// reading. In both cases next() hands out
// that line, with its number, and nothing after it. An unreadable line in UTF-8 has status
// notWindows1251 instead, and a line with a CR inside status bareCarriageReturn; both end
// the reading with nothing usable, and a header with a CR inside ends it before any line.
class JournalReader {
  public:
    static constexpr size_t maxLineLength = 120;

    // The program's own journal is a regular file; the companion command may also read a
    // journal from a pipe, a FIFO or standard input (FileKind::anyReadable).
    explicit JournalReader(const std::string& path = journalFileName,
                           FileKind kind = FileKind::regularOnly);

    // False when the file does not exist or cannot be opened (or is not a regular file where
    // only one is taken: error() then says notRegularFile).
    bool isOpen() const { return input_.isOpen(); }

    // The next entry line; nothing at the end of the file or after an unreadable line.
    std::optional<JournalLine> next();
    // The same read into line; false (line then unspecified) where next() gives nothing.
    bool next(JournalLine& line);

    // After the reading has ended: ok when the file ended normally, otherwise the status and
    // line number of the line that ended it.
    LineStatus endStatus() const { return endStatus_; }
    long endLine() const { return endLine_; }
    // The errno of a failed open or read (a read error ends the lines like the end of the
    // file); 0 when there was none.
    int error() const { return input_.error(); }

    // The text of the line next() handed out last, as read (at most 120 characters); valid
    // until the next call of next().
    std::string_view text() const { return text_; }

    // From now on the lines handed out carry no eye (both): for the chart, which draws every
    // eye alike.
    void skipEyeMarks() { readEye_ = false; }

  private:
    LineInput input_;
    std::string_view text_;
    bool headerSkipped_ = false;
    bool readEye_ = true;
    bool ended_ = false;
    LineStatus endStatus_ = LineStatus::ok;
    long endLine_ = 0;
};

// Reads one entry line (without its line end) by the journal's reading layouts; without
// readEye the eye marks are not looked at (eye stays both), for a reader that shows every
// eye alike.
JournalLine parseJournalLine(std::string_view line, bool readEye = true);

// Reads only the date and time of an entry line: status ok or badDate, markers and values
// left unread (false and 0).
JournalLine parseJournalDateTime(std::string_view line);

// The date and time of an entry line.
struct EntryDateTime {
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
};

// How a line stands for a reader of its date and time alone, as classifyLine tells it from
// parseJournalDateTime (ok, badDate, notWindows1251 or bareCarriageReturn), and its date and
// time when it is ok (when is left as it was otherwise). A line in the usual written form is
// read straight from its columns.
LineStatus readEntryDateTime(std::string_view line, EntryDateTime& when);

}  // namespace trelvan
