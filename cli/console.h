// The console the scanner talks to: standard output (buffered, since rows may
// run to millions), standard error, the answer to a question, and what kind of
// device each of them is. The real one lives in console.cpp; tests give their own.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

namespace tessalin::cli {

class Console {
  public:
    virtual ~Console() = default;
    // UTF-8 text for standard output; kept until flushOut or until enough has gathered.
    virtual void out(std::string_view text) = 0;
    virtual void flushOut() = 0;
    // UTF-8 text for standard error, written at once.
    virtual void err(std::string_view text) = 0;
    virtual bool outIsTerminal() const = 0;
    virtual bool errIsTerminal() const = 0;
    virtual bool inIsTerminal() const = 0;
    // Whether standard output is a terminal that shows colour escape sequences.
    virtual bool outTakesColour() const = 0;
    // Columns for the rows: the terminal's width, else COLUMNS, else a default.
    virtual int outWidth() const = 0;
    // Columns of the terminal behind standard error (the progress line).
    virtual int errWidth() const = 0;
    // One line typed on standard input, without its line break; none at its end.
    virtual std::optional<std::string> readLine() = 0;
    // Whether writing to standard output has failed (a full disk, a closed pipe).
    virtual bool outFailed() const = 0;
    // The regular files standard output and error are written to, if any.
    virtual std::vector<streamscan::ItemIdentity> fileIdentities() const { return {}; }
};

// Standard output, error and input of this process. On a Windows console the
// text is written as UTF-16, so every name shows as it is.
class SystemConsole : public Console {
  public:
    SystemConsole();
    ~SystemConsole() override;
    void out(std::string_view text) override;
    void flushOut() override;
    void err(std::string_view text) override;
    bool outIsTerminal() const override { return outTerminal; }
    bool errIsTerminal() const override { return errTerminal; }
    bool inIsTerminal() const override { return inTerminal; }
    bool outTakesColour() const override { return colour; }
    int outWidth() const override;
    int errWidth() const override;
    std::optional<std::string> readLine() override;
    bool outFailed() const override { return failed; }
    std::vector<streamscan::ItemIdentity> fileIdentities() const override;

  private:
    void writeOut(std::string_view text);

    std::string pending;
    bool outTerminal = false;
    bool errTerminal = false;
    bool inTerminal = false;
    bool colour = false;
    bool failed = false;
};

// Ctrl+C: the first sets `cancel` (read by the scan's continue check); the
// second ends the process at once with status 130. On Linux a SIGINT handler,
// on Windows a console control handler; both only touch atomics and, for the
// second press, end the process.
void installInterruptHandler(std::atomic<bool>& cancel);
// While one lives, Ctrl+C only sets `cancel`, also when pressed again: the
// removal it guards stops after its current stream and reports what it did.
class RemovalUnderway {
  public:
    RemovalUnderway();
    ~RemovalUnderway();
    RemovalUnderway(const RemovalUnderway&) = delete;
    RemovalUnderway& operator=(const RemovalUnderway&) = delete;
};
// Whether the progress line is on screen, so the second Ctrl+C can end it cleanly.
void setProgressLineShown(bool shown);
// Whether colour is on, so the second Ctrl+C can reset it.
void setColourInUse(bool inUse);

// Environment variables (null when unset), valid until the next call.
const char* environmentValue(const char* name);

// The computer's name, as an extraction manifest records it; empty when the
// system does not give it.
std::u16string hostName();

}  // namespace tessalin::cli
