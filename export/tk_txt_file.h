// The line writer of the export: a UTF-16 little-endian text file with a byte
// order mark and CR LF line ends, filled one line at a time.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace fennaro {

// Bytes collected for writing. A run that writes many files one after another
// lends one of these to each writer in turn, so it allocates once.
struct PendingBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;

    // Makes room for bytes more bytes, keeping what is there.
    void reserve(std::size_t bytes);
};

// Appends lines to the file at a path. A file that does not exist yet is
// created and begins with the byte order mark FF FE; an existing file is
// appended to without one, so two writers on one path one after the other give
// the same bytes as one writer.
//
// The file is opened at the first line and stays open while the writer lives;
// lines are collected and written by Flush (called once per record, so a
// record's lines reach the disk together) and by the destructor.
class TkTxtFile {
  public:
    // Makes a writer for the file at path; nothing is opened yet.
    explicit TkTxtFile(std::string path);
    // The same, collecting into borrowed storage that outlives the writer and
    // serves no other writer meanwhile. expectExisting: the caller has written
    // the file before, so opening it is tried before creating it (one call
    // instead of two; the bytes are the same either way).
    TkTxtFile(std::string path, PendingBytes& storage, bool expectExisting = false);
    // Writes what is left and closes the file.
    virtual ~TkTxtFile();
    TkTxtFile(const TkTxtFile&) = delete;
    TkTxtFile& operator=(const TkTxtFile&) = delete;

    // Takes one line (UTF-8; see writeUtf16Line for the bytes it becomes).
    // Returns 1 when the file is open and the line was taken, 0 when the file
    // cannot be opened (the line is lost; Flush then reports the loss).
    int AppendLine(std::string_view text);
    // Takes the line that is the concatenation of pieces, with the same bytes
    // and result as AppendLine of the joined text, mostly without joining.
    int AppendLine(std::initializer_list<std::string_view> pieces);

    // Writes the lines taken since the last Flush. Returns false when any of
    // them is lost: the file could not be opened or a write failed.
    bool Flush();

    // Returns the file's path.
    const std::string& path() const { return m_path; }

  private:
    // Opens the file for appending, creating it with the byte order mark when
    // it does not exist. Returns whether it is open.
    bool open();
    // Writes the pending bytes; returns false on an error. They are dropped
    // either way.
    bool writePending();
    // Takes a line: opens the file, makes room for maxBytes more bytes and
    // lets write add them. Returns what AppendLine returns.
    template <typename Write>
    int takeLine(std::size_t maxBytes, Write write);

    std::string m_path;
    int m_fd = -1;
    PendingBytes m_ownStorage;
    PendingBytes& m_pending;
    // The joined text of pieces that split a character.
    std::string m_scratch;
    // A line since the last Flush was lost.
    bool m_lost = false;
    bool m_expectExisting = false;
};

} // namespace fennaro
